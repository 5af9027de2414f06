#include "urls/VisitedLinks.h"

#include "common/CatalogueModule.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/LinkOpener.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/Command.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "urls/URLViewFrm.h"

#include <QTimer>

#include <algorithm>

TVisitedLinks::TVisitedLinks(TURLViewForm& view, TDataSet& dataSet, TExDBGrid& grid,
                             TCatalogueModule& module)
    : m_view(view),
      m_dataSet(dataSet),
      m_grid(grid),
      m_module(module),
      m_markVisited(new TCommand(&view)) {
    QObject::connect(&TLinkOpener::Instance(), &TLinkOpener::OpeningFailed, &view,
                     [this](quint64 opening) { Guarded([&]() { openingFailed(opening); }); });
    m_markVisited->setObjectName(QStringLiteral("MarkVisitedCommand"));
    m_markVisited->SetConnection(&module.ADOConnection);
    m_markVisited->SetCommandText(
        QStringLiteral("UPDATE SubjectURLs SET Visited = 1 WHERE SubjectURLID = :ID"));
}

void TVisitedLinks::OpenLink() {
    if (m_dataSet.IsEmpty()) {
        return;
    }
    m_grid.CloseInplaceEditor();
    TLinkOpener& opener = TLinkOpener::Instance();
    const quint64 before = opener.LastOpening();
    OpenURLOrThrow(m_dataSet.FieldByName(QStringLiteral("URL")).AsString());
    // Handed to this program's opener, which tells its failure, or to another handler.
    const quint64 opening = opener.LastOpening() != before ? opener.LastOpening() : 0;
    const QVariant key = m_view.CurrentKey();
    TField& visited = m_dataSet.FieldByName(QStringLiteral("Visited"));
    bool watched = false;
    // Only a user who may change the records leaves the visited mark.
    if (!visited.AsBoolean() && m_module.RecordsReadOnly.isEmpty()) {
        m_markVisited->Parameters().ParamByName(QStringLiteral("ID")).SetValue(key);
        m_markVisited->Execute();
        // The row shows the mark at once, without a re-query.
        m_dataSet.RefreshCurrentValue(visited, true);
        watched = true;
    } else {
        // Opened again while the mark an earlier opening left waits on its opener: the mark
        // goes only when every one of them fails.
        watched = std::find(m_markedByOpening.cbegin(), m_markedByOpening.cend(), key) !=
                  m_markedByOpening.cend();
    }
    if (watched && opening != 0) {
        m_markedByOpening.insert(opening, key);
        // Past its watch the opener is taken to have worked, and the mark stands.
        QTimer::singleShot(opener.WatchMs() + 1000, &m_view, [this, opening]() {
            const QVariant opened = m_markedByOpening.take(opening);
            if (opened.isValid()) {
                m_markedByOpening.removeIf(
                    [&opened](const auto& marked) { return marked.value() == opened; });
            }
        });
    }
}

void TVisitedLinks::openingFailed(quint64 opening) {
    // The link was never opened: the mark it left goes, unless another opening of the
    // record is still watched (it decides) or has worked.
    const QVariant key = m_markedByOpening.take(opening);
    if (!key.isValid() || std::find(m_markedByOpening.cbegin(), m_markedByOpening.cend(), key) !=
                              m_markedByOpening.cend()) {
        return;
    }
    m_module.ADOConnection.Execute(
        QStringLiteral("UPDATE SubjectURLs SET Visited = 0 WHERE SubjectURLID = :ID"),
        {{QStringLiteral("ID"), key}});
    m_view.RefreshChanged({key}, {}, m_view.CurrentKey());
}
