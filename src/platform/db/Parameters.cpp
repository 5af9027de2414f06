#include "platform/db/Parameters.h"

#include "platform/db/DbProvider.h"

#include <QCoreApplication>

void TParameters::Refresh(const QStringList& names) {
    QVector<TParameter> next;
    for (const QString& name : names) {
        TParameter* old = FindParam(name);
        next.append(old ? *old : TParameter{name, TFieldType::Unknown, QVariant()});
    }
    m_items = next;
}

TParameter* TParameters::FindParam(const QString& name) {
    for (TParameter& p : m_items) {
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) {
            return &p;
        }
    }
    return nullptr;
}

TParameter& TParameters::ParamByName(const QString& name) {
    if (TParameter* p = FindParam(name)) {
        return *p;
    }
    throw EDatabaseError(
        QCoreApplication::translate("TParameters", "Параметр %1 не найден.").arg(name));
}

QVariantList TParameters::ValuesFor(const QStringList& names) const {
    QVariantList values;
    for (const QString& name : names) {
        const TParameter* found = nullptr;
        for (const TParameter& p : m_items) {
            if (p.Name.compare(name, Qt::CaseInsensitive) == 0) {
                found = &p;
                break;
            }
        }
        if (!found) {
            throw EDatabaseError(
                QCoreApplication::translate("TParameters", "Параметр %1 не найден.").arg(name));
        }
        QVariant v = found->Value;
        if (found->DataType == TFieldType::Boolean && v.isValid() && !v.isNull()) {
            v = QVariant(v.toBool());
        }
        values << v;
    }
    return values;
}
