#pragma once

#include <QHash>
#include <QVariant>

class TCatalogueModule;
class TCommand;
class TDataSet;
class TExDBGrid;
class TURLViewForm;

// Opens the current record's address and leaves the record's visited mark; a mark whose
// opening the desktop reports failed is taken back, unless another opening of the record
// is still watched or has worked.
class TVisitedLinks final {
public:
    TVisitedLinks(TURLViewForm& view, TDataSet& dataSet, TExDBGrid& grid, TCatalogueModule& module);
    TVisitedLinks(const TVisitedLinks&) = delete;
    TVisitedLinks& operator=(const TVisitedLinks&) = delete;

    void OpenLink();

private:
    void openingFailed(quint64 opening);

    TURLViewForm& m_view;
    TDataSet& m_dataSet;
    TExDBGrid& m_grid;
    TCatalogueModule& m_module;
    TCommand* m_markVisited;
    // Records marked visited on opening them, by the opener's number, until the opener
    // fails or its watch ends; a record opened again while its mark waits is listed under
    // each opener.
    QHash<quint64, QVariant> m_markedByOpening;
};
