#pragma once

#include "platform/db/FieldTypes.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct TParameter {
    QString Name;
    TFieldType DataType = TFieldType::Unknown;
    QVariant Value;

    void SetValue(const QVariant& v) { Value = v; }
};

// The named parameters of a statement, made from its text; values set for a name
// survive a change of the text that keeps the name.
class TParameters final {
public:
    void Refresh(const QStringList& names);
    int Count() const { return m_items.size(); }
    TParameter& Items(int i) { return m_items[i]; }
    TParameter* FindParam(const QString& name);
    TParameter& ParamByName(const QString& name);
    // The values in statement order; a name without a parameter is an error.
    QVariantList ValuesFor(const QStringList& names) const;

private:
    QVector<TParameter> m_items;
};
