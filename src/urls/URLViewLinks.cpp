#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "common/ProgramOptions.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"
#include "urls/LinkCheckDlg.h"
#include "urls/LinkCheckStore.h"
#include "urls/URLViewFrm.h"

#include <QTimer>

#include <utility>

// The link checks of the URL view, kept apart from its other roles.

namespace {
// A confirmation lists this many addresses and counts the rest.
constexpr int kListed = 15;
}  // namespace

QList<TLinkToCheck> TURLViewForm::chosenLinks(const QString& question) {
    QList<TLinkToCheck> links;
    if (!adsCommon->Active() || adsCommon->IsEmpty()) {
        return links;
    }
    const TField& key = adsCommon->FieldByName(KeyFieldName);
    const TField& url = adsCommon->FieldByName(QStringLiteral("URL"));
    bool all = false;
    if (adsCommon->RecordCount() > 1) {
        const QMessageBox::StandardButton answer =
            ConfirmYesNoCancel(question.arg(adsCommon->RecordCount()), this);
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
    const int count = adsCommon->RecordCount();
    links.reserve(count);
    for (int r = 0; r < count; ++r) {
        // The stored address, which a write of the check's result must still find.
        links.append({adsCommon->ValueAt(r, key), adsCommon->ValueAt(r, url).toString()});
    }
    return links;
}

void TURLViewForm::actCheckLinksExecute() {
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
    m_linkCheck = std::make_unique<TLinkCheckForm>(m_module.ADOConnection, this);
    m_linkCheck->setWindowFlag(Qt::Tool);
    m_linkCheck->Checker.Options = LinkCheckOptions;
    if (LinkCheckOptions.timeoutMs <= 0) {
        m_linkCheck->Checker.Options.timeoutMs = qMax(1, Options().LinkCheckTimeOut) * 1000;
    }
    m_linkCheck->OnWritten = [this](const QVariantList& keys) {
        RefreshChanged(keys, QVariantList(), CurrentKey());
    };
    m_linkCheck->KeepForWriting(std::exchange(m_unwrittenChecks, {}));
    m_linkCheck->OnFinished = [this](const QString& summary) {
        m_unwrittenChecks = m_linkCheck->TakeUnwritten();
        // The window goes once its last call has returned.
        m_linkCheck.release()->deleteLater();
        // Shown from the event loop, not from inside the network's own call.
        QTimer::singleShot(0, this, [this, summary]() { ShowInformation(summary, this); });
    };
    m_linkCheck->show();
    PlaceOverOwner(m_linkCheck.get());
    m_linkCheck->Start(links);
}

void TURLViewForm::actAcceptNewAddressesExecute() {
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
                        this);
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
                      this, QMessageBox::No)) {
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
        RefreshChanged(changed, QVariantList(), CurrentKey());
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
                        this);
    }
}
