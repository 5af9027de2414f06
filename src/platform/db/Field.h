#pragma once

#include "platform/db/FieldTypes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>

class TDataSet;
struct TCellView;

enum class TFieldKind { Data, Calculated, Lookup };

// One field of a dataset: its declaration (name, title, visibility, type, size, kind)
// and access to its value in the current record.
class TField final {
    Q_DECLARE_TR_FUNCTIONS(TField)

public:
    TField(TDataSet* dataSet, QString name, TFieldKind kind);

    QString FieldName;
    QString DisplayLabel;  // the title; the field name when empty
    bool Visible = true;
    int DisplayWidth = 0;  // in characters; 0 for the type's default
    TFieldType DataType = TFieldType::Unknown;
    int Size = 0;
    TFieldKind FieldKind = TFieldKind::Data;
    bool Declared = false;  // declared by the program rather than made at opening

    // A lookup field shows LookupResultField of the LookupDataSet row whose
    // LookupKeyFields equal this dataset's KeyFields.
    TDataSet* LookupDataSet = nullptr;
    QString KeyFields;
    QString LookupKeyFields;
    QString LookupResultField;

    TDataSet* DataSet() const { return m_dataSet; }
    int Index() const;
    QString Title() const { return DisplayLabel.isEmpty() ? FieldName : DisplayLabel; }
    TFieldClass FieldClass() const { return FieldClassOf(DataType); }

    bool IsNull() const;
    // Typed: bool, QDateTime, qint64, double, QString or QByteArray; invalid when null.
    QVariant Value() const;
    QString AsString() const;
    QString DisplayText() const;
    bool AsBoolean() const;
    qint64 AsInteger() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;

    // Only in the edit and insert states; a calculated field is set from OnCalcFields.
    void SetValue(const QVariant& value);
    void SetAsString(const QString& text) { SetValue(text); }
    void Clear() { SetValue(QVariant()); }

    // The text shown for a value of this field.
    QString TextOf(const QVariant& value) const;
    // A value converted to the field's type; conversion failures throw the platform's
    // conversion message.
    QVariant Converted(const QVariant& value) const;
    // A stored cell of the field's column, as the field's type reads it.
    QVariant ValueOf(const TCellView& cell) const;
    // A lookup field's value for the record at this position of its dataset.
    QVariant LookedUp(int position) const;

    int Column() const { return m_column; }

private:
    friend class TDataSet;

    TDataSet* m_dataSet;
    int m_column = -1;      // result column of a data field
    QVariant m_calculated;  // the value OnCalcFields gave a calculated field
};

// How a Boolean value is shown to a reader (the grid, the report): a check mark when set,
// nothing when clear or null.
QString CheckMarkText(const QVariant& value);
