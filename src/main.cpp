#include "app/Application.h"
#include "app/GeneralUnit.h"
#include "app/MainFrm.h"
#include "app/ReInit.h"
#include "common/DialogsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/FileNames.h"
#include "platform/SingleInstance.h"
#include "platform/registry/RegistryStore.h"
#include "urls/URLViewFrm.h"

#include <cstdio>
#include <memory>

// The entry sequence: options, one copy per executable, language, the main window, the
// data module (which connects), the URL view, the event loop; the long-lived objects go
// in reverse order, so the view saves its state while the connection is still open.
int main(int argc, char** argv) {
    TApplication::SetIdentity();
    // The toolkit makes its runtime folder while the application object is built.
    ForgetUnreadableRuntimeFolder();
    TApplication app(argc, argv);
    // A settings write that fails is said once, through the usual error display.
    TRegistryStore::instance().setWriteFailureHandler([](const QString& text) { ShowError(text); });
    InitUtilsUnit();
    TSingleInstance instance(QCoreApplication::applicationFilePath());
    switch (instance.Start()) {
        case TSingleInstance::TStartResult::Run:
            break;
        case TSingleInstance::TStartResult::Activated:
            return 0;
        case TSingleInstance::TStartResult::Failed:
            // Never run unguarded beside another copy: say why and leave.
            std::fprintf(stderr, "%s\n", qPrintable(instance.FailureText()));
            return 1;
    }
    SelectLanguage();
    const QString notice = TRegistryStore::instance().takeNotice();
    if (!notice.isEmpty()) {
        ShowInformation(notice);
    }
    auto mainForm = std::make_unique<TMainForm>();
    mainForm->show();
    QObject::connect(&instance, &TSingleInstance::ActivateRequested, mainForm.get(),
                     &TMainForm::BringToFront);
    std::unique_ptr<TGeneralModule> module;
    Guarded([&module]() { module = std::make_unique<TGeneralModule>(); });
    if (!module || module->TerminateRequested()) {
        return 0;
    }
    mainForm->SetGeneralModule(module.get());
    auto urlView = std::make_unique<TURLViewForm>(*module);
    urlView->SetExitAction(mainForm->CloseAction());
    mainForm->SetURLView(urlView.get());
    urlView->show();
    const int code = app.exec();
    urlView.reset();
    module->SaveConnectionString();
    module.reset();
    mainForm.reset();
    return code;
}
