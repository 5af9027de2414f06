#include "app/Application.h"
#include "app/OptionsDlg.h"
#include "common/DialogsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/registry/RegistryStore.h"

int main(int argc, char** argv) {
    TApplication::SetIdentity();
    TApplication app(argc, argv);
    InitUtilsUnit();
    const QString notice = TRegistryStore::instance().takeNotice();
    if (!notice.isEmpty()) {
        ShowInformation(notice);
    }
    TOptionsForm options;
    options.Execute();
    return 0;
}
