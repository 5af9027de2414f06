#include "support/TestEnvironment.h"
#include "common/Clock.h"
#include "common/ProgramOptions.h"

#include "platform/registry/RegistryStore.h"

#include <QStandardPaths>

TTestEnvironment::TTestEnvironment() {
    TRegistryStore::instance().setFileName(storeFile());
    Options() = TProgramOptions();
    SetNowForTesting(nullptr);
}

TTestEnvironment::~TTestEnvironment() {
    TRegistryStore::instance().close();
    SetNowForTesting(nullptr);
}

void InitTestApplication() {
    QStandardPaths::setTestModeEnabled(true);
}
