#include "urls/LinkCheckCommands.h"

#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "common/ProgramOptions.h"
#include "platform/db/DataSet.h"
#include "urls/LinkCheckDlg.h"
#include "urls/LinkCheckStore.h"
#include "urls/URLViewFrm.h"

#include <QTimer>

#include <utility>

namespace {
// A confirmation lists this many addresses and counts the rest.
constexpr int kListed = 15;
}  // namespace

TLinkCheckCommands::TLinkCheckCommands(TURLViewForm& view, TDataSet& dataSet,
                                       TCatalogueModule& module)
    : m_view(view), m_dataSet(dataSet), m_module(module) {}

TLinkCheckCommands::~TLinkCheckCommands() {
    // A check still running writes its own as its window goes.
    if (!m_unwrittenChecks.isEmpty()) {
        try {
            TLinkCheckStore store(m_module.ADOConnection);
            store.History = Options().LinkCheckHistory;
            store.Save(m_unwrittenChecks);
        } catch (const EError&) {
            // Refused again: the summary said so, and a closing window has nobody to tell.
        }
    }
}

QList<TLinkToCheck> TLinkCheckCommands::chosenLinks(const QString& question) {
    QList<TLinkToCheck> links;
    if (!m_dataSet.Active() || m_dataSet.IsEmpty()) {
        return links;
    }
    const TField& key = m_dataSet.FieldByName(m_view.KeyFieldName());
    const TField& url = m_dataSet.FieldByName(QStringLiteral("URL"));
    bool all = false;
    if (m_dataSet.RecordCount() > 1) {
        const QMessageBox::StandardButton answer =
            ConfirmYesNoCancel(question.arg(m_dataSet.RecordCount()), &m_view);
        if (answer == QMessageBox::Cancel) {
            return links;
        }
        all = answer == QMessageBox::Yes;
    }
    if (!all) {
        links.append({key.Value(), url.AsString()});
        return links;
    }
    THourglass hourglass;
    const int count = m_dataSet.RecordCount();
    links.reserve(count);
    for (int r = 0; r < count; ++r) {
        // The stored address, which a write of the check's result must still find.
        links.append({m_dataSet.ValueAt(r, key), m_dataSet.ValueAt(r, url).toString()});
    }
    return links;
}

void TLinkCheckCommands::CheckLinks() {
    if (m_linkCheck) {
        m_linkCheck->show();
        m_linkCheck->raise();
        return;
    }
    const QList<TLinkToCheck> links = chosenLinks(
        tr("Проверить ссылки всех записей в окне (%1)?\n«Нет» — только текущей записи."));
    if (links.isEmpty()) {
        return;
    }
    m_linkCheck = std::make_unique<TLinkCheckForm>(m_module.ADOConnection, &m_view);
    m_linkCheck->setWindowFlag(Qt::Tool);
    m_linkCheck->Checker().Options = m_options;
    if (m_options.timeoutMs <= 0) {
        m_linkCheck->Checker().Options.timeoutMs = qMax(1, Options().LinkCheckTimeOut) * 1000;
    }
    QObject::connect(
        m_linkCheck.get(), &TLinkCheckForm::Written, &m_view, [this](const QVariantList& keys) {
            Guarded([&]() { m_view.RefreshChanged(keys, QVariantList(), m_view.CurrentKey()); });
        });
    m_linkCheck->KeepForWriting(std::exchange(m_unwrittenChecks, {}));
    QObject::connect(m_linkCheck.get(), &TLinkCheckForm::Finished, &m_view,
                     [this](const QString& summary) { Guarded([&]() { finished(summary); }); });
    m_linkCheck->show();
    PlaceOverOwner(m_linkCheck.get());
    m_linkCheck->Start(links);
}

void TLinkCheckCommands::finished(const QString& summary) {
    m_unwrittenChecks = m_linkCheck->TakeUnwritten();
    // The window goes once its last call has returned.
    m_linkCheck.release()->deleteLater();
    // Shown from the event loop, not from inside the network's own call.
    QTimer::singleShot(0, &m_view, [this, summary]() { ShowInformation(summary, &m_view); });
}

void TLinkCheckCommands::AcceptNewAddresses() {
    const QList<TLinkToCheck> links =
        chosenLinks(tr("Принять новые адреса перемещённых ссылок всех записей в окне (%1)?\n"
                       "«Нет» — только текущей записи."));
    if (links.isEmpty()) {
        return;
    }
    QVariantList keys;
    for (const TLinkToCheck& link : links) {
        keys.append(link.key);
    }
    TLinkCheckStore store(m_module.ADOConnection);
    QList<TMovedLink> moved;
    {
        THourglass hourglass;
        moved = store.MovedLinks(keys);
    }
    if (moved.isEmpty()) {
        ShowInformation(tr("Среди этих записей нет перемещённых ссылок с известным новым адресом."),
                        &m_view);
        return;
    }
    QStringList lines;
    for (int i = 0; i < moved.size() && i < kListed; ++i) {
        lines << tr("%1\n    → %2").arg(moved[i].url, moved[i].finalUrl);
    }
    if (moved.size() > kListed) {
        lines << tr("…и ещё %1").arg(moved.size() - kListed);
    }
    if (!ConfirmYesNo(tr("Заменить адреса (%1) новыми?\n\n%2")
                          .arg(moved.size())
                          .arg(lines.join(QLatin1Char('\n'))),
                      &m_view, QMessageBox::No)) {
        return;
    }
    QList<TMovedLink> leftAlone;
    {
        THourglass hourglass;
        leftAlone = store.AcceptNewAddresses(moved);
        QVariantList changed;
        for (const TMovedLink& link : moved) {
            changed.append(link.key);
        }
        m_view.RefreshChanged(changed, QVariantList(), m_view.CurrentKey());
    }
    if (!leftAlone.isEmpty()) {
        QStringList names;
        for (int i = 0; i < leftAlone.size() && i < kListed; ++i) {
            names << leftAlone[i].url;
        }
        if (leftAlone.size() > kListed) {
            names << tr("…и ещё %1").arg(leftAlone.size() - kListed);
        }
        ShowInformation(tr("Заменено адресов: %1. Не заменены (%2): эти записи изменены после "
                           "проверки или удалены, их адреса оставлены как есть.\n\n%3")
                            .arg(moved.size() - leftAlone.size())
                            .arg(leftAlone.size())
                            .arg(names.join(QLatin1Char('\n'))),
                        &m_view);
    }
}
