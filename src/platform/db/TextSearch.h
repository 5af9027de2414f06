#pragma once

#include "platform/db/RowStore.h"
#include "platform/db/TextFold.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

// A column a search reads. Text columns are read as stored; the others by the text the
// grid shows, which `shown` makes from a stored cell: whole numbers and dates are made
// here without it, as a search of a million rows cannot afford a QString for each.
struct TSearchColumn {
    enum Kind { Text, Integer, DateTime, Other };
    int column = -1;
    Kind kind = Text;
    std::function<QString(const TCellView&)> shown;
};

// The search box's search over the rows of a view: the first row, in the view's order,
// one of whose columns holds a text, letters of any case and "ё" as "е", anywhere in the
// value or at its beginning. Rows near the start are read in the view's order; when the
// match lies further, every stored row is read once in storage order, by the processor's
// cores together, and the view's order is then walked over what was found: a sorted view
// scatters its rows over memory, which a read in storage order does not wait on.
class TTextSearch final {
public:
    // shownAt: the texts the row at a view position shows in columns no stored cell holds
    // (calculated, looked up); with it the rows are read in the view's order only.
    TTextSearch(const TRowStore& store, const QString& text, bool anywhere,
                std::vector<TSearchColumn> columns,
                std::function<QStringList(int position)> shownAt = {});
    ~TTextSearch();
    TTextSearch(const TTextSearch&) = delete;
    TTextSearch& operator=(const TTextSearch&) = delete;

    // The position of the first row holding the text, from `from` on or back from it, in
    // the view whose rows are `order`; -1 for none.
    int First(const std::vector<TRowStore::RowId>& order, int from, bool forward) const;

private:
    class TReader;

    bool holds(TReader& reader, TRowStore::RowId row) const;
    bool matches(const char* text, std::size_t size) const;
    bool spanHolds(TReader& reader, const char* record) const;
    // The rows that hold the text, one byte each, read in storage order.
    std::vector<unsigned char> markRows() const;

    const TRowStore& m_store;
    bool m_anywhere;
    std::u32string m_folded;
    TFoldedNeedle m_needle;
    // Text columns searched anywhere lie side by side in a record: they are scanned as one
    // span, one pass a row instead of one a cell, each candidate checked within its cell.
    std::vector<int> m_span;
    std::vector<TSearchColumn> m_others;
    std::function<QStringList(int)> m_shownAt;
};
