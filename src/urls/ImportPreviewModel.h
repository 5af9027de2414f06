#pragma once

#include "urls/ImportPreview.h"

#include <QAbstractTableModel>
#include <QVector>

// The preview's list: a check to choose, address, description, categories, verdict; the
// rows of one verdict only, or all.
class TImportPreviewModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TImportPreviewModel(TImportPreview& preview, QObject* parent = nullptr);
    // -1 for every verdict.
    void SetVerdictFilter(int verdict);
    // After the preview was classified anew.
    void Reload();
    int EntryAt(int row) const { return m_rows.value(row, -1); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TImportPreview& m_preview;
    QVector<int> m_rows;
    int m_filter = -1;
};
