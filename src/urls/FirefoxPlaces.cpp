#include "urls/FirefoxPlaces.h"

#include "platform/Errors.h"
#include "urls/BookmarkDescription.h"
#include "urls/FolderChain.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <sqlite3.h>

namespace {

const char kTagsRoot[] = "tags________";

struct TFolder {
    qint64 parent = 0;
    QString title;
    QString guid;
};

// The database of a copy, closed however the reading ends.
class TPlaces final {
public:
    explicit TPlaces(const QString& placesFile) : m_name(placesFile) {
        // The browser may hold the database open and locked: its copy is read instead.
        const QString file = m_copy.filePath(QStringLiteral("places.sqlite"));
        if (!m_copy.isValid() || !QFile::copy(placesFile, file)) {
            throw EError(QCoreApplication::translate("LinkImport", "Не удалось прочитать файл %1")
                             .arg(placesFile));
        }
        QFile::copy(placesFile + QStringLiteral("-wal"), file + QStringLiteral("-wal"));
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK) {
            throw failure();
        }
    }
    ~TPlaces() {
        sqlite3_finalize(m_st);
        sqlite3_close(m_db);
    }
    TPlaces(const TPlaces&) = delete;
    TPlaces& operator=(const TPlaces&) = delete;

    void Prepare(const char* sql) {
        sqlite3_finalize(m_st);
        m_st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &m_st, nullptr) != SQLITE_OK) {
            throw failure();
        }
    }
    bool Step() {
        const int rc = sqlite3_step(m_st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            throw failure();
        }
        return rc == SQLITE_ROW;
    }
    qint64 Int(int column) const { return sqlite3_column_int64(m_st, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_st, column) == SQLITE_NULL; }
    QString Text(int column) const {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_st, column)),
                                 sqlite3_column_bytes(m_st, column));
    }

private:
    EError failure() const {
        const QString reason = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory");
        return EError(
            QCoreApplication::translate("LinkImport", "Не удалось прочитать файл %1").arg(m_name) +
            QStringLiteral("\n") + reason);
    }

    QString m_name;
    QTemporaryDir m_copy;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_st = nullptr;
};

// The folders of the bookmarks: the names that lead to each, made once per folder and
// shared by its bookmarks, however deep it lies.
class TFolderNames final {
public:
    explicit TFolderNames(QHash<qint64, TFolder> folders) : m_folders(std::move(folders)) {}

    enum TKind { Bookmark, Tag, TooDeep };
    // What a bookmark of the folder is: a bookmark (with the folder's names), a tag (the
    // folder lies below the tags root), or one whose names would pass the budget of
    // TFolderChain (no names).
    TKind Of(qint64 folder, QStringList& names) {
        names.clear();
        const auto known = m_names.constFind(folder);
        if (known != m_names.constEnd()) {
            names = known.value();
            return m_tagged.contains(folder) ? Tag : Bookmark;
        }
        QStringList reversed;
        QSet<qint64> seen;
        bool tagged = false;
        qint64 id = folder;
        QStringList above;
        while (m_folders.contains(id) && !seen.contains(id)) {
            seen.insert(id);
            const auto memo = m_names.constFind(id);
            if (memo != m_names.constEnd()) {
                above = memo.value();
                tagged = m_tagged.contains(id);
                break;
            }
            const TFolder& f = m_folders[id];
            if (f.guid == QLatin1String(kTagsRoot)) {
                tagged = true;
                break;
            }
            // The roots (menu, toolbar, other, mobile) hang below the one unnamed root.
            if (f.parent == 0 || !m_folders.contains(f.parent) || m_folders[f.parent].parent == 0) {
                break;
            }
            reversed.append(f.title);
            id = f.parent;
        }
        if (tagged) {
            m_names.insert(folder, QStringList());
            m_tagged.insert(folder);
            return Tag;
        }
        if (m_handedOut + above.size() + reversed.size() > TFolderChain::DefaultBudget) {
            return TooDeep;
        }
        m_handedOut += above.size() + reversed.size();
        names = above;
        for (auto it = reversed.crbegin(); it != reversed.crend(); ++it) {
            names.append(*it);
        }
        m_names.insert(folder, names);
        return Bookmark;
    }

private:
    qsizetype m_handedOut = 0;
    QHash<qint64, TFolder> m_folders;
    QHash<qint64, QStringList> m_names;
    QSet<qint64> m_tagged;
};

}  // namespace

QVector<TImportedLink> ReadFirefoxPlaces(const QString& placesFile) {
    TPlaces places(placesFile);
    QHash<qint64, TFolder> folders;
    places.Prepare("SELECT id, parent, title, guid FROM moz_bookmarks WHERE type = 2");
    while (places.Step()) {
        folders.insert(places.Int(0), {places.Int(1), places.Text(2), places.Text(3)});
    }
    // The tags of an address: bookmarks of it in the folders below the tags root, each
    // folder named after its tag.
    QHash<qint64, QStringList> tags;
    places.Prepare(
        "SELECT t.fk, tf.title FROM moz_bookmarks t JOIN moz_bookmarks tf ON tf.id = t.parent "
        "JOIN moz_bookmarks tr ON tr.id = tf.parent "
        "WHERE t.type = 1 AND tf.type = 2 AND tr.guid = 'tags________' AND t.fk IS NOT NULL "
        "ORDER BY t.fk, tf.title, tf.id");
    while (places.Step()) {
        tags[places.Int(0)].append(places.Text(1));
    }
    TFolderNames names(std::move(folders));
    QVector<TImportedLink> out;
    places.Prepare(
        "SELECT b.parent, b.title, p.url, b.fk FROM moz_bookmarks b "
        "JOIN moz_places p ON p.id = b.fk WHERE b.type = 1 ORDER BY b.parent, b.position");
    while (places.Step()) {
        TImportedLink link;
        const TFolderNames::TKind kind = names.Of(places.Int(0), link.Folders);
        if (kind == TFolderNames::Tag) {
            continue;  // a tag of an address, not a bookmark
        }
        if (kind == TFolderNames::TooDeep) {
            link.SkipReason =
                QCoreApplication::translate("LinkImport", "папки вложены слишком глубоко");
        }
        link.URL = places.Text(2);
        link.Description = BookmarkDescription(places.Text(1), QString());
        link.Tags = tags.value(places.Int(3));
        out.append(std::move(link));
    }
    places.Prepare("SELECT count(*) FROM moz_bookmarks WHERE type = 3");
    const qint64 separators = places.Step() ? places.Int(0) : 0;
    for (qint64 i = 0; i < separators; ++i) {
        TImportedLink separator;
        separator.SkipReason = SeparatorSkipReason();
        out.append(separator);
    }
    return out;
}
