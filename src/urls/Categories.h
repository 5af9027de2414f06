#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class TConnection;
class TDataSet;

// A record's categories are one text of names separated by "; ". Names compare without
// regard to letter case everywhere, as the category list's own rule has it.

// Names of a category text: split at ";" and line breaks, trimmed, empty ones dropped.
QStringList SplitCategoryNames(const QString& text);

// The declared size of a text column of SubjectURLs; INT_MAX for one without a size.
int URLFieldSize(TConnection& connection, const QString& column);
// The declared size of SubjectURLs.Category: 4,000 characters in catalogues made now, 255
// in older ones; INT_MAX for a text without a size. Whatever writes a record's categories
// holds them to it, refusing the record rather than cutting a name.
int CategoryFieldSize(TConnection& connection);
// The refusal of a record (by its address; an empty one is a new record) whose categories
// would be longer than the field holds.
QString CategoriesTooLongMessage(const QString& url, int length, int size);
// Names told apart as the list tells them apart, found in constant time.
class TNameSet final {
public:
    bool contains(const QString& name) const { return m_folded.contains(name.toCaseFolded()); }
    // False when the name was there already.
    bool insert(const QString& name) {
        const QString folded = name.toCaseFolded();
        if (m_folded.contains(folded)) {
            return false;
        }
        m_folded.insert(folded);
        return true;
    }

private:
    QSet<QString> m_folded;
};

// Whether names holds name (letter case aside).
bool HasCategoryName(const QStringList& names, const QString& name);
// The text with from replaced by to as a whole name, each name once (the first spelling
// stays); an empty to removes the name. A text without from comes back unchanged.
QString RenamedCategoryText(const QString& text, const QString& from, const QString& to);
// The Jet SQL condition that field's list of names holds name as a whole item: not the
// whole text, not a part of another name, exactly the names SplitCategoryNames reads.
// Letter case is ignored as the engine ignores it.
QString CategoryItemCondition(const QString& field, const QString& name);

// One change of a list name that the records follow: to empty means the name leaves them.
struct TCategoryChange {
    QString from;
    QString to;
};

// A record whose categories a change would make longer than the field holds.
struct TCategoryRefusal {
    QString key;
    QString url;
    QString from;    // the name it would not take the change of
    int length = 0;  // the length its categories would have
};

// The categories of the records in SubjectURLs, kept in step with the shared list.
class TCategoryRecords final {
public:
    explicit TCategoryRecords(TConnection& connection) : m_connection(connection) {}

    // How many records carry the name once the pending changes, not yet written, are made.
    int RecordsUsing(const QString& name, const QVector<TCategoryChange>& pending = {});
    // The records that could not take the changes, made in turn, because their categories
    // would grow past the field; each once, at the first change it cannot take. Nothing is
    // written.
    QVector<TCategoryRefusal> Refusals(const QVector<TCategoryChange>& changes);
    // Applies each change in turn to every record carrying its name; returns the records
    // written. The caller holds the transaction. A record of leftOut (keys) that cannot take a
    // change keeps the old name; any other one whose text would grow past the field stops
    // it all with an error that names the record.
    int Apply(const QVector<TCategoryChange>& changes, const QSet<QString>& leftOut = {});
    // Every distinct name the records use.
    QStringList UsedNames();
    // The declared size of the records' categories (CategoryFieldSize).
    int FieldSize();

    // Called after a change's records were read and before they are written: a test
    // changes one there, as another user on the server could.
    std::function<void()> BeforeWriting;

private:
    struct TRead {
        QString key;
        QString url;
        QString text;
    };
    // The records whose categories may hold the name, as they are now.
    QVector<TRead> candidates(const QString& name);
    // False when the record was left as it was: nothing to change, deleted meanwhile, or of
    // leftOut and now too long for the change.
    bool writeRenamed(const TRead& read, const TCategoryChange& change, bool mayLeave);

    TConnection& m_connection;
    int m_fieldSize = 0;  // read at first need
};

// Adds to the cached category list (field CategoryName) each of the names it lacks and
// writes the list; returns the names added. Names already there in any letter case, and
// names given twice, are added once or not at all.
QStringList AddMissingCategories(TDataSet& list, const QStringList& names);
// Adds to the cached category list, as pending rows its user writes or cancels, each name
// the records use that it lacks; returns them. A catalogue whose records came before the list
// kept up with them (an older program, another program) offers its names all the same.
QStringList OfferUsedCategories(TDataSet& list, TCategoryRecords& records);
