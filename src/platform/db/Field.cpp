#include "platform/db/Field.h"

#include "platform/Errors.h"
#include "platform/db/DataSet.h"
#include "platform/db/RowStore.h"

#include <QCoreApplication>
#include <QLocale>

TField::TField(TDataSet* dataSet, QString name, TFieldKind kind)
    : FieldName(std::move(name)), FieldKind(kind), m_dataSet(dataSet) {}

int TField::Index() const {
    for (int i = 0; i < m_dataSet->FieldCount(); ++i) {
        if (&m_dataSet->Fields(i) == this) {
            return i;
        }
    }
    return -1;
}

QVariant TField::Value() const {
    return m_dataSet->ValueAt(-1, *this);
}

bool TField::IsNull() const {
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

QString TField::AsString() const {
    const QVariant v = Value();
    if (!v.isValid() || v.isNull()) {
        return QString();
    }
    return DataType == TFieldType::Boolean || DataType == TFieldType::DateTime ? TextOf(v)
                                                                               : v.toString();
}

QString TField::DisplayText() const {
    return TextOf(Value());
}

bool TField::AsBoolean() const {
    return Value().toBool();
}

qint64 TField::AsInteger() const {
    return Value().toLongLong();
}

double TField::AsFloat() const {
    return Value().toDouble();
}

QDateTime TField::AsDateTime() const {
    return Value().toDateTime();
}

QString TField::TextOf(const QVariant& v) const {
    if (!v.isValid() || v.isNull()) {
        return QString();
    }
    switch (FieldClassOf(DataType)) {
        case TFieldClass::Boolean:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case TFieldClass::DateTime:
            return DateTimeToStr(v.toDateTime());
        case TFieldClass::Float:
            if (DataType == TFieldType::Currency) {
                return QLocale().toString(v.toDouble(), 'f', 2);
            }
            if (DataType == TFieldType::LargeInt) {
                return QString::number(v.toLongLong());
            }
            return QLocale().toString(v.toDouble(), 'g', 15);
        case TFieldClass::Blob:
            return QStringLiteral("(BLOB)");
        default:
            return v.toString();
    }
}

QVariant TField::Converted(const QVariant& v) const {
    if (!v.isValid() || v.isNull()) {
        return QVariant();
    }
    const bool isText = v.typeId() == QMetaType::QString;
    const QString text = isText ? v.toString().trimmed() : QString();
    switch (FieldClassOf(DataType)) {
        case TFieldClass::Boolean:
            if (isText) {
                if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
                    return true;
                }
                if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
                    return false;
                }
                bool ok = false;
                const qint64 n = text.toLongLong(&ok);
                if (!ok) {
                    throw EError(tr("'%1' - неверное логическое значение").arg(v.toString()));
                }
                return n != 0;
            }
            return v.toBool();
        case TFieldClass::Integer: {
            bool ok = false;
            const qint64 n = isText ? text.toLongLong(&ok) : v.toLongLong(&ok);
            if (!ok) {
                throw EError(tr("'%1' - неверное целое значение").arg(v.toString()));
            }
            return n;
        }
        case TFieldClass::Float: {
            bool ok = false;
            double d = 0;
            if (isText) {
                d = QLocale().toDouble(text, &ok);
                if (!ok) {
                    d = text.toDouble(&ok);
                }
            } else {
                d = v.toDouble(&ok);
            }
            if (!ok) {
                throw EError(tr("'%1' - неверное значение с плавающей точкой").arg(v.toString()));
            }
            return d;
        }
        case TFieldClass::DateTime: {
            if (v.typeId() == QMetaType::QDate) {
                return QDateTime(v.toDate(), QTime(0, 0));
            }
            if (v.typeId() == QMetaType::QDateTime) {
                return v;
            }
            if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong ||
                v.typeId() == QMetaType::Int) {
                return DateTimeFromDayNumber(v.toDouble());
            }
            const QLocale locale;
            QDateTime dt = locale.toDateTime(text, locale.dateTimeFormat(QLocale::ShortFormat));
            if (!dt.isValid()) {
                dt = QDateTime(locale.toDate(text, QLocale::ShortFormat), QTime(0, 0));
            }
            if (!dt.isValid()) {
                dt = QDateTime::fromString(text, Qt::ISODate);
            }
            if (!dt.isValid()) {
                throw EError(tr("'%1' - неверная дата").arg(v.toString()));
            }
            return dt;
        }
        case TFieldClass::Blob:
            return v.toByteArray();
        default:
            return v.toString();
    }
}

void TField::SetValue(const QVariant& value) {
    if (FieldKind == TFieldKind::Calculated) {
        m_calculated = Converted(value);
        return;
    }
    if (FieldKind == TFieldKind::Lookup) {
        throw EError(tr("Поле '%1' нельзя изменить").arg(FieldName));
    }
    const TDataSetState s = m_dataSet->State();
    if (s != TDataSetState::Edit && s != TDataSetState::Insert) {
        throw EError(tr("Набор данных не находится в режиме вставки или редактирования"));
    }
    m_dataSet->m_buffer[m_column] = Converted(value);
    m_dataSet->m_touched[m_column] = true;
    m_dataSet->m_modified = true;
    m_dataSet->notifyRecord(m_dataSet->m_pos);
}

QString CheckMarkText(const QVariant& value) {
    return value.isValid() && !value.isNull() && value.toBool() ? QStringLiteral("\u2713")
                                                                : QString();
}

QVariant TField::ValueOf(const TCellView& cell) const {
    if (cell.isNull()) {
        return QVariant();
    }
    switch (FieldClass()) {
        case TFieldClass::Boolean:
            if (cell.tag == TCellView::Text) {
                const QString t = cell.text().trimmed();
                return t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                       (t.toLongLong() != 0);
            }
            return cell.real() != 0.0;
        case TFieldClass::DateTime:
            if (cell.tag == TCellView::Text) {
                return QDateTime::fromString(cell.text(), Qt::ISODate);
            }
            return DateTimeFromDayNumber(cell.real());
        case TFieldClass::Integer:
            return cell.integer();
        case TFieldClass::Float:
            if (DataType == TFieldType::LargeInt && cell.tag == TCellView::Integer) {
                return cell.integer();
            }
            return cell.real();
        case TFieldClass::Blob:
            return cell.tag == TCellView::Text ? QVariant(QByteArray(cell.data, int(cell.size)))
                                               : cell.variant();
        default:
            if (cell.tag == TCellView::Text) {
                return cell.text();
            }
            return cell.variant().toString();
    }
}

QVariant TField::LookedUp(int position) const {
    if (!LookupDataSet || !LookupDataSet->Active()) {
        return QVariant();
    }
    const QStringList keys = KeyFields.split(QLatin1Char(';'));
    const QStringList lookupKeys = LookupKeyFields.split(QLatin1Char(';'));
    if (keys.size() != lookupKeys.size()) {
        return QVariant();
    }
    QVariantList keyValues;
    for (const QString& k : keys) {
        keyValues << m_dataSet->ValueAt(position, m_dataSet->FieldByName(k.trimmed()));
    }
    TDataSet& lookup = *LookupDataSet;
    const TField& result = lookup.FieldByName(LookupResultField);
    for (int r = 0; r < lookup.RecordCount(); ++r) {
        bool match = true;
        for (int k = 0; k < lookupKeys.size() && match; ++k) {
            match = SameValue(lookup.ValueAt(r, lookup.FieldByName(lookupKeys[k].trimmed())),
                              keyValues[k]);
        }
        if (match) {
            return lookup.ValueAt(r, result);
        }
    }
    return QVariant();
}
