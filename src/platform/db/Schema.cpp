#include "platform/db/Schema.h"

#include "platform/FileNames.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/RowStore.h"
#include "platform/db/SqliteProvider.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {
// A braced upper-case version 4 GUID, computed by the engine itself so that any client
// inserting a row without a key gets one.
const char* const kGuidDefault =
    "('{' || hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||"
    " substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + (abs(random()) % 4), 1) ||"
    " substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)) || '}')";
}  // namespace

QString SqliteCatalogueSchema() {
    return QStringLiteral(
               "CREATE TABLE SubjectURLs ("
               " SubjectURLID GUID NOT NULL PRIMARY KEY DEFAULT %1,"
               " SubjectID GUID NULL,"
               " Description TEXT(255) COLLATE NOCASE,"
               " URL TEXT(2048) COLLATE NOCASE,"
               " Visited BOOLEAN NOT NULL DEFAULT 0,"
               " Category TEXT(4000) COLLATE NOCASE);\n"
               "CREATE TABLE CategoryList ("
               " CategoryID INTEGER PRIMARY KEY,"
               " CategoryName TEXT(255) COLLATE NOCASE);\n"
               "CREATE VIEW vCategoryList AS SELECT CategoryName FROM CategoryList;\n"
               "CREATE TRIGGER vCategoryList_insert INSTEAD OF INSERT ON vCategoryList BEGIN"
               " INSERT INTO CategoryList(CategoryName) VALUES (NEW.CategoryName); END;\n"
               "CREATE TRIGGER vCategoryList_update INSTEAD OF UPDATE ON vCategoryList BEGIN"
               " UPDATE CategoryList SET CategoryName = NEW.CategoryName WHERE rowid ="
               " (SELECT rowid FROM CategoryList WHERE CategoryName IS OLD.CategoryName LIMIT 1);"
               " END;\n"
               "CREATE TRIGGER vCategoryList_delete INSTEAD OF DELETE ON vCategoryList BEGIN"
               " DELETE FROM CategoryList WHERE rowid ="
               " (SELECT rowid FROM CategoryList WHERE CategoryName IS OLD.CategoryName LIMIT 1);"
               " END;\n")
               .arg(QLatin1String(kGuidDefault)) +
           LinkHealthSchema(TSqlDialect::SQLite);
}

namespace {

// Moves the finished file to its name unless something took the name meanwhile.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a hard link fails just the same on a taken name.
    if (::link(from.constData(), to.constData()) != 0) {
        return false;
    }
    ::unlink(from.constData());
    return true;
}

bool syncPath(const QByteArray& path, int flags) {
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The hidden file a catalogue is built in, named after its creator's process, so that a
// later creation can clear what a killed one left.
QString buildingName(const QFileInfo& target, qint64 pid) {
    return target.absolutePath() + QStringLiteral("/.") + target.fileName() +
           QStringLiteral(".%1.creating").arg(pid);
}

void removeLeftovers(const QFileInfo& target) {
    const QString prefix = QStringLiteral(".") + target.fileName() + QLatin1Char('.');
    const QDir folder(target.absolutePath());
    for (const QString& name : folder.entryList({prefix + QStringLiteral("*.creating*")},
                                                QDir::Files | QDir::Hidden | QDir::System)) {
        bool ok = false;
        const qint64 pid = name.mid(prefix.size()).section(QLatin1Char('.'), 0, 0).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            QFile::remove(folder.filePath(name));
        }
    }
}

// Removes the file being built and its journals on every way out.
class TBuildingFile final {
public:
    explicit TBuildingFile(QString name) : m_name(std::move(name)) {}
    ~TBuildingFile() {
        if (!m_kept) {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
                QFile::remove(m_name + QLatin1String(suffix));
            }
        }
    }
    TBuildingFile(const TBuildingFile&) = delete;
    TBuildingFile& operator=(const TBuildingFile&) = delete;
    void keep() { m_kept = true; }

private:
    QString m_name;
    bool m_kept = false;
};

}  // namespace

// Built under a hidden name in the same folder and renamed into place complete: a kill
// at any moment leaves either no catalogue or a whole one.
void CreateSqliteCatalogue(const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.exists() || info.isSymLink()) {
        throw EDatabaseError(
            QCoreApplication::translate("Schema", "Файл %1 уже существует.").arg(fileName));
    }
    const QString unreadable = UnreadablePathProblem(fileName);
    if (!unreadable.isEmpty()) {
        throw EDatabaseError(unreadable);
    }
    MakeFolders(info.absolutePath());
    removeLeftovers(info);
    const QString building = buildingName(info, QCoreApplication::applicationPid());
    const QByteArray temp = QFile::encodeName(building);
    const int fd = ::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw EDatabaseError(
            QCoreApplication::translate("Schema", "Не удалось создать файл %1.\n%2")
                .arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
    }
    ::close(fd);
    TBuildingFile guard(building);
    sqlite3* db = nullptr;
    QString error;
    if (sqlite3_open_v2(temp.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        TSqliteProvider::RegisterTextRules(db);
        const QByteArray schema =
            (QStringLiteral("PRAGMA journal_mode=WAL;PRAGMA synchronous=FULL;BEGIN;") +
             SqliteCatalogueSchema() + QStringLiteral("COMMIT;PRAGMA wal_checkpoint(TRUNCATE);"))
                .toUtf8();
        char* message = nullptr;
        if (sqlite3_exec(db, schema.constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            error = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
        }
        sqlite3_free(message);
    } else {
        error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    // Closing the last connection folds the journal into the file and removes it.
    if (sqlite3_close(db) != SQLITE_OK && error.isEmpty()) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    if (error.isEmpty() && !syncPath(temp, O_RDONLY)) {
        error = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (error.isEmpty() && !renameNoReplace(temp, target)) {
        error = errno == EEXIST
                    ? QCoreApplication::translate("Schema", "Файл %1 уже существует.").arg(fileName)
                    : QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!error.isEmpty()) {
        throw EDatabaseError(
            QCoreApplication::translate("Schema", "Не удалось создать базу данных %1.\n%2")
                .arg(fileName, error));
    }
    guard.keep();
    syncPath(QFile::encodeName(info.absolutePath()), O_RDONLY | O_DIRECTORY);
}

QString PostgresCatalogueSchema() {
    // citext: "=" and LIKE ignore case as Jet's do; the server's character type folds
    // letters. A CHECK holds each text column to its Jet length, which is also where the
    // program reads that length back.
    // Names are quoted so that the server keeps their spelling, as the embedded engine does.
    return QStringLiteral(
               "CREATE EXTENSION IF NOT EXISTS citext;\n"
               "CREATE DOMAIN guid AS varchar(38);\n"
               "CREATE TABLE \"SubjectURLs\" ("
               " \"SubjectURLID\" guid NOT NULL PRIMARY KEY"
               " DEFAULT ('{' || upper(gen_random_uuid()::text) || '}'),"
               " \"SubjectID\" guid NULL,"
               " \"Description\" citext CHECK (char_length(\"Description\") <= 255),"
               " \"URL\" citext CHECK (char_length(\"URL\") <= 2048),"
               " \"Visited\" boolean NOT NULL DEFAULT false,"
               " \"Category\" citext CHECK (char_length(\"Category\") <= 4000));\n"
               "CREATE TABLE \"CategoryList\" ("
               " \"CategoryID\" serial PRIMARY KEY,"
               " \"CategoryName\" citext CHECK (char_length(\"CategoryName\") <= 255));\n"
               "CREATE VIEW \"vCategoryList\" AS SELECT \"CategoryName\" FROM "
               "\"CategoryList\";\n") +
           LinkHealthSchema(TSqlDialect::PostgreSQL);
}

void CreateServerCatalogue(TConnection& connection) {
    if (connection.Dialect() != TSqlDialect::PostgreSQL) {
        throw EDatabaseError(QCoreApplication::translate(
            "Schema", "Таблицы на сервере создаются только в базе данных PostgreSQL."));
    }
    TRowStore rows;
    connection.Provider()
        .query(QStringLiteral("SELECT relname FROM pg_class c JOIN pg_namespace n"
                              " ON n.oid = c.relnamespace WHERE n.nspname = current_schema()"
                              " AND lower(relname) IN ('subjecturls', 'categorylist',"
                              " 'vcategorylist')"),
               {})
        ->fetchAll(rows);
    if (rows.size() > 0) {
        throw EDatabaseError(QCoreApplication::translate(
            "Schema", "В базе данных уже есть таблицы каталога: она не пустая."));
    }
    TTransaction transaction(connection);
    connection.Provider().execute(PostgresCatalogueSchema(), {});
    transaction.Commit();
}

QString CatalogueName(const TConnection& connection) {
    const TConnectionString cs(connection.ConnectionString());
    const QString source = cs.value(QStringLiteral("Data Source"));
    const std::optional<TServerLink> link =
        connection.Connected() ? connection.Provider().serverLink() : std::nullopt;
    if (link) {
        // As the server names itself: a service file may have named it, not the string.
        const char* security =
            link->hostVerified
                ? QT_TRANSLATE_NOOP("Schema", "соединение зашифровано, сервер проверен")
            : link->verified
                ? QT_TRANSLATE_NOOP(
                      "Schema", "соединение зашифровано, сертификат сервера проверен без его имени")
            : link->encrypted
                ? QT_TRANSLATE_NOOP("Schema", "соединение зашифровано, сервер не проверен")
                : QT_TRANSLATE_NOOP("Schema", "соединение не зашифровано");
        return QCoreApplication::translate("Schema", "База данных %1 на сервере %2 (%3)")
            .arg(link->database, link->host, QCoreApplication::translate("Schema", security));
    }
    if (cs.provider().compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) {
        return QCoreApplication::translate("Schema", "База данных %1 на сервере %2")
            .arg(cs.value(QStringLiteral("Initial Catalog")), source);
    }
    return QCoreApplication::translate("Schema", "Файл базы данных: %1").arg(source);
}

namespace {

// The last check's verdict lives with the record, so that the view's plain query shows,
// sorts and filters it; the history is a table of its own. A deleted record takes its
// checks with it whichever program deletes it: a trigger on both engines (on the server
// rather than a foreign key, so that other tools stay free to drop and make the table of
// records anew).
struct TLinkColumn {
    const char* name;
    const char* sqlite;
    const char* server;
};
const TLinkColumn kLinkColumns[] = {
    {"LinkStatus", "TEXT(20) COLLATE NOCASE", "citext CHECK (char_length(\"LinkStatus\") <= 20)"},
    {"LinkCode", "INTEGER", "integer"},
    {"LinkChecked", "DATETIME", "timestamp"},
};

QString addColumn(TSqlDialect dialect, const TLinkColumn& c) {
    return dialect == TSqlDialect::PostgreSQL
               ? QStringLiteral("ALTER TABLE \"SubjectURLs\" ADD COLUMN \"%1\" %2;\n")
                     .arg(QLatin1String(c.name), QLatin1String(c.server))
               : QStringLiteral("ALTER TABLE SubjectURLs ADD COLUMN %1 %2;\n")
                     .arg(QLatin1String(c.name), QLatin1String(c.sqlite));
}

QString checksTable(TSqlDialect dialect) {
    if (dialect == TSqlDialect::PostgreSQL) {
        return QStringLiteral(
            "CREATE TABLE \"LinkChecks\" ("
            " \"CheckID\" serial PRIMARY KEY,"
            " \"SubjectURLID\" guid NOT NULL,"
            " \"CheckedAt\" timestamp NOT NULL,"
            " \"Status\" citext NOT NULL CHECK (char_length(\"Status\") <= 20),"
            " \"HTTPCode\" integer,"
            " \"FinalURL\" citext CHECK (char_length(\"FinalURL\") <= 2048),"
            " \"ErrorText\" citext CHECK (char_length(\"ErrorText\") <= 255));\n"
            "CREATE INDEX \"LinkChecks_Record\" ON \"LinkChecks\" (\"SubjectURLID\", "
            "\"CheckedAt\");\n");
    }
    return QStringLiteral(
        "CREATE TABLE LinkChecks ("
        " CheckID INTEGER PRIMARY KEY,"
        " SubjectURLID GUID NOT NULL,"
        " CheckedAt DATETIME NOT NULL,"
        " Status TEXT(20) NOT NULL COLLATE NOCASE,"
        " HTTPCode INTEGER,"
        " FinalURL TEXT(2048) COLLATE NOCASE,"
        " ErrorText TEXT(255) COLLATE NOCASE);\n"
        "CREATE INDEX LinkChecks_Record ON LinkChecks (SubjectURLID, CheckedAt);\n");
}

QString deleteTrigger(TSqlDialect dialect) {
    if (dialect == TSqlDialect::PostgreSQL) {
        return QStringLiteral(
            "CREATE OR REPLACE FUNCTION \"SubjectURLs_delete_checks\"() RETURNS trigger"
            " LANGUAGE plpgsql AS $$ BEGIN"
            " DELETE FROM \"LinkChecks\" WHERE \"SubjectURLID\" = OLD.\"SubjectURLID\";"
            " RETURN OLD; END $$;\n"
            "CREATE TRIGGER \"SubjectURLs_delete_checks\" AFTER DELETE ON \"SubjectURLs\""
            " FOR EACH ROW EXECUTE FUNCTION \"SubjectURLs_delete_checks\"();\n");
    }
    return QStringLiteral(
        "CREATE TRIGGER SubjectURLs_delete_checks AFTER DELETE ON SubjectURLs BEGIN"
        " DELETE FROM LinkChecks WHERE SubjectURLID = OLD.SubjectURLID; END;\n");
}

// A check belongs to the address it checked: a record given another address starts with no
// status and no history, whoever changes it (a letter case of its own is another address).
QString addressTrigger(TSqlDialect dialect) {
    if (dialect == TSqlDialect::PostgreSQL) {
        return QStringLiteral(
            "CREATE OR REPLACE FUNCTION \"SubjectURLs_address_checks\"() RETURNS trigger"
            " LANGUAGE plpgsql AS $$ BEGIN"
            " DELETE FROM \"LinkChecks\" WHERE \"SubjectURLID\" = OLD.\"SubjectURLID\";"
            " NEW.\"LinkStatus\" := NULL; NEW.\"LinkCode\" := NULL; NEW.\"LinkChecked\" := NULL;"
            " RETURN NEW; END $$;\n"
            "CREATE TRIGGER \"SubjectURLs_address_checks\" BEFORE UPDATE OF \"URL\" ON "
            "\"SubjectURLs\" FOR EACH ROW WHEN (OLD.\"URL\"::text IS DISTINCT FROM "
            "NEW.\"URL\"::text) EXECUTE FUNCTION \"SubjectURLs_address_checks\"();\n");
    }
    return QStringLiteral(
        "CREATE TRIGGER SubjectURLs_address_checks AFTER UPDATE OF URL ON SubjectURLs"
        " WHEN OLD.URL IS NOT NEW.URL COLLATE BINARY BEGIN"
        " DELETE FROM LinkChecks WHERE SubjectURLID = OLD.SubjectURLID;"
        " UPDATE SubjectURLs SET LinkStatus = NULL, LinkCode = NULL, LinkChecked = NULL"
        " WHERE SubjectURLID = NEW.SubjectURLID; END;\n");
}

// Whether a statement in the engine's own dialect gives at least one row; false on error.
bool hasRow(TConnection& connection, const QString& sql) {
    try {
        TRowStore rows;
        connection.Provider().query(sql, {})->fetchAll(rows);
        return rows.size() > 0;
    } catch (const EDatabaseError&) {
        return false;
    }
}

bool answers(TConnection& connection, const QString& jetSql) {
    try {
        TRowStore rows;
        connection.Provider().query(connection.Translate(jetSql).sql, {})->fetchAll(rows);
        return true;
    } catch (const EDatabaseError&) {
        return false;
    }
}

}  // namespace

QString LinkHealthSchema(TSqlDialect dialect) {
    QString sql;
    for (const TLinkColumn& c : kLinkColumns) {
        sql += addColumn(dialect, c);
    }
    return sql + checksTable(dialect) + deleteTrigger(dialect) + addressTrigger(dialect);
}

// Each piece is looked for first, so that a catalogue another tool has partly changed (a
// table of records made anew) gets just what it lacks, and one that has everything is
// not written to at all.
void UpgradeCatalogue(TConnection& connection) {
    const TSqlDialect dialect = connection.Dialect();
    QString sql;
    for (const TLinkColumn& c : kLinkColumns) {
        if (!answers(connection, QStringLiteral("SELECT %1 FROM SubjectURLs WHERE 1 = 0")
                                     .arg(QLatin1String(c.name)))) {
            sql += addColumn(dialect, c);
        }
    }
    if (!answers(connection, QStringLiteral("SELECT CheckID FROM LinkChecks WHERE 1 = 0"))) {
        sql += checksTable(dialect);
    }
    const bool pg = dialect == TSqlDialect::PostgreSQL;
    for (const auto& [name, trigger] :
         {std::pair{QStringLiteral("SubjectURLs_delete_checks"), deleteTrigger(dialect)},
          std::pair{QStringLiteral("SubjectURLs_address_checks"), addressTrigger(dialect)}}) {
        if (!hasRow(connection, pg ? QStringLiteral("SELECT 1 FROM pg_trigger WHERE tgname = "
                                                    "'%1' AND tgrelid = "
                                                    "to_regclass('\"SubjectURLs\"')")
                                         .arg(name)
                                   : QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = "
                                                    "'trigger' AND name = '%1'")
                                         .arg(name))) {
            sql += trigger;
        }
    }
    if (sql.isEmpty()) {
        return;
    }
    try {
        TTransaction transaction(connection);
        connection.Provider().execute(sql, {});
        transaction.Commit();
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(
            QCoreApplication::translate("Schema",
                                        "В базу данных не удалось добавить таблицу проверок "
                                        "ссылок LinkChecks.\n%1\n%2")
                .arg(e.message(), CatalogueName(connection)));
    }
}

void CheckCatalogue(TConnection& connection) {
    const struct {
        const char* object;
        const char* message;
    } required[] = {
        {"SubjectURLs", QT_TRANSLATE_NOOP("Schema", "В базе данных нет таблицы SubjectURLs.")},
        {"vCategoryList", QT_TRANSLATE_NOOP("Schema", "В базе данных нет запроса vCategoryList.")},
    };
    for (const auto& r : required) {
        try {
            TRowStore rows;
            const TTranslatedSql sql = connection.Translate(
                QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(QLatin1String(r.object)));
            connection.Provider().query(sql.sql, {})->fetchAll(rows);
        } catch (const EDatabaseError&) {
            throw EDatabaseError(QCoreApplication::translate("Schema", r.message) +
                                 QLatin1Char('\n') + CatalogueName(connection));
        }
    }
}
