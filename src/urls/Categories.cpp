#include "urls/Categories.h"

#include "common/TextUnit.h"
#include "platform/Errors.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/JetSql.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

const QString kCategoryField = QStringLiteral("CategoryName");

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

QStringList SplitCategoryNames(const QString& text) {
    // A scan instead of a pattern: an export splits a million of these.
    QStringList names;
    int begin = 0;
    const int n = text.size();
    for (int i = 0; i <= n; ++i) {
        const QChar c = i < n ? text.at(i) : QChar(u';');
        if (c == u';' || c == u'\r' || c == u'\n') {
            const QString name = TrimmedFieldText(text.mid(begin, i - begin));
            if (!name.isEmpty()) {
                names << name;
            }
            begin = i + 1;
        }
    }
    return names;
}

int URLFieldSize(TConnection& connection, const QString& column) {
    TDataSet ds;
    ds.SetConnection(&connection);
    ds.SetCommandText(QStringLiteral("SELECT %1 FROM SubjectURLs WHERE 1 = 0").arg(column));
    ds.Open();
    const int size = ds.Fields(0).Size;
    return size > 0 ? size : std::numeric_limits<int>::max();
}

int CategoryFieldSize(TConnection& connection) {
    return URLFieldSize(connection, QStringLiteral("Category"));
}

QString CategoriesTooLongMessage(const QString& url, int length, int size) {
    const QString record = url.isEmpty()
                               ? QCoreApplication::translate("Categories", "новой записи")
                               : QCoreApplication::translate("Categories", "записи «%1»").arg(url);
    return QCoreApplication::translate("Categories",
                                       "Категории %1 стали бы длиной %2 символов, а поле "
                                       "вмещает не более %3. Ничего не обрезано: сократите "
                                       "их.")
        .arg(record)
        .arg(length)
        .arg(size);
}

bool HasCategoryName(const QStringList& names, const QString& name) {
    for (const QString& n : names) {
        if (sameName(n, name)) {
            return true;
        }
    }
    return false;
}

QString RenamedCategoryText(const QString& text, const QString& from, const QString& to) {
    const QStringList names = SplitCategoryNames(text);
    if (!HasCategoryName(names, from)) {
        return text;
    }
    QStringList result;
    for (const QString& n : names) {
        const QString name = sameName(n, from) ? to : n;
        if (!name.isEmpty() && !HasCategoryName(result, name)) {
            result << name;
        }
    }
    return result.join(QStringLiteral("; "));
}

QString CategoryItemCondition(const QString& field, const QString& name) {
    // The engines split the text by the rule of SplitCategoryNames themselves: spacing,
    // line breaks and wildcards in a name cannot make the filter and the menu disagree.
    return field + QStringLiteral(" HASITEM ") + JetQuotedString(name);
}

QVector<TCategoryRecords::TRead> TCategoryRecords::candidates(const QString& name) {
    // The engine finds the texts holding the name anywhere, the split rule decides for each.
    // A server that folds the case of Latin letters only would miss the name written in
    // other letters in another case: there every record with categories is read.
    const std::optional<TServerLink> link = m_connection.Provider().serverLink();
    const QString condition =
        link && !link->foldsEveryLetter()
            ? QStringLiteral("Category IS NOT NULL")
            : QStringLiteral("Category LIKE ") +
                  JetQuotedString(QLatin1Char('%') + LikeEscaped(name) + QLatin1Char('%'));
    TDataSet ds;
    ds.SetConnection(&m_connection);
    ds.SetCommandText(QStringLiteral("SELECT SubjectURLID, URL, Category FROM SubjectURLs WHERE ") +
                      condition);
    ds.Open();
    const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
    const TField& url = ds.FieldByName(QStringLiteral("URL"));
    const TField& category = ds.FieldByName(QStringLiteral("Category"));
    QVector<TRead> read;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        read.append({key.AsString(), url.AsString(), category.AsString()});
    }
    return read;
}

int TCategoryRecords::FieldSize() {
    if (m_fieldSize <= 0) {
        m_fieldSize = CategoryFieldSize(m_connection);
    }
    return m_fieldSize;
}

int TCategoryRecords::RecordsUsing(const QString& name, const QVector<TCategoryChange>& pending) {
    // A record may come to carry the name through a pending change from another name.
    QStringList searched{name};
    for (const TCategoryChange& c : pending) {
        if (!HasCategoryName(searched, c.from)) {
            searched << c.from;
        }
    }
    QSet<QString> counted;
    for (const QString& s : searched) {
        for (const TRead& r : candidates(s)) {
            QString text = r.text;
            for (const TCategoryChange& c : pending) {
                text = RenamedCategoryText(text, c.from, c.to);
            }
            if (HasCategoryName(SplitCategoryNames(text), name)) {
                counted.insert(r.key);
            }
        }
    }
    return static_cast<int>(counted.size());
}

QVector<TCategoryRefusal> TCategoryRecords::Refusals(const QVector<TCategoryChange>& changes) {
    // Every record a change reaches holds one of the names changed from the start: a record
    // takes a name only through a change of a name it holds.
    QVector<TRead> records;
    QSet<QString> seen;
    QStringList searched;
    for (const TCategoryChange& c : changes) {
        if (HasCategoryName(searched, c.from)) {
            continue;
        }
        searched << c.from;
        for (const TRead& r : candidates(c.from)) {
            if (!seen.contains(r.key)) {
                seen.insert(r.key);
                records.append(r);
            }
        }
    }
    const int size = FieldSize();
    QVector<TCategoryRefusal> refused;
    for (const TRead& r : records) {
        QString text = r.text;
        for (const TCategoryChange& c : changes) {
            const QString renamed = RenamedCategoryText(text, c.from, c.to);
            if (renamed.size() > size) {
                refused.append({r.key, r.url, c.from, static_cast<int>(renamed.size())});
                break;
            }
            text = renamed;
        }
    }
    std::sort(refused.begin(), refused.end(),
              [](const TCategoryRefusal& a, const TCategoryRefusal& b) { return a.url < b.url; });
    return refused;
}

int TCategoryRecords::Apply(const QVector<TCategoryChange>& changes, const QSet<QString>& leftOut) {
    int written = 0;
    const int size = FieldSize();
    for (const TCategoryChange& change : changes) {
        QVector<TRead> updates;
        for (const TRead& r : candidates(change.from)) {
            const QString renamed = RenamedCategoryText(r.text, change.from, change.to);
            if (renamed == r.text) {
                continue;
            }
            if (renamed.size() > size && !leftOut.contains(r.key)) {
                throw EError(
                    CategoriesTooLongMessage(r.url, static_cast<int>(renamed.size()), size));
            }
            updates.append(r);
        }
        if (BeforeWriting) {
            BeforeWriting();
        }
        for (const TRead& u : updates) {
            written += writeRenamed(u, change, leftOut.contains(u.key)) ? 1 : 0;
        }
    }
    return written;
}

bool TCategoryRecords::writeRenamed(const TRead& read, const TCategoryChange& change,
                                    bool mayLeave) {
    // Written only over the text it was made from: another user's change to the record since
    // (another server session commits between the reading and the writing) is read again
    // and renamed in its turn, never written over.
    constexpr int kRereads = 8;
    QString text = read.text;
    for (int attempt = 0;; ++attempt) {
        const QString renamed = RenamedCategoryText(text, change.from, change.to);
        if (renamed == text) {
            return false;
        }
        if (renamed.size() > FieldSize()) {
            if (mayLeave) {
                return false;  // the user chose to leave it with the old name
            }
            throw EError(
                CategoriesTooLongMessage(read.url, static_cast<int>(renamed.size()), FieldSize()));
        }
        if (m_connection.Execute(
                QStringLiteral("UPDATE SubjectURLs SET Category = :C "
                               "WHERE SubjectURLID = :ID AND Category = :OLD"),
                {{QStringLiteral("C"), renamed.isEmpty() ? QVariant() : QVariant(renamed)},
                 {QStringLiteral("ID"), read.key},
                 {QStringLiteral("OLD"), text}}) == 1) {
            return true;
        }
        if (attempt >= kRereads) {
            throw EConflictError(
                QCoreApplication::translate("Categories",
                                            "Категории записи «%1» всё время меняет другой "
                                            "пользователь; повторите переименование.")
                    .arg(read.url));
        }
        TDataSet now;
        now.SetConnection(&m_connection);
        now.SetCommandText(
            QStringLiteral("SELECT Category FROM SubjectURLs WHERE SubjectURLID = :ID"));
        now.Parameters().ParamByName(QStringLiteral("ID")).SetValue(read.key);
        now.Open();
        if (now.IsEmpty()) {
            return false;  // deleted meanwhile: nothing left to rename
        }
        text = now.Fields(0).AsString();
    }
}

QStringList TCategoryRecords::UsedNames() {
    TDataSet ds;
    ds.SetConnection(&m_connection);
    ds.SetCommandText(QStringLiteral(
        "SELECT DISTINCT Category FROM SubjectURLs WHERE Category IS NOT NULL AND Category <> ''"));
    ds.Open();
    QStringList names;
    TNameSet seen;
    const TField& category = ds.FieldByName(QStringLiteral("Category"));
    for (ds.First(); !ds.Eof(); ds.Next()) {
        for (const QString& n : SplitCategoryNames(category.AsString())) {
            if (seen.insert(n)) {
                names << n;
            }
        }
    }
    return names;
}

namespace {
// Appends to the cached list each name it lacks, as pending rows; returns them.
QStringList appendMissing(TDataSet& list, const QStringList& names) {
    TNameSet known;
    const TField& field = list.FieldByName(kCategoryField);
    for (list.First(); !list.Eof(); list.Next()) {
        known.insert(field.AsString());
    }
    QStringList added;
    for (const QString& name : names) {
        if (name.isEmpty() || !known.insert(name)) {
            continue;
        }
        list.Append();
        list.FieldByName(kCategoryField).SetValue(name);
        list.Post();
        added << name;
    }
    return added;
}
}  // namespace

QStringList AddMissingCategories(TDataSet& list, const QStringList& names) {
    if (!list.Active()) {
        return {};
    }
    const QStringList added = appendMissing(list, names);
    if (!added.isEmpty()) {
        try {
            list.UpdateBatch();
        } catch (...) {
            list.CancelBatch();
            throw;
        }
        list.Requery();
    }
    return added;
}

QStringList OfferUsedCategories(TDataSet& list, TCategoryRecords& records) {
    if (!list.Active()) {
        return {};
    }
    return appendMissing(list, records.UsedNames());
}
