#include "app/Application.h"
#include "app/GeneralUnit.h"
#include "app/MainFrm.h"
#include "app/ReInit.h"
#include "common/DialogsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/FileNames.h"
#include "platform/SingleInstance.h"
#include "platform/registry/RegistryStore.h"
#include "urls/CaptureQueue.h"
#include "urls/CaptureRequest.h"
#include "urls/URLViewFrm.h"

#include <cstdio>
#include <memory>

// The entry sequence: options, one copy per executable, language, the main window, the
// data module (which connects), the URL view, the event loop; the long-lived objects go
// in reverse order, so the view saves its state while the connection is still open.
int main(int argc, char** argv) {
    // Help needs no display: it is answered before the toolkit starts.
    if (argc == 2 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0)) {
        std::fputs(CommandLineHelp().toLocal8Bit().constData(), stdout);
        return 0;
    }
    TApplication::SetIdentity();
    // The toolkit makes its runtime folder while the application object is built.
    ForgetUnreadableRuntimeFolder();
    // The program's own arguments are kept from the toolkit, which would take "--title"
    // as its window title option; without them the toolkit's options work as they did.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const bool own = IsOwnCommandLine(arguments);
    int toolkitArgc = own ? 1 : argc;
    TApplication app(toolkitArgc, argv);
    // A settings write that fails is said once, through the usual error display.
    TRegistryStore::instance().setWriteFailureHandler([](const QString& text) { ShowError(text); });
    InitUtilsUnit();
    // The toolkit has taken its own options out; what is left is the program's.
    const TCommandLine line =
        ParseCommandLine(own ? arguments : QCoreApplication::arguments().mid(1));
    if (line.Kind == TCommandLine::TKind::Help) {
        std::fputs(CommandLineHelp().toLocal8Bit().constData(), stdout);
        return 0;
    }
    // A link from the desktop (a browser's page, perhaps firing many) goes to the running
    // copy as it is, even malformed: that copy refuses it in its turn, one window at a time.
    const bool fromLink =
        own && arguments.size() == 1 &&
        arguments.first().startsWith(QLatin1String("linkarium:"), Qt::CaseInsensitive);
    if (line.Kind == TCommandLine::TKind::Error && !fromLink) {
        // Said on the terminal and in a window: a command of the desktop has no terminal.
        std::fprintf(stderr, "%s\n", qPrintable(line.Error));
        ShowError(line.Error);
        return 2;
    }
    const bool capture = fromLink || line.Kind == TCommandLine::TKind::Capture;
    const QString request = fromLink  ? arguments.first()
                            : capture ? CaptureAddress(line.Request)
                                      : QString();
    if (capture && !fromLink) {
        // Refused here, as the running copy would refuse it: the same request gets the same
        // answer whether or not a copy runs.
        const TCaptureParse handed = ParseCaptureAddress(request);
        if (!handed.Ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(handed.Refusal));
            ShowError(handed.Refusal);
            return 2;
        }
    }
    TSingleInstance instance(QCoreApplication::applicationFilePath());
    switch (instance.Start(1, request)) {
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
    TCaptureQueue captures(*urlView);
    QObject::connect(&instance, &TSingleInstance::RequestReceived, &captures,
                     &TCaptureQueue::AddAddress);
    if (capture) {
        captures.AddAddress(request);
    }
    const int code = app.exec();
    urlView.reset();
    module->SaveConnectionString();
    module.reset();
    mainForm.reset();
    return code;
}
