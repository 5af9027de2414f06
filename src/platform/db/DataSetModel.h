#pragma once

#include "platform/db/DataSet.h"

#include <QAbstractTableModel>
#include <QHash>

#include <functional>

// Shows a dataset in a table view: one row per record in the dataset's order, one column
// per field. Texts are made only for the cells being painted.
class TDataSetModel final : public QAbstractTableModel, public TDataSetObserver {
    Q_OBJECT
public:
    explicit TDataSetModel(TDataSet* dataSet, QObject* parent = nullptr);
    ~TDataSetModel() override;

    TDataSet* DataSet() const { return m_dataSet; }

    // A grid's own titles and title images; an invalid answer falls back to the field's.
    std::function<QVariant(int section, int role)> HeaderOverride;
    // A role whose answer, for any cell, is the value of the named field in the cell's row:
    // a delegate that paints one column by another's value reads it here.
    void SetFieldRole(int role, const QString& fieldName) { m_fieldRoles.insert(role, fieldName); }
    // Cells may open a (read-only) editor so that their text can be selected.
    void SetEditable(bool on) { m_editable = on; }
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void DataSetChanged() override;
    void RecordChanged(int position) override;
    void Scrolled(int position) override;
    void RowsAppended() override;

Q_SIGNALS:
    // The dataset's current record is now at this row (-1 when there is none).
    void currentRowChanged(int row);
    // Rows or fields were replaced as a whole (opening, closing, sorting, re-query).
    void structureChanged();

private:
    TDataSet* m_dataSet;
    QHash<int, QString> m_fieldRoles;
    int m_rows = 0;
    int m_columns = 0;
    bool m_editable = false;
};
