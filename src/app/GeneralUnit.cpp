#include "app/GeneralUnit.h"

#include "app/DataLinkDlg.h"
#include "common/ConstsUnit.h"
#include "common/DialogsUnit.h"
#include "common/LinkOpener.h"
#include "common/UtilsUnit.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "urls/EditDictionaryDlg.h"

#include <QApplication>
#include <QTimer>

namespace {
constexpr int kCategoryListTag = 8;
}

TGeneralModule::TGeneralModule(QObject* parent, bool connectNow)
    : TCatalogueModule(parent), m_editCategoryList(new QAction(tr("Список категорий..."), this)) {
    setObjectName(QStringLiteral("GeneralModule"));
    m_editCategoryList->setObjectName(QStringLiteral("actEditCategoryList"));
    m_editCategoryList->setData(kCategoryListTag);
    connect(m_editCategoryList, &QAction::triggered, this,
            GuardedSlot(this, &TGeneralModule::EditListsExecute));
    // Told once the save that met the error has finished, not in the middle of it.
    connect(
        &ADOConnection, &TConnection::StoredDespiteError, this,
        [](const QString& message) { ShowError(message, QApplication::activeWindow()); },
        Qt::QueuedConnection);
    connect(&TLinkOpener::Instance(), &TLinkOpener::Failed, this,
            [](const QString& url, const QString& reason) {
                ShowError(tr("Адрес не открыт: %1\nПричина: %2.").arg(url, reason),
                          QApplication::activeWindow());
            });
    if (connectNow) {
        Connect();
    }
}

TGeneralModule::~TGeneralModule() = default;

void TGeneralModule::Connect() {
    ADOConnection.Close();
    std::optional<QString> stored;
    {
        TRegistry reg;
        if (reg.OpenKeyReadOnly(RegRootKey)) {
            stored = reg.ReadString(RegConnectionValue);
        }
    }
    if (!stored) {
        // A first start: nothing has failed yet, so no error box; the choice comes first.
        m_firstStart = true;
        SelectDatabase();
        m_firstStart = false;
        return;
    }
    ADOConnection.SetConnectionString(*stored);
    try {
        ADOConnection.Open();
    } catch (const std::exception& e) {
        // The stated message first; the engine's reason, when there is one, below it.
        QString text = tr("Соединение с базой не установлено!");
        const auto* error = dynamic_cast<const EError*>(&e);
        if (error && !ADOConnection.ConnectionString().trimmed().isEmpty()) {
            text += QStringLiteral("\n\n") + error->message();
        }
        ADOConnection.Close();
        ShowError(text);
        SelectDatabase();
    }
}

bool TGeneralModule::SelectDatabase() {
    const QString old = ADOConnection.ConnectionString();
    try {
        const std::optional<QString> chosen =
            TDataLinkDialog::Edit(QApplication::activeWindow(), old, m_firstStart);
        // The same string opens again when the server had ended the session; Cancel never
        // counts as a choice.
        if (chosen && (*chosen != old || ADOConnection.Lost())) {
            QCoreApplication::processEvents();
            // The new database is tried first, beside the old one, so a choice that fails
            // leaves every window working on the old catalogue.
            if (ADOConnection.Connected() && !ADOConnection.Lost()) {
                TConnection probe;
                probe.SetConnectionString(*chosen);
                probe.Open();
                CheckCatalogue(probe);
            }
            ADOConnection.Close();
            ADOConnection.SetConnectionString(*chosen);
            ADOConnection.Open();
            return true;
        }
        if (ADOConnection.Connected()) {
            return false;
        }
        Abort();
    } catch (...) {
        const std::exception_ptr first = std::current_exception();
        if (ADOConnection.Connected() && !ADOConnection.Lost() &&
            ADOConnection.ConnectionString() == old) {
            std::rethrow_exception(first);  // the old connection was never let go
        }
        ADOConnection.Close();
        ADOConnection.SetConnectionString(old);
        bool reopened = false;
        if (!old.isEmpty()) {
            try {
                ADOConnection.Open();
                reopened = true;
            } catch (...) {
                ADOConnection.Close();
            }
        }
        if (!reopened) {
            ShowError(tr("Ошибка при подключении к базе."));
            requestTerminate();
        }
        std::rethrow_exception(first);
    }
}

void TGeneralModule::CatalogueOpened() {
    m_editCategoryList->setEnabled(CategoriesReadOnly.isEmpty());
    m_editCategoryList->setToolTip(CategoriesReadOnly);
    // Said once a session for each catalogue, not at every reconnection.
    if (!ServerWarning.isEmpty() && !m_warned.contains(ADOConnection.ConnectionString())) {
        m_warned.insert(ADOConnection.ConnectionString());
        ShowInformation(ServerWarning);
    }
    // Remembered at once, not only at exit: a session that ends by a crash or a kill
    // still opens this catalogue next time, and a store that cannot keep it says so now.
    WriteRegString(RegRootKey, RegConnectionValue, ADOConnection.ConnectionString());
}

void TGeneralModule::SaveConnectionString() {
    if (ADOConnection.Connected()) {
        WriteRegString(RegRootKey, RegConnectionValue, ADOConnection.ConnectionString());
    }
}

void TGeneralModule::EditListsExecute() {
    if (m_editCategoryList->data().toInt() != kCategoryListTag) {
        return;
    }
    TEditDictionaryForm form(QApplication::activeWindow());
    // The first letter of the caption is the Latin capital C.
    form.setWindowTitle(tr("Cписок категорий"));
    // The category list is the one list the records carry names of.
    TCategoryRecords records(ADOConnection);
    form.SetRecords(&records);
    const bool ok = form.Run(adsCategoryList, QStringLiteral("CategoryName"));
    if (ok && !form.RecordChanges().isEmpty()) {
        Q_EMIT RecordsRewritten();
    }
}

void TGeneralModule::EditCategoryList() {
    m_editCategoryList->trigger();
}

void TGeneralModule::requestTerminate() {
    m_terminate = true;
    // Ends the program as soon as control is back in the event loop.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
}
