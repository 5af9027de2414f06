#include "platform/db/RecordSearch.h"

#include "platform/db/DataSet.h"
#include "platform/db/TextFold.h"
#include "platform/db/TextSearch.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

TRecordSearch::TRecordSearch(const TDataSet& dataSet, const TRowStore& store,
                             const std::vector<TRowStore::RowId>& order)
    : m_dataSet(dataSet), m_store(store), m_order(order) {}

int TRecordSearch::Locate(const QString& fieldNames, const QVariantList& values,
                          int options) const {
    const QStringList names = fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.size() != values.size() || names.isEmpty()) {
        throw EDatabaseError(
            QCoreApplication::translate("TDataSet", "Число полей и значений поиска не совпадает"));
    }
    struct TProbe {
        const TField* field;
        QVariant value;
        bool null;
        std::u32string folded;  // for text fields
        QByteArray utf8;        // for case-sensitive text
    };
    std::vector<TProbe> probes;
    for (int i = 0; i < names.size(); ++i) {
        const TField& f = m_dataSet.FieldByName(names[i].trimmed());
        TProbe p{&f, values[i], !values[i].isValid() || values[i].isNull(), {}, {}};
        if (!p.null && IsTextType(f.DataType) && f.FieldKind == TFieldKind::Data) {
            p.utf8 = values[i].toString().toUtf8();
            FoldUtf8(p.utf8.constData(), static_cast<std::size_t>(p.utf8.size()), p.folded);
        } else if (!p.null) {
            p.value = f.Converted(values[i]);
        }
        probes.push_back(std::move(p));
    }
    const bool caseless = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    bool byRow = true;  // every probe reads a stored column: rows can be tested in any order
    for (const TProbe& p : probes) {
        byRow = byRow && p.field->FieldKind == TFieldKind::Data;
    }
    const auto matches = [&](int pos, TRowStore::RowId row) {
        for (const TProbe& p : probes) {
            const bool data = p.field->FieldKind == TFieldKind::Data;
            if (data && IsTextType(p.field->DataType) && !p.null) {
                const TCellView c = m_store.cell(row, p.field->Column());
                if (c.tag != TCellView::Text) {
                    return false;
                }
                if (caseless) {
                    if (partial) {
                        if (!StartsWithFolded(c.data, c.size, p.folded)) {
                            return false;
                        }
                    } else if (CompareFolded(c.data, c.size, p.utf8.constData(),
                                             static_cast<std::size_t>(p.utf8.size())) != 0) {
                        return false;
                    }
                } else {
                    const auto n = static_cast<std::uint32_t>(p.utf8.size());
                    if (partial
                            ? (c.size < n || std::memcmp(c.data, p.utf8.constData(), n) != 0)
                            : (c.size != n || std::memcmp(c.data, p.utf8.constData(), n) != 0)) {
                        return false;
                    }
                }
                continue;
            }
            const QVariant v = data ? p.field->ValueOf(m_store.cell(row, p.field->Column()))
                                    : m_dataSet.ValueAt(pos, *p.field);
            const bool vNull = !v.isValid() || v.isNull();
            if (p.null || vNull) {
                if (p.null != vNull) {
                    return false;
                }
                continue;
            }
            if (IsTextType(p.field->DataType)) {
                const QString a = v.toString();
                const QString b = p.value.toString();
                const Qt::CaseSensitivity cs = caseless ? Qt::CaseInsensitive : Qt::CaseSensitive;
                if (partial ? !a.startsWith(b, cs) : a.compare(b, cs) != 0) {
                    return false;
                }
            } else if (!SameValue(v, p.value)) {
                return false;
            }
        }
        return true;
    };
    const int count = static_cast<int>(m_order.size());
    if (byRow) {
        // A search box mostly finds what it looks for among the first rows: those are
        // tried first, in the current order.
        const int early = std::min(count, 2048);
        for (int pos = 0; pos < early; ++pos) {
            if (matches(pos, m_order[static_cast<std::size_t>(pos)])) {
                return pos;
            }
        }
        if (early == count) {
            return -1;
        }
        // Then the rows in storage order, which walks memory once, and the first hit in
        // the current order. A search that finds nothing never leaves that pass.
        std::vector<bool> hit(m_store.size(), false);
        bool any = false;
        for (std::size_t r = 0; r < m_store.size(); ++r) {
            m_store.prefetchRecord(static_cast<TRowStore::RowId>(r + 16));
            for (const TProbe& p : probes) {
                m_store.prefetchCell(static_cast<TRowStore::RowId>(r + 8), p.field->Column());
            }
            if (matches(-1, static_cast<TRowStore::RowId>(r))) {
                hit[r] = true;
                any = true;
            }
        }
        for (int pos = 0; any && pos < count; ++pos) {
            if (hit[m_order[static_cast<std::size_t>(pos)]]) {
                return pos;
            }
        }
        return -1;
    }
    for (int pos = 0; pos < count; ++pos) {
        if (matches(pos, m_order[static_cast<std::size_t>(pos)])) {
            return pos;
        }
    }
    return -1;
}

int TRecordSearch::FindText(const QList<const TField*>& fields, const QString& text, int from,
                            bool forward, bool anywhere) const {
    std::vector<TSearchColumn> columns;
    QList<const TField*> computed;
    for (const TField* f : fields) {
        if (f->FieldClass() == TFieldClass::Boolean) {
            continue;  // shown as a mark, not as a word to find
        }
        if (f->FieldKind != TFieldKind::Data) {
            computed << f;
            continue;
        }
        TSearchColumn c;
        c.column = f->Column();
        if (!IsTextType(f->DataType)) {
            c.kind = f->FieldClass() == TFieldClass::Integer    ? TSearchColumn::Integer
                     : f->FieldClass() == TFieldClass::DateTime ? TSearchColumn::DateTime
                                                                : TSearchColumn::Other;
            c.shown = [f](const TCellView& cell) { return f->TextOf(f->ValueOf(cell)); };
        }
        columns.push_back(std::move(c));
    }
    std::function<QStringList(int)> shownAt;
    if (!computed.isEmpty()) {
        shownAt = [this, computed](int pos) {
            QStringList shown;
            for (const TField* f : computed) {
                shown << m_dataSet.DisplayTextAt(pos, *f);
            }
            return shown;
        };
    }
    const TTextSearch search(m_store, text, anywhere, std::move(columns), std::move(shownAt));
    return search.First(m_order, from, forward);
}
