#include "platform/db/DataSetModel.h"

TDataSetModel::TDataSetModel(TDataSet* dataSet, QObject* parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet) {
    m_dataSet->AddObserver(this);
    m_rows = m_dataSet->Active() ? m_dataSet->LoadedCount() : 0;
    m_columns = m_dataSet->FieldCount();
    connect(m_dataSet, &QObject::destroyed, this, [this]() { m_dataSet = nullptr; });
}

TDataSetModel::~TDataSetModel() {
    if (m_dataSet) {
        m_dataSet->RemoveObserver(this);
    }
}

int TDataSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int TDataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const {
    // The dataset may have changed while its notifications were switched off: never read
    // past what it holds now.
    if (!m_dataSet || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns ||
        index.column() >= m_dataSet->FieldCount() || index.row() >= m_dataSet->LoadedCount()) {
        return QVariant();
    }
    const TField& field = m_dataSet->Fields(index.column());
    const bool mark = field.FieldClass() == TFieldClass::Boolean;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (mark) {
                return CheckMarkText(m_dataSet->ValueAt(index.row(), field));
            }
            return m_dataSet->DisplayTextAt(index.row(), field);
        case Qt::EditRole:
            return m_dataSet->ValueAt(index.row(), field);
        case Qt::TextAlignmentRole: {
            const TFieldClass c = field.FieldClass();
            const bool number = c == TFieldClass::Integer || c == TFieldClass::Float;
            return QVariant::fromValue(
                Qt::AlignVCenter |
                (mark ? Qt::AlignHCenter : (number ? Qt::AlignRight : Qt::AlignLeft)));
        }
        default: {
            const auto named = m_fieldRoles.constFind(role);
            const TField* other =
                named == m_fieldRoles.constEnd() ? nullptr : m_dataSet->FindField(*named);
            return other ? m_dataSet->ValueAt(index.row(), *other) : QVariant();
        }
    }
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid()) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && HeaderOverride) {
        const QVariant v = HeaderOverride(section, role);
        if (v.isValid()) {
            return v;
        }
    }
    if (!m_dataSet || role != Qt::DisplayRole) {
        return QVariant();
    }
    if (orientation == Qt::Horizontal) {
        return section < m_columns && section < m_dataSet->FieldCount()
                   ? m_dataSet->Fields(section).Title()
                   : QVariant();
    }
    return QVariant();
}

// Rows and columns change by insertion and removal, never by a reset, so that a grid keeps
// its column order, widths and hidden columns across re-queries.
void TDataSetModel::DataSetChanged() {
    const int columns = m_dataSet ? m_dataSet->FieldCount() : 0;
    const int rows = m_dataSet && m_dataSet->Active() ? m_dataSet->LoadedCount() : 0;
    if (columns < m_columns) {
        beginRemoveColumns(QModelIndex(), columns, m_columns - 1);
        m_columns = columns;
        endRemoveColumns();
    } else if (columns > m_columns) {
        beginInsertColumns(QModelIndex(), m_columns, columns - 1);
        m_columns = columns;
        endInsertColumns();
    }
    if (rows < m_rows) {
        beginRemoveRows(QModelIndex(), rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    } else if (rows > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    if (m_rows > 0 && m_columns > 0) {
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1));
    }
    if (m_columns > 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
    }
    Q_EMIT structureChanged();
}

void TDataSetModel::RowsAppended() {
    const int rows = m_dataSet && m_dataSet->Active() ? m_dataSet->LoadedCount() : 0;
    if (rows > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
}

void TDataSetModel::RecordChanged(int position) {
    if (position >= 0 && position < m_rows && m_columns > 0) {
        Q_EMIT dataChanged(index(position, 0), index(position, m_columns - 1));
    }
}

void TDataSetModel::Scrolled(int position) {
    Q_EMIT currentRowChanged(position);
}
