#include "platform/db/DataSetModel.h"

TDataSetModel::TDataSetModel(TDataSet* dataSet, QObject* parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet) {
    m_dataSet->AddObserver(this);
    m_rows = m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
    m_columns = m_dataSet->Active() ? m_dataSet->FieldCount() : 0;
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
    if (!m_dataSet || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns) {
        return QVariant();
    }
    const TField& field = m_dataSet->Fields(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return m_dataSet->DisplayTextAt(index.row(), field);
        case Qt::EditRole:
            return m_dataSet->ValueAt(index.row(), field);
        case Qt::TextAlignmentRole: {
            const TFieldClass c = field.FieldClass();
            const bool number = c == TFieldClass::Integer || c == TFieldClass::Float;
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (number ? Qt::AlignRight : Qt::AlignLeft));
        }
        default:
            return QVariant();
    }
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_dataSet || role != Qt::DisplayRole) {
        return QVariant();
    }
    if (orientation == Qt::Horizontal) {
        return section < m_columns ? m_dataSet->Fields(section).Title() : QVariant();
    }
    return QVariant();
}

void TDataSetModel::DataSetChanged() {
    beginResetModel();
    m_rows = m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
    m_columns = m_dataSet && m_dataSet->Active() ? m_dataSet->FieldCount() : 0;
    endResetModel();
}

void TDataSetModel::RecordChanged(int position) {
    if (position >= 0 && position < m_rows && m_columns > 0) {
        Q_EMIT dataChanged(index(position, 0), index(position, m_columns - 1));
    }
}

void TDataSetModel::Scrolled(int position) {
    Q_EMIT currentRowChanged(position);
}
