#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

enum class TFieldType {
    Unknown,
    String,
    WideString,
    Guid,
    Memo,
    Boolean,
    DateTime,
    SmallInt,
    Integer,
    Word,
    AutoInc,
    LargeInt,
    Float,
    Currency,
    BCD,
    Blob,
};

// The type classes the filter language and the quick filters tell apart.
enum class TFieldClass { Text, Guid, Memo, Boolean, DateTime, Integer, Float, Blob, Other };

TFieldClass FieldClassOf(TFieldType type);
bool IsTextType(TFieldType type);  // String, WideString, Guid, Memo

// The field type of a column from its declared SQL type ("TEXT(150)", "GUID",
// "BOOLEAN", "DATETIME", ...); size receives the declared length or 0.
TFieldType FieldTypeFromDeclared(const QString& declared, int* size);

// Day numbers: whole days from 30 December 1899 (day 0), the fraction is the time of day.
double DayNumber(const QDateTime& when);
double DayNumber(const QDate& day);
QDateTime DateTimeFromDayNumber(double days);

// A date and time as the program shows it: the short date, and the long time unless it is
// exactly midnight.
QString DateTimeToStr(const QDateTime& when);
// The format of the time DateTimeToStr writes after the date.
QString ShownTimeFormat();

// Two values are the same: nulls (and no value) only to each other.
bool SameValue(const QVariant& a, const QVariant& b);

// How a value is stored: the storage classes of the engines, with dates apart.
enum class TStorageClass { Null, Integer, Real, Date, DateTime, Blob, Text };
// Booleans store as the integers 0 and 1.
TStorageClass StorageClassOf(const QVariant& value);
