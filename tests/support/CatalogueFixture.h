#pragma once

#include "app/GeneralUnit.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <functional>
#include <memory>

// The world of a catalogue test function: its own environment (home, settings), a new
// catalogue on the engine under test, and the data module connected to it as at start.
// A test class derives from it, opens in init() and closes in cleanup().
class TCatalogueFixture {
protected:
    // fill puts the test's rows in before the module connects.
    void openCatalogue(const std::function<void(TTestCatalogue&)>& fill = {}) {
        env = std::make_unique<TTestEnvironment>();
        cat = std::make_unique<TTestCatalogue>();
        if (fill) {
            fill(*cat);
        }
        module = cat->connectedModule();
    }
    // The module before the catalogue it is connected to, the environment last.
    void closeCatalogue() {
        module.reset();
        cat.reset();
        env.reset();
    }

    std::unique_ptr<TTestEnvironment> env;
    std::unique_ptr<TTestCatalogue> cat;
    std::unique_ptr<TGeneralModule> module;
};
