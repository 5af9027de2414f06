#include "platform/db/FieldTypes.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {
const QDate kDayZero(1899, 12, 30);
}

TFieldClass FieldClassOf(TFieldType type) {
    switch (type) {
        case TFieldType::String:
        case TFieldType::WideString:
            return TFieldClass::Text;
        case TFieldType::Guid:
            return TFieldClass::Guid;
        case TFieldType::Memo:
            return TFieldClass::Memo;
        case TFieldType::Boolean:
            return TFieldClass::Boolean;
        case TFieldType::DateTime:
            return TFieldClass::DateTime;
        case TFieldType::SmallInt:
        case TFieldType::Integer:
        case TFieldType::Word:
        case TFieldType::AutoInc:
            return TFieldClass::Integer;
        case TFieldType::LargeInt:
        case TFieldType::Float:
        case TFieldType::Currency:
        case TFieldType::BCD:
            return TFieldClass::Float;
        case TFieldType::Blob:
            return TFieldClass::Blob;
        case TFieldType::Unknown:
            break;
    }
    return TFieldClass::Other;
}

bool IsTextType(TFieldType type) {
    const TFieldClass c = FieldClassOf(type);
    return c == TFieldClass::Text || c == TFieldClass::Guid || c == TFieldClass::Memo;
}

TFieldType FieldTypeFromDeclared(const QString& declared, int* size) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*([A-Za-z ]+?)\\s*(?:\\(\\s*(\\d+)[^)]*\\))?\\s*$"));
    const QRegularExpressionMatch m = re.match(declared);
    const QString base = m.hasMatch() ? m.captured(1).toUpper() : declared.trimmed().toUpper();
    const int length = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (size) {
        *size = 0;
    }
    const auto is = [&base](std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (base == QLatin1String(n)) {
                return true;
            }
        }
        return false;
    };
    if (is({"GUID", "UNIQUEIDENTIFIER", "UUID"})) {
        if (size) {
            *size = 38;
        }
        return TFieldType::Guid;
    }
    if (is({"TEXT", "VARCHAR", "NVARCHAR", "CHAR", "NCHAR", "CHARACTER VARYING", "CHARACTER",
            "STRING", "BPCHAR"})) {
        // A declared length makes a sized text, also beyond Jet's 255: addresses of new
        // catalogues hold 2,048 characters and must sort and filter as text.
        if (length > 0) {
            if (size) {
                *size = length;
            }
            return TFieldType::WideString;
        }
        return TFieldType::Memo;
    }
    if (is({"MEMO", "LONGTEXT", "CLOB", "NTEXT", "CITEXT"})) {
        return TFieldType::Memo;
    }
    if (is({"BOOLEAN", "BOOL", "BIT", "YESNO", "LOGICAL"})) {
        return TFieldType::Boolean;
    }
    if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP", "TIMESTAMP WITHOUT TIME ZONE",
            "TIMESTAMP WITH TIME ZONE", "TIMESTAMPTZ"})) {
        return TFieldType::DateTime;
    }
    if (is({"SMALLINT", "SHORT", "INT2", "TINYINT", "BYTE"})) {
        return TFieldType::SmallInt;
    }
    if (is({"INTEGER", "INT", "LONG", "INT4", "MEDIUMINT"})) {
        return TFieldType::Integer;
    }
    if (is({"COUNTER", "AUTOINCREMENT", "SERIAL"})) {
        return TFieldType::AutoInc;
    }
    if (is({"BIGINT", "INT8", "BIGSERIAL"})) {
        return TFieldType::LargeInt;
    }
    if (is({"REAL", "DOUBLE", "DOUBLE PRECISION", "FLOAT", "FLOAT4", "FLOAT8", "SINGLE"})) {
        return TFieldType::Float;
    }
    if (is({"CURRENCY", "MONEY"})) {
        return TFieldType::Currency;
    }
    if (is({"DECIMAL", "NUMERIC"})) {
        return TFieldType::BCD;
    }
    if (is({"BLOB", "LONGBINARY", "BINARY", "VARBINARY", "BYTEA", "IMAGE"})) {
        return TFieldType::Blob;
    }
    return TFieldType::Unknown;
}

double DayNumber(const QDate& day) {
    return static_cast<double>(kDayZero.daysTo(day));
}

double DayNumber(const QDateTime& when) {
    return DayNumber(when.date()) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

QDateTime DateTimeFromDayNumber(double days) {
    // A day number from outside (a filter text, a cell) may be anything; beyond a million
    // years either way it is no date.
    if (!std::isfinite(days) || std::fabs(days) > 4e8) {
        return QDateTime();
    }
    const double whole = std::floor(days);
    const qint64 ms = std::llround((days - whole) * 86400000.0);
    return QDateTime(kDayZero.addDays(static_cast<qint64>(whole)), QTime(0, 0)).addMSecs(ms);
}

QString ShownTimeFormat() {
    // Qt's long time format names the time zone; the program shows local time only.
    QString timeFormat = QLocale().timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return timeFormat.trimmed();
}

QString DateTimeToStr(const QDateTime& when) {
    QString text = QLocale().toString(when.date(), QLocale::ShortFormat);
    if (when.time() != QTime(0, 0)) {
        text += QLatin1Char(' ') + when.time().toString(ShownTimeFormat());
    }
    return text;
}

TStorageClass StorageClassOf(const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        return TStorageClass::Null;
    }
    switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            return TStorageClass::Integer;
        case QMetaType::Double:
        case QMetaType::Float:
            return TStorageClass::Real;
        case QMetaType::QDate:
            return TStorageClass::Date;
        case QMetaType::QDateTime:
            return TStorageClass::DateTime;
        case QMetaType::QByteArray:
            return TStorageClass::Blob;
        default:
            return TStorageClass::Text;
    }
}

bool SameValue(const QVariant& a, const QVariant& b) {
    const bool an = !a.isValid() || a.isNull();
    const bool bn = !b.isValid() || b.isNull();
    if (an || bn) {
        return an == bn;
    }
    return a == b;
}
