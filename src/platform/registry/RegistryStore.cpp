#include "platform/registry/RegistryStore.h"

#include "platform/FileNames.h"
#include "platform/SqliteStatement.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Marks a SQLite file as ours, so that some other database found at our path is kept
// aside rather than written into.
constexpr int kApplicationId = 0x4C4B5247;  // "LKRG"
constexpr int kBusyTimeoutMs = 5000;
constexpr int kRetryBusyTimeoutMs = 250;
constexpr qint64 kRetryIntervalMs = 1000;

using Statement = TSqliteStatement;

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Holds a write transaction; rolls back unless committed.
class WriteTransaction final {
public:
    explicit WriteTransaction(sqlite3* db) : m_db(db) { m_open = exec(db, "BEGIN IMMEDIATE"); }
    ~WriteTransaction() {
        if (m_open) {
            exec(m_db, "ROLLBACK");
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    bool active() const { return m_open; }
    bool commit() {
        if (!m_open) {
            return false;
        }
        m_open = false;
        if (exec(m_db, "COMMIT")) {
            return true;
        }
        exec(m_db, "ROLLBACK");
        return false;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

QString fold(const QString& s) {
    return s.toCaseFolded();
}

// Where a copy of a damaged file goes when its own folder refuses it.
QString StateFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty()) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/Linkarium");
}

}  // namespace

QString TRegistryStore::TText::shown() const {
    QString text;
    if (source) {
        text = QCoreApplication::translate("TRegistryStore", source);
    } else if (errnoCode != 0) {
        text = QString::fromLocal8Bit(std::strerror(errnoCode));
    } else {
        text = plain;
    }
    for (const TText& a : args) {
        text = text.arg(a.shown());
    }
    return text;
}

TRegistryStore::TText TRegistryStore::fixed(const char* source, std::vector<TText> args) {
    TText t;
    t.source = source;
    t.args = std::move(args);
    return t;
}

TRegistryStore::TText TRegistryStore::plain(const QString& text) {
    TText t;
    t.plain = text;
    return t;
}

// Reasons in the user's language, the system's words for the rare ones.
TRegistryStore::TText TRegistryStore::fromErrno(int code) {
    switch (code) {
        case EACCES:
        case EPERM:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "нет прав доступа"));
        case EROFS:
            return fixed(
                QT_TRANSLATE_NOOP("TRegistryStore", "файловая система доступна только для чтения"));
        case ENOENT:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "папка не существует"));
        case ENOTDIR:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "часть пути не является папкой"));
        case ENOSPC:
        case EDQUOT:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "нет места на диске"));
        case ELOOP:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "слишком много символьных ссылок"));
        default: {
            TText t;
            t.errnoCode = code;
            return t;
        }
    }
}

TRegistryStore::TText TRegistryStore::fromEngine(sqlite3* db) {
    switch (db ? sqlite3_errcode(db) : SQLITE_CANTOPEN) {
        case SQLITE_OK:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "ошибка записи"));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore",
                                           "файл занят другим процессом (database is locked)"));
        case SQLITE_READONLY:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "файл доступен только для чтения"));
        case SQLITE_CANTOPEN:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "файл нельзя открыть"));
        case SQLITE_FULL:
            return fixed(QT_TRANSLATE_NOOP("TRegistryStore", "нет места на диске"));
        default:
            return plain(QString::fromUtf8(sqlite3_errmsg(db)));
    }
}

TRegistryStore& TRegistryStore::instance() {
    static TRegistryStore store;
    return store;
}

TRegistryStore::TRegistryStore() : m_fileName(defaultFileName()) {}

TRegistryStore::~TRegistryStore() {
    close();
}

QString TRegistryStore::defaultFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/settings.db");
}

void TRegistryStore::setFileName(const QString& fileName) {
    close();
    m_fileName = fileName;
    m_failed = false;
    m_noticeGiven = false;
    m_failureReported = false;
    m_notice.reset();
    m_lastError = TText();
}

void TRegistryStore::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

QString TRegistryStore::takeNotice() {
    ensureOpen();
    const QString n = m_notice ? m_notice->shown() : QString();
    m_notice.reset();
    return n;
}

QString TRegistryStore::normalizeKey(const QString& key) {
    QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\'));
}

bool TRegistryStore::ensureOpen() {
    if (m_db) {
        return true;
    }
    if (m_failed) {
        return false;  // reads go on with defaults; the next write tries again
    }
    m_lastAttempt = QDateTime::currentMSecsSinceEpoch();
    if (openFile(kBusyTimeoutMs)) {
        return true;
    }
    m_failed = true;
    return false;
}

// A store that could not be opened is tried again by writes, at most once a second and
// waiting only briefly, so a held lock neither blocks every write nor ends saving for
// the session.
bool TRegistryStore::ensureWritable() {
    if (m_db) {
        return true;
    }
    if (!m_failed) {
        return ensureOpen();
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastAttempt < kRetryIntervalMs) {
        return false;
    }
    m_lastAttempt = now;
    if (!openFile(kRetryBusyTimeoutMs)) {
        return false;
    }
    m_failed = false;
    return true;
}

bool TRegistryStore::written(bool ok) {
    if (ok) {
        m_failureReported = false;
        return true;
    }
    if (m_db) {
        m_lastError = fromEngine(m_db);
    }
    if (!m_failureReported) {
        m_failureReported = true;
        const QString text =
            QCoreApplication::translate("TRegistryStore", "Настройки не сохранены в файле %1: %2.")
                .arg(m_fileName, m_lastError.shown());
        if (m_onWriteFailure) {
            m_onWriteFailure(text);
        } else {
            qWarning("%s", qPrintable(text));
        }
    }
    return false;
}

void TRegistryStore::setNotice(TText text) {
    if (!m_noticeGiven) {
        m_noticeGiven = true;
        m_notice = std::move(text);
    }
}

void TRegistryStore::unusable(const TText& reason) {
    m_lastError = reason;
    setNotice(fixed(QT_TRANSLATE_NOOP("TRegistryStore",
                                      "Файл настроек %1 нельзя использовать: %2. Программа "
                                      "работает с настройками по умолчанию; изменённые "
                                      "настройки не сохраняются, пока файл недоступен."),
                    {plain(m_fileName), reason}));
}

// A damaged file that cannot be renamed is copied, when it can be read, to the first of
// its own folder, the state folder and the temporary folder that takes it.
QString TRegistryStore::copyAside(const QString& stamp, TText& why) const {
    QFile source(m_fileName);
    if (!source.open(QIODevice::ReadOnly)) {
        why = fromErrno(errno);
        return QString();
    }
    source.close();
    const QString base = QFileInfo(m_fileName).fileName() + QStringLiteral(".broken-") + stamp;
    for (const QString& folder :
         {QFileInfo(m_fileName).absolutePath(), StateFolder(), QDir::tempPath()}) {
        if (folder.isEmpty() || !MakeFolders(folder)) {
            continue;
        }
        const QString target = folder + QLatin1Char('/') + base;
        if (!QFileInfo::exists(target) && QFile::copy(m_fileName, target)) {
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
            return target;
        }
    }
    why = fixed(QT_TRANSLATE_NOOP("TRegistryStore", "ни одна папка не приняла копию"));
    return QString();
}

bool TRegistryStore::keepAside(const TText& reason) {
    close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_fileName + QStringLiteral(".broken-") + stamp;
    for (int i = 1; QFileInfo::exists(aside); ++i) {
        aside =
            m_fileName + QStringLiteral(".broken-") + stamp + QLatin1Char('-') + QString::number(i);
    }
    if (::rename(QFile::encodeName(m_fileName).constData(), QFile::encodeName(aside).constData()) !=
        0) {
        const TText renameError = fromErrno(errno);
        TText why;
        const QString copy = copyAside(stamp, why);
        m_lastError = fixed(QT_TRANSLATE_NOOP("TRegistryStore", "файл повреждён (%1)"), {reason});
        setNotice(copy.isEmpty()
                      ? fixed(QT_TRANSLATE_NOOP(
                                  "TRegistryStore",
                                  "Файл настроек %1 повреждён (%2) и не может быть переименован "
                                  "(%3); копию сохранить не удалось (%4). Программа работает с "
                                  "настройками по умолчанию; изменённые настройки не сохраняются."),
                              {plain(m_fileName), reason, renameError, why})
                      : fixed(QT_TRANSLATE_NOOP(
                                  "TRegistryStore",
                                  "Файл настроек %1 повреждён (%2) и не может быть переименован "
                                  "(%3). Его копия сохранена как %4. Программа работает с "
                                  "настройками по умолчанию; изменённые настройки не сохраняются."),
                              {plain(m_fileName), reason, renameError, plain(copy)}));
        return false;
    }
    // The journal files belong to the damaged file: they go with it, never deleted.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString side = m_fileName + QLatin1String(suffix);
        if (QFileInfo::exists(side)) {
            ::rename(QFile::encodeName(side).constData(),
                     QFile::encodeName(aside + QLatin1String(suffix)).constData());
        }
    }
    setNotice(fixed(QT_TRANSLATE_NOOP("TRegistryStore",
                                      "Файл настроек %1 повреждён (%2). Он сохранён как %3; "
                                      "программа начинает работу с настройками по умолчанию."),
                    {plain(m_fileName), reason, plain(aside)}));
    return true;
}

bool TRegistryStore::openFile(int busyMs) {
    const QString unreadable = UnreadablePathProblem(m_fileName);
    if (!unreadable.isEmpty()) {
        unusable(plain(unreadable));
        return false;
    }
    const QFileInfo info(m_fileName);
    MakeFolders(info.absolutePath());
    const QByteArray path = QFile::encodeName(m_fileName);
    struct stat st {};
    if (::stat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A folder, FIFO or device holds no settings of ours: it is moved aside whole.
        const TText kind = S_ISDIR(st.st_mode)
                               ? fixed(QT_TRANSLATE_NOOP("TRegistryStore", "на его месте папка"))
                               : fixed(QT_TRANSLATE_NOOP("TRegistryStore", "это не обычный файл"));
        if (!keepAside(kind)) {
            m_lastError = kind;
            return false;
        }
    }
    // Created by us so that it never exists with a wider mode: the connection string kept
    // here may hold a password. Non-blocking, so that a FIFO slipped in meanwhile cannot
    // stop the program.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        TText reason = fromErrno(errno);
        const QString target = QFile::symLinkTarget(m_fileName);
        if (!target.isEmpty()) {
            reason = fixed(QT_TRANSLATE_NOOP("TRegistryStore", "%1 (ссылка на %2)"),
                           {reason, plain(target)});
        }
        unusable(reason);
        return false;
    }
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular) {
        ::fchmod(fd, 0600);
    }
    ::close(fd);
    if (!regular) {
        unusable(fixed(QT_TRANSLATE_NOOP("TRegistryStore", "это не обычный файл")));
        return false;
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            unusable(fromEngine(m_db));
            close();
            return false;
        }
        sqlite3_busy_timeout(m_db, busyMs);
        QString damage;
        switch (initialiseSchema(damage)) {
            case SchemaState::Ready:
                for (const char* suffix : {"-wal", "-shm"}) {
                    ::chmod(QByteArray(path + suffix).constData(), 0600);
                }
                m_lastError = TText();
                return true;
            case SchemaState::Unavailable:
                // Someone holds the file or the disk refuses: keep the file as it is.
                unusable(fromEngine(m_db));
                close();
                return false;
            case SchemaState::Damaged:
                if (attempt > 0 || !keepAside(plain(damage))) {
                    close();
                    return false;
                }
                const int again =
                    ::open(path.constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
                if (again < 0) {
                    unusable(fromErrno(errno));
                    return false;
                }
                ::close(again);
                break;
        }
    }
    close();
    return false;
}

TRegistryStore::SchemaState TRegistryStore::initialiseSchema(QString& damage) {
    const auto failure = [this, &damage]() {
        const int code = sqlite3_errcode(m_db);
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
            damage = QString::fromUtf8(sqlite3_errmsg(m_db));
            return SchemaState::Damaged;
        }
        return SchemaState::Unavailable;
    };
    // Only reads until the file is known to be ours: a foreign file is left byte for byte.
    int appId = 0;
    int tables = 0;
    {
        Statement check(m_db, "PRAGMA quick_check");
        if (!check.ok() || check.step() != SQLITE_ROW) {
            return failure();
        }
        if (check.text(0) != QLatin1String("ok")) {
            damage = check.text(0);
            return SchemaState::Damaged;
        }
        Statement id(m_db, "PRAGMA application_id");
        Statement count(m_db, "SELECT count(*) FROM sqlite_master");
        if (!id.ok() || id.step() != SQLITE_ROW || !count.ok() || count.step() != SQLITE_ROW) {
            return failure();
        }
        appId = static_cast<int>(id.integer(0));
        tables = static_cast<int>(count.integer(0));
    }
    if (appId != kApplicationId && tables != 0) {
        // Another program's database: kept aside, never written into.
        damage = QStringLiteral("not a settings file");
        return SchemaState::Damaged;
    }
    if (!exec(m_db, "PRAGMA journal_mode=WAL") || !exec(m_db, "PRAGMA synchronous=FULL")) {
        return failure();
    }
    if (appId == kApplicationId) {
        return SchemaState::Ready;
    }
    WriteTransaction tx(m_db);
    if (!tx.active()) {
        return failure();
    }
    const QByteArray setId = "PRAGMA application_id=" + QByteArray::number(kApplicationId);
    const bool created = exec(m_db,
                              "CREATE TABLE IF NOT EXISTS reg_keys("
                              " fold TEXT PRIMARY KEY,"
                              " path TEXT NOT NULL) WITHOUT ROWID") &&
                         exec(m_db,
                              "CREATE TABLE IF NOT EXISTS reg_values("
                              " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                              " key_fold TEXT NOT NULL,"
                              " fold TEXT NOT NULL,"
                              " name TEXT NOT NULL,"
                              " type INTEGER NOT NULL,"
                              " data,"
                              " UNIQUE(key_fold, fold))") &&
                         exec(m_db, setId.constData());
    if (!created) {
        return failure();
    }
    return tx.commit() ? SchemaState::Ready : failure();
}

bool TRegistryStore::keyExists(const QString& key) {
    const QString k = normalizeKey(key);
    if (k.isEmpty()) {
        return ensureOpen();
    }
    if (!ensureOpen()) {
        return false;
    }
    Statement q(m_db, "SELECT 1 FROM reg_keys WHERE fold = ?1");
    if (!q.ok()) {
        return false;
    }
    q.bind(1, fold(k));
    return q.step() == SQLITE_ROW;
}

bool TRegistryStore::createKeyChain(const QString& normalized) {
    const QStringList parts = normalized.split(QLatin1Char('\\'));
    QString path;
    for (const QString& part : parts) {
        path = path.isEmpty() ? part : path + QLatin1Char('\\') + part;
        Statement one(m_db, "INSERT OR IGNORE INTO reg_keys(fold, path) VALUES(?1, ?2)");
        if (!one.ok()) {
            return false;
        }
        one.bind(1, fold(path));
        one.bind(2, path);
        if (one.step() != SQLITE_DONE) {
            return false;
        }
    }
    return true;
}

bool TRegistryStore::createKey(const QString& key) {
    const QString k = normalizeKey(key);
    if (!ensureWritable()) {
        return written(false);
    }
    if (k.isEmpty()) {
        return true;
    }
    WriteTransaction tx(m_db);
    return written(tx.active() && createKeyChain(k) && tx.commit());
}

bool TRegistryStore::deleteKey(const QString& key) {
    const QString k = normalizeKey(key);
    if (k.isEmpty()) {
        return false;
    }
    if (!ensureWritable()) {
        return written(false);
    }
    WriteTransaction tx(m_db);
    if (!tx.active()) {
        return written(false);
    }
    const QString f = fold(k);
    const QString prefix = f + QLatin1Char('\\');
    bool existed = false;
    {
        Statement q(m_db, "SELECT 1 FROM reg_keys WHERE fold = ?1");
        q.bind(1, f);
        existed = q.step() == SQLITE_ROW;
    }
    Statement dv(m_db,
                 "DELETE FROM reg_values WHERE key_fold = ?1 OR "
                 "substr(key_fold, 1, length(?2)) = ?2");
    Statement dk(m_db, "DELETE FROM reg_keys WHERE fold = ?1 OR substr(fold, 1, length(?2)) = ?2");
    if (!dv.ok() || !dk.ok()) {
        return written(false);
    }
    dv.bind(1, f);
    dv.bind(2, prefix);
    dk.bind(1, f);
    dk.bind(2, prefix);
    return written(dv.step() == SQLITE_DONE && dk.step() == SQLITE_DONE && tx.commit()) && existed;
}

QStringList TRegistryStore::subKeyNames(const QString& key) {
    QStringList names;
    const QString k = normalizeKey(key);
    if (!ensureOpen()) {
        return names;
    }
    Statement q(m_db, "SELECT path FROM reg_keys WHERE substr(fold, 1, length(?1)) = ?1");
    if (!q.ok()) {
        return names;
    }
    const QString prefix = k.isEmpty() ? QString() : fold(k) + QLatin1Char('\\');
    q.bind(1, prefix);
    while (q.step() == SQLITE_ROW) {
        const QString rest = q.text(0).mid(prefix.size());
        if (!rest.isEmpty() && !rest.contains(QLatin1Char('\\'))) {
            names << rest;
        }
    }
    return names;
}

std::optional<TRegValue> TRegistryStore::readValue(const QString& key, const QString& name) {
    if (!ensureOpen()) {
        return std::nullopt;
    }
    Statement q(m_db, "SELECT type, data FROM reg_values WHERE key_fold = ?1 AND fold = ?2");
    if (!q.ok()) {
        return std::nullopt;
    }
    q.bind(1, fold(normalizeKey(key)));
    q.bind(2, fold(name));
    if (q.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    if (q.integer(0) == static_cast<int>(TRegValue::Type::Integer) &&
        q.columnType(1) == SQLITE_INTEGER) {
        return TRegValue::fromInteger(static_cast<qint32>(q.integer(1)));
    }
    if (q.integer(0) == static_cast<int>(TRegValue::Type::String) &&
        q.columnType(1) == SQLITE_TEXT) {
        return TRegValue::fromString(q.text(1));
    }
    return std::nullopt;
}

bool TRegistryStore::writeValue(const QString& key, const QString& name, const TRegValue& value) {
    const QString k = normalizeKey(key);
    if (!ensureWritable()) {
        return written(false);
    }
    WriteTransaction tx(m_db);
    if (!tx.active() || (!k.isEmpty() && !createKeyChain(k))) {
        return written(false);
    }
    // An update keeps the value's place in the enumeration, as the registry does.
    Statement up(m_db,
                 "INSERT INTO reg_values(key_fold, fold, name, type, data) "
                 "VALUES(?1, ?2, ?3, ?4, ?5) "
                 "ON CONFLICT(key_fold, fold) DO UPDATE SET "
                 "name = excluded.name, type = excluded.type, data = excluded.data");
    if (!up.ok()) {
        return written(false);
    }
    up.bind(1, fold(k));
    up.bind(2, fold(name));
    up.bind(3, name);
    up.bind(4, static_cast<qint64>(value.type));
    if (value.type == TRegValue::Type::Integer) {
        up.bind(5, static_cast<qint64>(value.number));
    } else {
        up.bind(5, value.text);
    }
    return written(up.step() == SQLITE_DONE && tx.commit());
}

bool TRegistryStore::deleteValue(const QString& key, const QString& name) {
    if (!ensureWritable()) {
        return written(false);
    }
    Statement d(m_db, "DELETE FROM reg_values WHERE key_fold = ?1 AND fold = ?2");
    if (!d.ok()) {
        return written(false);
    }
    d.bind(1, fold(normalizeKey(key)));
    d.bind(2, fold(name));
    return written(d.step() == SQLITE_DONE) && sqlite3_changes(m_db) > 0;
}

QVector<TRegNamedValue> TRegistryStore::values(const QString& key) {
    QVector<TRegNamedValue> result;
    if (!ensureOpen()) {
        return result;
    }
    Statement q(m_db, "SELECT name, type, data FROM reg_values WHERE key_fold = ?1 ORDER BY id");
    if (!q.ok()) {
        return result;
    }
    q.bind(1, fold(normalizeKey(key)));
    while (q.step() == SQLITE_ROW) {
        TRegNamedValue v;
        v.name = q.text(0);
        if (q.integer(1) == static_cast<int>(TRegValue::Type::Integer)) {
            v.value = TRegValue::fromInteger(static_cast<qint32>(q.integer(2)));
        } else {
            v.value = TRegValue::fromString(q.text(2));
        }
        result << v;
    }
    return result;
}
