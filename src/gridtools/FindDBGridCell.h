#pragma once

#include "platform/db/DataSet.h"

#include <QLineEdit>
#include <QPointer>

class TExDBGrid;

// Moves to the first record, in the dataset's current order, whose value in the grid's
// selected column begins with the text (letters of any case); a search that finds nothing
// leaves the current record alone.
bool LocateInGrid(const QString& text, TExDBGrid* grid);

// The search box of a record view: every change of its text searches again from the
// first record. An empty box does not move. By default it finds the beginning of the
// selected column's value; it can find the text anywhere in the value, and in every visible
// column, and go on to the next or previous match. A search that finds nothing leaves the
// current record and shows the box in red.
class TFindDBGridCell final : public QLineEdit {
    Q_OBJECT
public:
    explicit TFindDBGridCell(QWidget* parent = nullptr);
    ~TFindDBGridCell() override;
    void SetDBGrid(TExDBGrid* grid) { m_grid = grid; }

    bool Anywhere() const { return m_anywhere; }
    bool AllColumns() const { return m_allColumns; }
    // Each searches again from the first record when the box holds text.
    void SetAnywhere(bool anywhere);
    void SetAllColumns(bool allColumns);
    // From the record after (before) the current one; false, with the record kept, for none.
    bool FindNext();
    bool FindPrevious();
    // Whether the last search found nothing (an empty box counts as found).
    bool NotFound() const { return m_notFound; }

Q_SIGNALS:
    void NotFoundChanged(bool notFound);

private:
    // The first match of the last text searched from the first record. A text typed on
    // from it has its first match there or later, and none if that had none; any change
    // of the rows forgets it.
    struct TLastSearch final : TDataSetObserver {
        bool valid = false;
        QString text;
        QList<const TField*> fields;
        bool anywhere = false;
        int found = -1;
        void DataSetChanged() override { valid = false; }
        void RecordChanged(int) override { valid = false; }
        void Scrolled(int) override {}
        void RowsAppended() override { valid = false; }
    };

    QList<const TField*> searchedFields() const;
    bool search(int from, bool forward);
    void searchFromStart();
    void setNotFound(bool notFound);
    void watch(TDataSet* dataSet);

    QPointer<TExDBGrid> m_grid;
    bool m_anywhere = false;
    bool m_allColumns = false;
    bool m_notFound = false;
    TLastSearch m_last;
    QPointer<TDataSet> m_watched;
};
