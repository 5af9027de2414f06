#include "urls/ImportPreviewModel.h"

TImportPreviewModel::TImportPreviewModel(TImportPreview& preview, QObject* parent)
    : QAbstractTableModel(parent), m_preview(preview) {
    Reload();
}

void TImportPreviewModel::SetVerdictFilter(int verdict) {
    m_filter = verdict;
    Reload();
}

void TImportPreviewModel::Reload() {
    beginResetModel();
    m_rows.clear();
    const QVector<TPreviewEntry>& entries = m_preview.Entries();
    for (int i = 0; i < entries.size(); ++i) {
        if (m_filter < 0 || static_cast<int>(entries.at(i).verdict) == m_filter) {
            m_rows.append(i);
        }
    }
    endResetModel();
}

int TImportPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TImportPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant TImportPreviewModel::data(const QModelIndex& index, int role) const {
    const int entry = EntryAt(index.row());
    if (entry < 0) {
        return {};
    }
    const TPreviewEntry& e = m_preview.Entries().at(entry);
    if (role == Qt::CheckStateRole && index.column() == 0 && TImportPreview::Choosable(e)) {
        return e.chosen ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
        case 0:
            return e.url.isEmpty() ? e.link.Source : e.url;
        case 1:
            return e.description;
        case 2:
            return e.category;
        case 3:
            return e.reason.isEmpty()
                       ? ImportVerdictText(e.verdict)
                       : ImportVerdictText(e.verdict) + QStringLiteral(": ") + e.reason;
    }
    return {};
}

bool TImportPreviewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int entry = EntryAt(index.row());
    if (role != Qt::CheckStateRole || index.column() != 0 || entry < 0) {
        return false;
    }
    m_preview.SetChosen(entry, value.toInt() == Qt::Checked);
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags TImportPreviewModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int entry = EntryAt(index.row());
    if (index.column() == 0 && entry >= 0 &&
        TImportPreview::Choosable(m_preview.Entries().at(entry))) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

QVariant TImportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case 0:
            return tr("Адрес");
        case 1:
            return tr("Описание");
        case 2:
            return tr("Категории");
        case 3:
            return tr("Итог");
    }
    return {};
}
