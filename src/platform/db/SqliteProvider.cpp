#include "platform/db/SqliteProvider.h"

#include "platform/FileNames.h"
#include "platform/SqliteStatement.h"
#include "platform/db/FieldTypes.h"
#include "platform/db/RowStore.h"
#include "platform/db/TextFold.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {
// Null, Boolean (0/1), integers, doubles, byte arrays as blobs, anything else as text;
// dates as day numbers.
void bindValue(sqlite3_stmt* stmt, int i, const QVariant& v) {
    switch (StorageClassOf(v)) {
        case TStorageClass::Null:
            sqlite3_bind_null(stmt, i);
            return;
        case TStorageClass::Integer:
            sqlite3_bind_int64(
                stmt, i, v.typeId() == QMetaType::Bool ? (v.toBool() ? 1 : 0) : v.toLongLong());
            return;
        case TStorageClass::Real:
            sqlite3_bind_double(stmt, i, v.toDouble());
            return;
        case TStorageClass::Date:
            sqlite3_bind_double(stmt, i, DayNumber(v.toDate()));
            return;
        case TStorageClass::DateTime:
            sqlite3_bind_double(stmt, i, DayNumber(v.toDateTime()));
            return;
        case TStorageClass::Blob: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(stmt, i, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        case TStorageClass::Text: {
            const QByteArray u = v.toString().toUtf8();
            sqlite3_bind_text(stmt, i, u.constData(), u.size(), SQLITE_TRANSIENT);
            return;
        }
    }
}

// A catalogue locked by another program is waited for this long, then its error shown.
constexpr int kBusyTimeoutMs = 5000;

// The engine's words with the file they are about: "database disk image is malformed"
// alone does not say which catalogue.
QString engineError(sqlite3* db) {
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    const char* file = sqlite3_db_filename(db, "main");
    if (!file || !*file) {
        return message;
    }
    return QCoreApplication::translate("TSqliteProvider", "%1\nФайл базы данных: %2")
        .arg(message, QFile::decodeName(file));
}

// Whether running the statement commits a transaction: COMMIT or END, or a statement that
// writes while no transaction is open. (The engine counts COMMIT as read-only.)
bool committing(sqlite3_stmt* statement, bool autocommit) {
    if (autocommit) {
        return sqlite3_stmt_readonly(statement) == 0;
    }
    const char* sql = sqlite3_sql(statement);
    while (sql && (*sql == ' ' || *sql == '\t' || *sql == '\n' || *sql == '\r')) {
        ++sql;
    }
    return sql && (qstrnicmp(sql, "COMMIT", 6) == 0 || qstrnicmp(sql, "END", 3) == 0);
}

bool isBusy(int code) {
    return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
}

int nocaseCompare(void*, int na, const void* a, int nb, const void* b) {
    return CompareFolded(static_cast<const char*>(a), static_cast<std::size_t>(na),
                         static_cast<const char*>(b), static_cast<std::size_t>(nb));
}

// A LIKE pattern as the engine keeps it for a statement: folded, and, when it is the
// quick filter's "%text%", that text folded as UTF-8 for a byte search.
struct TLikePattern {
    std::u32string folded;
    std::string contains;
    TFoldedNeedle needle;  // the same text, when rows can be searched without folding them
};

void deletePattern(void* p) {
    delete static_cast<TLikePattern*>(p);
}

TLikePattern* makePattern(const char* s, std::size_t n, char32_t escape) {
    auto* pattern = new TLikePattern;
    FoldUtf8(s, n, pattern->folded);
    const std::u32string& f = pattern->folded;
    if (f.size() < 3 || f.front() != U'%' || f.back() != U'%') {
        return pattern;
    }
    const std::u32string inner = f.substr(1, f.size() - 2);
    for (const char32_t c : inner) {
        if (c == U'%' || c == U'_' || (escape && c == escape)) {
            return pattern;
        }
    }
    AppendEncoded(inner, pattern->contains);
    pattern->needle = MakeFoldedNeedle(inner);
    return pattern;
}

// hasitem(text, item), the Jet dialect's "text HASITEM item": whether the text, split at ";"
// and line breaks into pieces trimmed of the characters up to the space, holds the item,
// letter case aside. A null text holds nothing, so NOT gives true for it as on the server.
void hasItemFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    // Bytes below 0x80 are whole characters in UTF-8: the pieces are found byte by byte.
    const auto* item = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const auto itemSize = static_cast<std::size_t>(sqlite3_value_bytes(argv[1]));
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto n = static_cast<std::size_t>(sqlite3_value_bytes(argv[0]));
    const auto blank = [text](std::size_t i) {
        return static_cast<unsigned char>(text[i]) <= 0x20;
    };
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        if (i < n && text[i] != ';' && text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        std::size_t b = begin;
        std::size_t e = i;
        while (b < e && blank(b)) {
            ++b;
        }
        while (e > b && blank(e - 1)) {
            --e;
        }
        if (e > b && CompareFolded(text + b, e - b, item, itemSize) == 0) {
            sqlite3_result_int(ctx, 1);
            return;
        }
        begin = i + 1;
    }
    sqlite3_result_int(ctx, 0);
}

// like(pattern, text[, escape]): the engine calls LIKE this way round.
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        std::u32string e;
        const auto* es = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        FoldUtf8(es, static_cast<std::size_t>(sqlite3_value_bytes(argv[2])), e);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e[0];
    }
    // The pattern is folded once per statement and kept by the engine.
    auto* pattern = static_cast<TLikePattern*>(sqlite3_get_auxdata(ctx, 0));
    std::unique_ptr<TLikePattern> local;
    if (!pattern) {
        const auto* ps = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        local.reset(
            makePattern(ps, static_cast<std::size_t>(sqlite3_value_bytes(argv[0])), escape));
        pattern = local.get();
    }
    const auto* ts = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const auto tn = static_cast<std::size_t>(sqlite3_value_bytes(argv[1]));
    bool matched;
    if (pattern->needle.usable) {
        matched = ContainsFolded(ts, tn, pattern->needle);
    } else if (!pattern->contains.empty()) {
        thread_local std::string text;
        text.clear();
        AppendFolded(ts, tn, text);
        matched = memmem(text.data(), text.size(), pattern->contains.data(),
                         pattern->contains.size()) != nullptr;
    } else {
        thread_local std::u32string text;
        text.clear();
        FoldUtf8(ts, tn, text);
        matched = LikeMatch(text, pattern->folded, escape);
    }
    if (local) {
        // The engine owns it from here, and may drop it at once.
        sqlite3_set_auxdata(ctx, 0, local.release(), deletePattern);
    }
    sqlite3_result_int(ctx, matched ? 1 : 0);
}

// A braced upper-case GUID, for tables whose key the program generates.
void newGuidFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    const QByteArray g = QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toLatin1();
    sqlite3_result_text(ctx, g.constData(), g.size(), SQLITE_TRANSIENT);
}

class TSqliteCursor final : public TDbCursor {
public:
    TSqliteCursor(sqlite3* db, const QString& sql, const QVariantList& params)
        : m_db(db), m_statement(db, sql) {
        if (!m_statement.ok()) {
            throw EDatabaseError(engineError(db));
        }
        for (int i = 0; i < params.size(); ++i) {
            bindValue(m_statement.get(), i + 1, params.at(i));
        }
        sqlite3_stmt* st = m_statement.get();
        const int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
            TColumnInfo c;
            c.name = QString::fromUtf8(sqlite3_column_name(st, i));
            const char* decl = sqlite3_column_decltype(st, i);
            c.type = decl ? FieldTypeFromDeclared(QString::fromUtf8(decl), &c.size)
                          : TFieldType::Unknown;
            if (const char* t = sqlite3_column_table_name(st, i)) {
                c.table = QString::fromUtf8(t);
            }
            if (const char* o = sqlite3_column_origin_name(st, i)) {
                c.column = QString::fromUtf8(o);
            }
            m_columns << c;
        }
    }

    void fetchAll(TRowStore& store) override {
        while (!fetchSome(store, static_cast<std::size_t>(-1))) {
        }
    }

    bool fetchSome(TRowStore& store, std::size_t rows) override {
        sqlite3_stmt* st = m_statement.get();
        const int n = m_columns.size();
        if (!m_started) {
            store.reset(n);
            m_started = true;
        }
        if (m_done) {
            return true;
        }
        // Each row is written once, in place, in TRowBuilder's layout: the end offset of
        // every cell, then each cell's tag and bytes.
        m_cells.resize(static_cast<std::size_t>(n));
        const std::size_t header = static_cast<std::size_t>(n) * sizeof(std::uint32_t);
        int rc = SQLITE_ROW;
        for (std::size_t taken = 0; taken < rows && (rc = sqlite3_step(st)) == SQLITE_ROW;
             ++taken) {
            std::size_t total = header;
            for (int i = 0; i < n; ++i) {
                TCellSource& c = m_cells[static_cast<std::size_t>(i)];
                switch (sqlite3_column_type(st, i)) {
                    case SQLITE_INTEGER:
                        c.tag = TCellView::Integer;
                        c.number.integer = sqlite3_column_int64(st, i);
                        c.data = &c.number;
                        c.size = sizeof(qint64);
                        break;
                    case SQLITE_FLOAT:
                        c.tag = TCellView::Real;
                        c.number.real = sqlite3_column_double(st, i);
                        c.data = &c.number;
                        c.size = sizeof(double);
                        break;
                    case SQLITE_TEXT:
                        c.tag = TCellView::Text;
                        c.data = sqlite3_column_text(st, i);
                        c.size = static_cast<std::uint32_t>(sqlite3_column_bytes(st, i));
                        break;
                    case SQLITE_BLOB:
                        c.tag = TCellView::Blob;
                        c.data = sqlite3_column_blob(st, i);
                        c.size = static_cast<std::uint32_t>(sqlite3_column_bytes(st, i));
                        break;
                    default:
                        c.tag = TCellView::Null;
                        c.size = 0;
                        break;
                }
                total += 1 + c.size;
            }
            char* record = store.appendRecord(total);
            auto end = static_cast<std::uint32_t>(header);
            for (int i = 0; i < n; ++i) {
                const TCellSource& c = m_cells[static_cast<std::size_t>(i)];
                record[end] = static_cast<char>(c.tag);
                if (c.size > 0) {
                    std::memcpy(record + end + 1, c.data, c.size);
                }
                end += 1 + c.size;
                std::memcpy(record + static_cast<std::size_t>(i) * sizeof end, &end, sizeof end);
            }
        }
        if (rc == SQLITE_ROW) {
            return false;
        }
        if (rc != SQLITE_DONE) {
            throw EDatabaseError(engineError(m_db));
        }
        m_done = true;
        inferUnknownTypes(store);
        // The read ends here: the statement lets go of its snapshot of the file.
        sqlite3_reset(st);
        return true;
    }

private:
    // Expressions have no declared type: take the class of the first value found.
    void inferUnknownTypes(const TRowStore& store) {
        for (int c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c].type != TFieldType::Unknown) {
                continue;
            }
            TFieldType t = TFieldType::Memo;
            for (std::size_t r = 0; r < store.size(); ++r) {
                const TCellView v = store.cell(static_cast<TRowStore::RowId>(r), c);
                if (v.tag == TCellView::Integer) {
                    t = TFieldType::LargeInt;
                } else if (v.tag == TCellView::Real) {
                    t = TFieldType::Float;
                } else if (v.tag == TCellView::Blob) {
                    t = TFieldType::Blob;
                } else if (v.tag == TCellView::Text) {
                    t = TFieldType::Memo;
                } else {
                    continue;
                }
                break;
            }
            m_columns[c].type = t;
        }
    }

    sqlite3* m_db;
    TSqliteStatement m_statement;
    // One row's cells as the engine gives them, before the row is written.
    struct TCellSource {
        TCellView::Tag tag = TCellView::Null;
        union {
            qint64 integer;
            double real;
        } number{};
        const void* data = nullptr;
        std::uint32_t size = 0;
    };
    std::vector<TCellSource> m_cells;
    bool m_started = false;
    bool m_done = false;
};

}  // namespace

TSqliteProvider::~TSqliteProvider() {
    close();
}

void TSqliteProvider::THandleCloser::operator()(sqlite3* db) const {
    // Statements the provider still holds are finalized before; any other makes the
    // handle wait for it rather than fail.
    sqlite3_close_v2(db);
}

void TSqliteProvider::RegisterTextRules(sqlite3* db) {
    sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, nocaseCompare);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "hasitem", 2, flags, nullptr, hasItemFunction, nullptr, nullptr);
    sqlite3_create_function(db, "new_guid", 0, SQLITE_UTF8, nullptr, newGuidFunction, nullptr,
                            nullptr);
}

void TSqliteProvider::fail(const QString& context) const {
    const QString engine = m_handle ? engineError(m_handle) : QString();
    throw EDatabaseError(engine.isEmpty() ? context : context + QStringLiteral("\n") + engine);
}

QString TSqliteProvider::readErrorMessage(const QString& source, const QString& engine) {
    // A failing disk is no damaged catalogue: the file may be whole once it reads.
    return tr("Ошибка чтения с диска при открытии базы данных %1: файл не удалось прочитать, "
              "сам он, возможно, цел.\n%2")
        .arg(source, engine);
}

void TSqliteProvider::open(const TConnectionString& connection) {
    close();
    const QString source = connection.value(QStringLiteral("Data Source")).trimmed();
    if (source.isEmpty()) {
        throw EDatabaseError(tr("Не указан файл базы данных."));
    }
    const QString unreadable = UnreadablePathProblem(source);
    if (!unreadable.isEmpty()) {
        throw EDatabaseError(unreadable);
    }
    const QFileInfo info(source);
    if (!info.exists()) {
        throw EDatabaseError(tr("Файл базы данных %1 не найден.").arg(source));
    }
    if (info.isDir()) {
        throw EDatabaseError(tr("%1 - это папка, а не файл базы данных.").arg(source));
    }
    // A pipe, a device or a socket reads as nothing, which the engine would take for an
    // empty database.
    if (!info.isFile()) {
        throw EDatabaseError(
            tr("%1 - не обычный файл (канал, устройство или сокет): это не база данных каталога.")
                .arg(source));
    }
    if (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable()) {
        throw EDatabaseError(
            tr("Файл базы данных %1 или его папка доступны только для чтения.").arg(source));
    }
    const QString fileName = info.absoluteFilePath();
    // The engine takes an empty file for an empty database and writes into it; whatever
    // the user meant to open, it is not a catalogue, and it stays as it was.
    if (info.size() == 0 && QFileInfo(fileName + QStringLiteral("-wal")).size() == 0) {
        throw EDatabaseError(tr("Файл %1 пуст: это не база данных каталога.").arg(source));
    }

    bool customWait = false;
    const int wait = connection.value(QStringLiteral("Busy Timeout")).toInt(&customWait);
    m_busyTimeout = customWait && wait >= 0 ? wait : kBusyTimeoutMs;
    // The handle closes itself on every refusal below; only a catalogue that passed them
    // all becomes the provider's.
    THandle db = openHandle(source, fileName);
    sqlite3_busy_timeout(db.get(), m_busyTimeout);
    // Reading first: a file that is not a database is refused before anything is written.
    {
        TSqliteStatement probe(db.get(), "SELECT count(*) FROM sqlite_master");
        if (!probe.ok() || probe.step() != SQLITE_ROW) {
            const QString engine = QString::fromUtf8(sqlite3_errmsg(db.get()));
            const int code = sqlite3_extended_errcode(db.get());
            if (isBusy(code)) {
                throw EDatabaseError(
                    tr("База данных %1 занята другой программой (database is locked).")
                        .arg(source));
            }
            if ((code & 0xFF) == SQLITE_IOERR) {
                throw EDatabaseError(readErrorMessage(source, engine));
            }
            throw EDatabaseError(
                tr("Файл %1 не является базой данных SQLite.\n%2").arg(source, engine));
        }
    }
    RegisterTextRules(db.get());
    // WAL with full synchronisation: a reported commit survives a crash. The log is copied
    // into the database every megabyte and cut back to a megabyte once copied: left to
    // itself it keeps its largest size, which on a small disk leaves no room for the
    // catalogue to grow. Only the journal mode is kept in the file: it is set on a
    // catalogue only, so another program's database is refused as it was found.
    std::vector<const char*> pragmas = {"PRAGMA synchronous=FULL", "PRAGMA wal_autocheckpoint=256",
                                        "PRAGMA journal_size_limit=1048576"};
    {
        TSqliteStatement catalogue(db.get(),
                                   "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view')"
                                   " AND name = 'SubjectURLs' COLLATE NOCASE");
        if (catalogue.ok() && catalogue.step() == SQLITE_ROW) {
            pragmas.insert(pragmas.begin(), "PRAGMA journal_mode=WAL");
        }
    }
    for (const char* pragma : pragmas) {
        if (sqlite3_exec(db.get(), pragma, nullptr, nullptr, nullptr) != SQLITE_OK) {
            const QString engine = isBusy(sqlite3_extended_errcode(db.get()))
                                       ? QStringLiteral("database is locked")
                                       : QString::fromUtf8(sqlite3_errmsg(db.get()));
            throw EDatabaseError(tr("Не удалось открыть базу данных %1.\n%2").arg(source, engine));
        }
    }
    m_handle = db.release();
}

TSqliteProvider::THandle TSqliteProvider::openHandle(const QString& source,
                                                     const QString& fileName) {
    // Read-write without create: a missing file is an error, never a new empty database.
    // One thread uses a connection at a time, and no cache is shared with other connections.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
    sqlite3* raw = nullptr;
    // The name as the file system holds it, as every other file of the program is opened.
    const int rc = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &raw, flags, nullptr);
    THandle db(raw);
    if (!db) {
        throw EDatabaseError(tr("Не удалось открыть базу данных %1.\n%2")
                                 .arg(source, QString::fromUtf8(sqlite3_errstr(rc))));
    }
    if (rc != SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(db.get()));
        if ((sqlite3_extended_errcode(db.get()) & 0xFF) == SQLITE_IOERR) {
            throw EDatabaseError(readErrorMessage(source, error));
        }
        throw EDatabaseError(tr("Не удалось открыть базу данных %1.\n%2").arg(source, error));
    }
    sqlite3_extended_result_codes(db.get(), 1);
    return db;
}

void TSqliteProvider::close() {
    if (!m_handle) {
        return;
    }
    // The engine will not close with statements still prepared.
    for (const auto& cached : m_statements) {
        sqlite3_finalize(cached.second);
    }
    m_statements.clear();
    THandleCloser()(std::exchange(m_handle, nullptr));
}

std::unique_ptr<TDbCursor> TSqliteProvider::query(const QString& sql, const QVariantList& params) {
    if (!m_handle) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    return std::make_unique<TSqliteCursor>(m_handle, sql, params);
}

qint64 TSqliteProvider::execute(const QString& sql, const QVariantList& params,
                                QVector<QVariantList>* returned) {
    if (!m_handle) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    const QByteArray u = sql.toUtf8();
    const char* tail = u.constData();
    const char* end = tail + u.size();
    qint64 changed = 0;
    int bound = 0;
    // Several statements may stand in one text; parameters run on across them. A text of
    // one statement run again (an import's insert, a mark as visited) reuses its prepared
    // form: compiling the key's default expression costs more than the insert itself.
    bool first = true;
    while (tail < end) {
        sqlite3_stmt* raw = nullptr;
        if (first) {
            for (auto it = m_statements.begin(); it != m_statements.end(); ++it) {
                if (it->first == u) {
                    raw = it->second;
                    m_statements.erase(it);
                    tail = end;
                    break;
                }
            }
        }
        if (!raw && sqlite3_prepare_v2(m_handle, tail, static_cast<int>(end - tail), &raw, &tail) !=
                        SQLITE_OK) {
            fail(tr("Ошибка в запросе к базе данных."));
        }
        if (!raw) {
            break;  // only blanks or a comment were left
        }
        const bool whole = first && tail == end;
        first = false;
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
        const int count = sqlite3_bind_parameter_count(raw);
        for (int i = 1; i <= count; ++i) {
            bindValue(raw, i, bound < params.size() ? params.at(bound) : QVariant());
            ++bound;
        }
        // A statement that ends a transaction, or writes outside one, commits: an I/O error
        // there may come after the change reached the log (a failed fsync), and the next
        // opening of the file then finds it stored.
        const bool commits = committing(raw, sqlite3_get_autocommit(m_handle) != 0);
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            if (returned) {
                QVariantList row;
                for (int c = 0; c < sqlite3_column_count(raw); ++c) {
                    row << TSqliteStatement::ColumnValue(raw, c);
                }
                returned->append(row);
            }
        }
        if (rc != SQLITE_DONE) {
            if (commits && (sqlite3_extended_errcode(m_handle) & 0xFF) == SQLITE_IOERR) {
                const QString cause = engineError(m_handle);
                throw EUnknownOutcomeError(tr("Ошибка записи на диск при сохранении: "
                                              "неизвестно, сохранено ли изменение.\n%1")
                                               .arg(cause),
                                           cause);
            }
            fail(tr("Ошибка при выполнении запроса к базе данных."));
        }
        changed += sqlite3_changes(m_handle);
        if (whole) {
            sqlite3_reset(raw);
            sqlite3_clear_bindings(raw);
            m_statements.insert(m_statements.begin(), {u, st.release()});
            if (m_statements.size() > kCachedStatements) {
                sqlite3_finalize(m_statements.back().second);
                m_statements.pop_back();
            }
        }
    }
    return changed;
}

QStringList TSqliteProvider::primaryKey(const QString& table) {
    QStringList key;
    if (!m_handle) {
        return key;
    }
    TSqliteStatement q(m_handle, QStringLiteral("SELECT name, pk FROM pragma_table_info(?1) "
                                                "WHERE pk > 0 ORDER BY pk"));
    if (!q.ok()) {
        return key;
    }
    q.bind(1, table);
    while (q.step() == SQLITE_ROW) {
        key << q.text(0);
    }
    return key;
}

bool TSqliteProvider::forgetFailedCommit() {
    // The failed commit's pages may stay in the log after the last confirmed ones, hidden
    // only by the index other connections keep in memory; an opening after a crash of them
    // all would read them back. A checkpoint that empties the log ends them; it needs the
    // disk to sync and no reader in the log.
    if (!m_handle) {
        return false;
    }
    TSqliteStatement checkpoint(m_handle, "PRAGMA wal_checkpoint(TRUNCATE)");
    return checkpoint.ok() && checkpoint.step() == SQLITE_ROW && checkpoint.integer(0) == 0;
}

std::optional<qint64> TSqliteProvider::changeStamp() {
    // Per connection, data_version moves when another connection (in this process or
    // another) commits; what this connection writes leaves it as it is.
    if (!m_handle) {
        return std::nullopt;
    }
    TSqliteStatement statement(m_handle, "PRAGMA data_version");
    if (!statement.ok() || statement.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return statement.integer(0);
}
