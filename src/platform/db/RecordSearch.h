#pragma once

#include "platform/db/RowStore.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

class TDataSet;
class TField;

// Finds records of a dataset among the rows it holds, without moving to them: by the
// values of fields (Locate) or by a text the fields show (FindText). Answers are positions
// in the dataset's current order, -1 for none.
class TRecordSearch final {
public:
    TRecordSearch(const TDataSet& dataSet, const TRowStore& store,
                  const std::vector<TRowStore::RowId>& order);

    // The first record whose fields (names separated by ";") hold the values, as
    // TDataSet::Locate's options say (TLocateOptions).
    int Locate(const QString& fieldNames, const QVariantList& values, int options) const;
    // As TDataSet::FindText, over every row held.
    int FindText(const QList<const TField*>& fields, const QString& text, int from, bool forward,
                 bool anywhere) const;

private:
    const TDataSet& m_dataSet;
    const TRowStore& m_store;
    const std::vector<TRowStore::RowId>& m_order;
};
