#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <map>
#include <vector>

// The plain model the dataset's random sequences are checked against: the catalogue, the
// rows a dataset holds, their order under a sort and the cursor, and what a write of a row
// meets in the catalogue.

struct TRow {
    QString key;
    QString url;
    QVariant description;  // null or text
    QVariant category;     // null or text
    bool visited = false;
};

inline bool sameText(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull()) {
        return a.isNull() == b.isNull();
    }
    return a.toString() == b.toString();
}

// What a comparison in the catalogue (text columns ignore letter case) says.
inline bool sameCaseless(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull()) {
        return a.isNull() == b.isNull();
    }
    return a.toString().compare(b.toString(), Qt::CaseInsensitive) == 0;
}

inline QString cellText(const QVariant& v) {
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

inline QString rowText(const TRow& r) {
    return QStringList{r.key, r.url, cellText(r.description), cellText(r.category),
                       r.visited ? QStringLiteral("1") : QStringLiteral("0")}
        .join(QLatin1Char('|'));
}

inline QVariant fieldOf(const TRow& r, const QString& field) {
    if (field == QLatin1String("URL")) {
        return r.url;
    }
    if (field == QLatin1String("Description")) {
        return r.description;
    }
    if (field == QLatin1String("Category")) {
        return r.category;
    }
    return r.visited;
}

inline void setField(TRow& r, const QString& field, const QVariant& v) {
    if (field == QLatin1String("URL")) {
        r.url = v.toString();
    } else if (field == QLatin1String("Description")) {
        r.description = v;
    } else if (field == QLatin1String("Category")) {
        r.category = v;
    } else {
        r.visited = v.toBool();
    }
}

// Letters of any case alike, "ё" as "е".
inline QString sortKey(const QVariant& v) {
    return v.toString().toLower().replace(QChar(0x0451), QChar(0x0435));
}

inline const QStringList kFields = {QStringLiteral("URL"), QStringLiteral("Description"),
                                    QStringLiteral("Category"), QStringLiteral("Visited")};

enum class TPending { None, Modified, Inserted, Deleted };

// A row the dataset holds, in the order it arrived (its place among ties).
struct TViewRow {
    TRow shown;
    TRow original;  // as read or last written: what the catalogue is expected to hold
    TPending pending = TPending::None;
    bool unread = false;  // inserted here, not read since
    bool gone = false;    // deleted for good, or an insert given up
};

struct TSortKey {
    QString field;
    bool descending;
};

struct TDataSetPropertyModel {
    // The model: the catalogue, and the dataset's rows, order and cursor.
    std::map<QString, TRow> db;
    std::vector<TViewRow> rows;
    std::vector<int> order;  // indexes into rows, the records shown
    int pos = -1;
    bool bof = true;
    bool eof = true;
    QString sortText;
    std::vector<TSortKey> sortKeys;
    bool filtered = false;
    bool batch = false;
    int serial = 0;
    QVariantList touchedKeys;     // rows this dataset wrote since it read them
    bool otherSinceOpen = false;  // another connection wrote since the dataset read

    bool inFilter(const TRow& r) const {
        return !filtered || (!r.category.isNull() &&
                             r.category.toString().compare("x", Qt::CaseInsensitive) == 0);
    }
    // Whether row a comes before row b in the model's sort: nulls lowest, texts by their
    // letters whatever their case, ties in the order the rows arrived.
    bool before(int a, int b) const {
        for (const TSortKey& k : sortKeys) {
            const QVariant x = fieldOf(rows[a].shown, k.field);
            const QVariant y = fieldOf(rows[b].shown, k.field);
            int c = 0;
            if (x.isNull() || y.isNull()) {
                c = x.isNull() == y.isNull() ? 0 : (x.isNull() ? -1 : 1);
            } else if (k.field == QLatin1String("Visited")) {
                c = int(x.toBool()) - int(y.toBool());
            } else {
                c = sortKey(x).compare(sortKey(y));
            }
            if (c != 0) {
                return k.descending ? c > 0 : c < 0;
            }
        }
        return a < b;
    }
    void sortModel() {
        std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return before(a, b); });
    }
    int positionOfRow(int row) const {
        const auto it = std::find(order.begin(), order.end(), row);
        return it == order.end() ? -1 : static_cast<int>(it - order.begin());
    }
    // -- the model's opening, from its catalogue
    void modelOpen() {
        rows.clear();
        order.clear();
        for (const auto& [key, r] : db) {  // by key: the query's order
            if (inFilter(r)) {
                TViewRow v;
                v.shown = v.original = r;
                rows.push_back(v);
                order.push_back(static_cast<int>(rows.size()) - 1);
            }
        }
        sortModel();
        pos = order.empty() ? -1 : 0;
        bof = true;
        eof = order.empty();
        touchedKeys.clear();
        otherSinceOpen = false;
    }
    QStringList modelCatalogue() const {
        QStringList out;
        for (const auto& [key, r] : db) {
            out << rowText(r);
        }
        out.sort();
        return out;
    }
    QStringList modelRows() const {
        QStringList out;
        for (int i : order) {
            out << rowText(rows[static_cast<std::size_t>(i)].shown);
        }
        return out;
    }
    // A write of the dataset meets the catalogue as the model holds it: the row is there
    // and holds the values read in the columns that matter (all of them for a delete of
    // a row read from the catalogue).
    bool writeConflicts(const TViewRow& v, TPending kind) const {
        if (kind == TPending::Inserted) {
            return db.count(v.shown.key) > 0;
        }
        bool changed = false;
        for (const QString& f : kFields) {
            changed = changed || !sameText(fieldOf(v.shown, f), fieldOf(v.original, f));
        }
        if (kind == TPending::Modified && !changed) {
            return false;  // nothing to write
        }
        const auto it = db.find(v.original.key);
        if (it == db.end()) {
            return true;
        }
        for (const QString& f : kFields) {
            const bool matters = kind == TPending::Deleted
                                     ? !v.unread
                                     : !sameText(fieldOf(v.shown, f), fieldOf(v.original, f));
            if (matters && !sameCaseless(fieldOf(it->second, f), fieldOf(v.original, f))) {
                return true;
            }
        }
        return false;
    }
    void applyWrite(TViewRow& v, TPending kind) {
        if (kind == TPending::Deleted) {
            db.erase(v.original.key);
        } else if (kind == TPending::Inserted) {
            db[v.shown.key] = v.shown;
        } else {
            const auto it = db.find(v.original.key);
            for (const QString& f : kFields) {
                if (it != db.end() && !sameText(fieldOf(v.shown, f), fieldOf(v.original, f))) {
                    setField(it->second, f, fieldOf(v.shown, f));
                }
            }
        }
    }
    int n() const { return static_cast<int>(order.size()); }
};
