#include "urls/Categories.h"

#include "common/TextUnit.h"
#include "platform/Errors.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/JetSql.h"

#include <QCoreApplication>
#include <QSet>

namespace {

const QString kCategoryField = QStringLiteral("CategoryName");
// The declared size of SubjectURLs.Category.
constexpr int kCategoryTextSize = 255;

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The records that may carry the name: the engine finds the texts holding it anywhere, the
// split rule decides for each of them.
void openCandidates(TDataSet& ds, TConnection& connection, const QString& name) {
    ds.SetConnection(&connection);
    ds.SetCommandText(
        QStringLiteral("SELECT SubjectURLID, URL, Category FROM SubjectURLs WHERE Category LIKE ") +
        JetQuotedString(QLatin1Char('%') + LikeEscaped(name) + QLatin1Char('%')));
    ds.Open();
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
        TDataSet ds;
        openCandidates(ds, m_connection, s);
        const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
        const TField& category = ds.FieldByName(QStringLiteral("Category"));
        for (ds.First(); !ds.Eof(); ds.Next()) {
            QString text = category.AsString();
            for (const TCategoryChange& c : pending) {
                text = RenamedCategoryText(text, c.from, c.to);
            }
            if (HasCategoryName(SplitCategoryNames(text), name)) {
                counted.insert(key.AsString());
            }
        }
    }
    return static_cast<int>(counted.size());
}

int TCategoryRecords::Apply(const QVector<TCategoryChange>& changes) {
    int written = 0;
    for (const TCategoryChange& change : changes) {
        TDataSet ds;
        openCandidates(ds, m_connection, change.from);
        QVector<QPair<QString, QString>> updates;  // key, the text read
        const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
        const TField& category = ds.FieldByName(QStringLiteral("Category"));
        for (ds.First(); !ds.Eof(); ds.Next()) {
            const QString text = category.AsString();
            const QString renamed = RenamedCategoryText(text, change.from, change.to);
            if (renamed == text) {
                continue;
            }
            if (renamed.size() > kCategoryTextSize) {
                throw EError(
                    QCoreApplication::translate(
                        "Categories", "Категории записи «%1» были бы длиннее %2 символов: «%3».")
                        .arg(ds.FieldByName(QStringLiteral("URL")).AsString())
                        .arg(kCategoryTextSize)
                        .arg(renamed));
            }
            updates.append({key.AsString(), text});
        }
        ds.Close();
        if (BeforeWriting) {
            BeforeWriting();
        }
        for (const auto& u : updates) {
            written += writeRenamed(u.first, u.second, change) ? 1 : 0;
        }
    }
    return written;
}

bool TCategoryRecords::writeRenamed(const QString& key, QString text,
                                    const TCategoryChange& change) {
    // Written only over the text it was made from: another user's change to the record since
    // (another server session commits between the reading and the writing) is read again
    // and renamed in its turn, never written over.
    constexpr int kRereads = 8;
    for (int read = 0;; ++read) {
        const QString renamed = RenamedCategoryText(text, change.from, change.to);
        if (renamed == text) {
            return false;
        }
        if (renamed.size() > kCategoryTextSize) {
            throw EError(
                QCoreApplication::translate(
                    "Categories", "Категории записи «%1» были бы длиннее %2 символов: «%3».")
                    .arg(key)
                    .arg(kCategoryTextSize)
                    .arg(renamed));
        }
        if (m_connection.Execute(
                QStringLiteral("UPDATE SubjectURLs SET Category = :C "
                               "WHERE SubjectURLID = :ID AND Category = :OLD"),
                {{QStringLiteral("C"), renamed.isEmpty() ? QVariant() : QVariant(renamed)},
                 {QStringLiteral("ID"), key},
                 {QStringLiteral("OLD"), text}}) == 1) {
            return true;
        }
        if (read >= kRereads) {
            throw EConflictError(
                QCoreApplication::translate("Categories",
                                            "Категории записи %1 всё время меняет другой "
                                            "пользователь; повторите переименование.")
                    .arg(key));
        }
        TDataSet now;
        now.SetConnection(&m_connection);
        now.SetCommandText(
            QStringLiteral("SELECT Category FROM SubjectURLs WHERE SubjectURLID = :ID"));
        now.Parameters().ParamByName(QStringLiteral("ID")).SetValue(key);
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
