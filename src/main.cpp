#include "app/Application.h"
#include "app/GeneralUnit.h"
#include "app/OptionsDlg.h"
#include "common/DialogsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/registry/RegistryStore.h"

#include <memory>

int main(int argc, char** argv) {
    TApplication::SetIdentity();
    TApplication app(argc, argv);
    InitUtilsUnit();
    const QString notice = TRegistryStore::instance().takeNotice();
    if (!notice.isEmpty()) {
        ShowInformation(notice);
    }
    std::unique_ptr<TGeneralModule> module;
    Guarded([&module]() { module = std::make_unique<TGeneralModule>(); });
    if (!module || module->TerminateRequested()) {
        return 0;
    }
    TOptionsForm options;
    options.Execute();
    return 0;
}
