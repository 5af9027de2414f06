#include "urls/LinkImport.h"

#include "common/CsvText.h"
#include "common/TextUnit.h"
#include "platform/Errors.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "urls/Categories.h"
#include "urls/ShortcutReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <QSet>

#include <sqlite3.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxText = 255;
constexpr int kBatch = 2000;
constexpr int kProgressEvery = 64;

// The catalogue keeps 255 characters of categories, cut after a whole name: what lies
// beyond twice that never reaches it, so a join stops there. This keeps a path of
// thousands of folders, or a link with thousands of tags, from costing their square.
constexpr int kCategoryCap = 2 * kMaxText + 2;

// Names joined by "; ", each once whatever its letter case, in the order first seen.
class TCategoryJoin final {
public:
    void add(const QString& name) {
        if (m_text.size() >= kCategoryCap) {
            return;
        }
        const QString t = name.trimmed();
        if (t.isEmpty()) {
            return;
        }
        const QString key = t.toCaseFolded();
        if (m_seen.contains(key)) {
            return;
        }
        m_seen.insert(key);
        if (!m_text.isEmpty()) {
            m_text += QStringLiteral("; ");
        }
        m_text += t;
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
    QSet<QString> m_seen;
};

QString joinCategories(const QStringList& names) {
    TCategoryJoin join;
    for (const QString& n : names) {
        join.add(n);
    }
    return join.text();
}

QString decodeEntities(const QString& text) {
    if (!text.contains(QLatin1Char('&'))) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&')) {
            out += text.at(i);
            continue;
        }
        // Only a short name can follow: a text of many '&' and no ';' is not searched to
        // its end from each of them.
        int semi = -1;
        for (int j = i + 1; j < text.size() && j <= i + 10; ++j) {
            if (text.at(j) == QLatin1Char(';')) {
                semi = j;
                break;
            }
        }
        const QString name = semi > i ? text.mid(i + 1, semi - i - 1) : QString();
        QString decoded;
        if (name == QLatin1String("amp")) {
            decoded = QStringLiteral("&");
        } else if (name == QLatin1String("lt")) {
            decoded = QStringLiteral("<");
        } else if (name == QLatin1String("gt")) {
            decoded = QStringLiteral(">");
        } else if (name == QLatin1String("quot")) {
            decoded = QStringLiteral("\"");
        } else if (name == QLatin1String("apos")) {
            decoded = QStringLiteral("'");
        } else if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                                  ? name.mid(2).toUInt(&ok, 16)
                                  : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                decoded = QString::fromUcs4(&c, 1);
            }
        }
        if (decoded.isEmpty()) {
            out += text.at(i);
        } else {
            out += decoded;
            i = semi;
        }
    }
    return out;
}

// The value of attribute name in the inside of a tag, quoted or not.
QString attribute(const QString& tag, const QString& name) {
    int at = 0;
    while ((at = tag.indexOf(name, at, Qt::CaseInsensitive)) >= 0) {
        const bool startsWord = at > 0 && tag.at(at - 1).isSpace();
        int i = at + name.size();
        while (i < tag.size() && tag.at(i).isSpace()) {
            ++i;
        }
        if (!startsWord || i >= tag.size() || tag.at(i) != QLatin1Char('=')) {
            at += name.size();
            continue;
        }
        ++i;
        while (i < tag.size() && tag.at(i).isSpace()) {
            ++i;
        }
        if (i < tag.size() && (tag.at(i) == QLatin1Char('"') || tag.at(i) == QLatin1Char('\''))) {
            const QChar quote = tag.at(i);
            const int end = tag.indexOf(quote, i + 1);
            return decodeEntities(tag.mid(i + 1, end < 0 ? -1 : end - i - 1));
        }
        int end = i;
        while (end < tag.size() && !tag.at(end).isSpace()) {
            ++end;
        }
        return decodeEntities(tag.mid(i, end - i));
    }
    return QString();
}

QString description(const QString& title, const QString& note) {
    const QString t = title.simplified();
    const QString n = note.simplified();
    // A title cut short with an ellipsis, the whole text in the note (as the export
    // writes a long description): the note alone.
    const bool cut = t.endsWith(QChar(0x2026)) && n.startsWith(t.chopped(1));
    return (n.isEmpty() || n == t ? t
            : t.isEmpty() || cut  ? n
                                  : t + QStringLiteral(" - ") + n)
        .left(kMaxText);
}

QString separatorReason() {
    return QCoreApplication::translate("LinkImport", "разделитель");
}

void walkChromium(const QJsonObject& node, TCategoryJoin path, bool root,
                  QVector<TImportedLink>& out) {
    const QString type = node.value(QLatin1String("type")).toString();
    const QString name = node.value(QLatin1String("name")).toString();
    if (type == QLatin1String("url")) {
        out.append({node.value(QLatin1String("url")).toString(), path.text(),
                    description(name, QString()), QString(), false, QString()});
        return;
    }
    if (!root) {
        path.add(name);
    }
    for (const QJsonValue& child : node.value(QLatin1String("children")).toArray()) {
        walkChromium(child.toObject(), path, false, out);
    }
}

}  // namespace

QString LimitCategories(const QString& categories, int limit) {
    if (categories.size() <= limit) {
        return categories;
    }
    const int cut = categories.lastIndexOf(QStringLiteral("; "), limit);
    return cut > 0 ? categories.left(cut) : categories.left(limit);
}

TLinkImporter::TLinkImporter(TConnection& connection) : m_connection(connection) {
    // The address limit is the catalogue's own: 2,048 in new ones, 150 in older ones.
    if (connection.Connected()) {
        TDataSet columns;
        columns.SetConnection(&connection);
        columns.SetCommandText(QStringLiteral("SELECT URL FROM SubjectURLs WHERE 1 = 0"));
        columns.Open();
        const int size = columns.FieldByName(QStringLiteral("URL")).Size;
        m_maxURL = size > 0 ? size : std::numeric_limits<int>::max();
    }
    m_insert.SetConnection(&connection);
    m_insert.SetCommandText(
        QStringLiteral("INSERT INTO SubjectURLs (URL, Category, Description, Visited) VALUES "
                       "(:URL, :Category, :Description, :Visited)"));
}

TLinkImporter::~TLinkImporter() = default;

void TImportSink::stepped() {
    if (Entries() % kProgressEvery == 0) {
        Progress();
    }
}

void TImportSink::Progress() {
    if (OnProgress) {
        OnProgress(Entries());
    }
}

void TImportSink::Reading(qint64 done, qint64 total) {
    if (OnReading) {
        OnReading(done, total);
    }
}

void TLinkImporter::noteSkipped(const QString& what) {
    if (SkippedNames.size() < MaxSkippedNames) {
        SkippedNames << what;
    }
}

void TLinkImporter::Skip(const QString& what) {
    ++Skipped;
    noteSkipped(what);
    stepped();
}

void TLinkImporter::bind(const TBatchRow& row) {
    const auto orNull = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    m_insert.Parameters().ParamByName(QStringLiteral("URL")).SetValue(row.url);
    m_insert.Parameters().ParamByName(QStringLiteral("Category")).SetValue(orNull(row.category));
    m_insert.Parameters()
        .ParamByName(QStringLiteral("Description"))
        .SetValue(orNull(row.description));
    m_insert.Parameters().ParamByName(QStringLiteral("Visited")).SetValue(row.visited);
}

void TLinkImporter::Add(const TImportedLink& link) {
    const QString url = TrimmedFieldText(link.URL);
    if (url.isEmpty() || url.size() > m_maxURL) {
        const QString what = !link.Source.isEmpty() ? link.Source
                             : url.size() > 80      ? url.left(80) + QChar(0x2026)
                                                    : url;
        Skip(url.isEmpty() ? QCoreApplication::translate("LinkImport", "%1: нет адреса").arg(what)
                           : QCoreApplication::translate("LinkImport", "%1: адрес длиннее %2")
                                 .arg(what)
                                 .arg(m_maxURL));
        return;
    }
    const TBatchRow row{url, LimitCategories(link.Category, kMaxText),
                        link.Description.left(kMaxText), link.Visited};
    bind(row);
    // One commit per row would cost a disk flush each; a batch keeps the rows before a
    // refused one all the same.
    if (!m_transaction) {
        m_transaction = std::make_unique<TTransaction>(m_connection);
    }
    try {
        m_insert.Execute();
    } catch (...) {
        keepBatch();
        throw;
    }
    m_batch.push_back(row);
    ++Added;
    noteCategories(row.category);
    if (++m_inBatch >= kBatch) {
        Finish();
    }
    stepped();
}

void TLinkImporter::noteCategories(const QString& text) {
    if (text.isEmpty() || m_categoryTexts.contains(text)) {
        return;
    }
    m_categoryTexts.insert(text);
    for (const QString& name : SplitCategoryNames(text)) {
        if (!m_categoryNames.contains(name.toCaseFolded())) {
            m_categoryNames.insert(name.toCaseFolded());
            Categories << name;
        }
    }
}

void TLinkImporter::Finish() {
    if (m_transaction) {
        m_transaction->Commit();
        m_transaction.reset();
    }
    m_inBatch = 0;
    m_batch.clear();
}

// A refused row leaves the transaction unusable on a server (it takes no more statements and
// would roll back at commit), so the batch is undone and its earlier rows are written again.
void TLinkImporter::keepBatch() {
    m_transaction.reset();
    const std::vector<TBatchRow> rows = std::move(m_batch);
    m_batch.clear();
    m_inBatch = 0;
    if (rows.empty()) {
        return;
    }
    TTransaction again(m_connection);
    for (const TBatchRow& row : rows) {
        bind(row);
        m_insert.Execute();
    }
    again.Commit();
}

namespace {

QString errnoText(int e) {
    return QString::fromLocal8Bit(std::strerror(e));
}

// An open folder of the walk: its listing, and the categories and shown path that lead
// to it.
struct TWalkFolder {
    std::unique_ptr<DIR, int (*)(DIR*)> dir{nullptr, closedir};
    QString categories;
    QString shown;
};

// The real path of an open descriptor, as the kernel knows it.
QByteArray realPathOf(int fd) {
    char buffer[PATH_MAX + 1];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(link.constData(), buffer, PATH_MAX);
    return n > 0 ? QByteArray(buffer, static_cast<int>(n)) : QByteArray();
}

bool isUrlName(const QByteArray& name) {
    return name.size() > 4 && name.right(4).toLower() == ".url";
}

// A deep tree holds one descriptor per level open: the soft limit goes up to the hard one.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = qMin<rlim_t>(limit.rlim_max, 1 << 16);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

void TFavoritesWalk::Walk(const QString& folder) {
    const QByteArray root = QFile::encodeName(QFileInfo(folder).absoluteFilePath());
    const int rootFd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        m_importer.Skip(
            QCoreApplication::translate("LinkImport", "%1: %2").arg(folder, errnoText(errno)));
        return;
    }
    raiseDescriptorLimit();
    const QByteArray rootReal = realPathOf(rootFd);
    const auto inside = [&rootReal](const QByteArray& path) {
        return !path.isEmpty() &&
               (path == rootReal || rootReal == "/" || path.startsWith(rootReal + '/'));
    };
    std::set<std::pair<dev_t, ino_t>> visited;
    std::vector<TWalkFolder> stack;
    const auto enter = [&](int fd, const QString& categories, const QString& shown) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);  // seen before: a link looping back
            return;
        }
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            m_importer.Skip(
                QCoreApplication::translate("LinkImport", "%1: %2").arg(shown, errnoText(errno)));
            return;
        }
        stack.push_back({{dir, closedir}, categories, shown});
        m_importer.Progress();
    };
    enter(rootFd, QString(), QString());
    while (!stack.empty()) {
        TWalkFolder& top = stack.back();
        errno = 0;
        const dirent* entry = ::readdir(top.dir.get());
        if (!entry) {
            if (errno != 0) {
                m_importer.Skip(QCoreApplication::translate("LinkImport", "%1: %2")
                                    .arg(top.shown, errnoText(errno)));
            }
            stack.pop_back();
            continue;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const int parent = ::dirfd(top.dir.get());
        const QString shownName = DecodeName(name);
        const QString shown =
            top.shown.isEmpty() ? shownName : top.shown + QLatin1Char('/') + shownName;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                m_importer.Skip(QCoreApplication::translate("LinkImport", "%1: %2")
                                    .arg(shown, errnoText(errno)));
                continue;
            }
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                   : S_ISREG(st.st_mode) ? DT_REG
                                         : DT_FIFO;
        }
        if (type == DT_LNK) {
            // Followed only while it stays inside the chosen folder.
            const int target = ::openat(parent, name.constData(), O_PATH | O_CLOEXEC);
            struct stat st {};
            if (target < 0) {
                continue;  // a dangling link leads nowhere: nothing to import
            }
            const bool in = inside(realPathOf(target));
            const bool dir = ::fstat(target, &st) == 0 && S_ISDIR(st.st_mode);
            ::close(target);
            if (!dir && !isUrlName(name)) {
                continue;
            }
            if (!in) {
                m_importer.Skip(
                    QCoreApplication::translate("LinkImport", "%1: ссылка ведёт за пределы папки")
                        .arg(shown));
                continue;
            }
            type = dir ? DT_DIR : DT_REG;
        }
        if (type == DT_DIR) {
            const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) {
                m_importer.Skip(QCoreApplication::translate("LinkImport", "%1: %2")
                                    .arg(shown, errnoText(errno)));
                continue;
            }
            const QString categories = top.categories.isEmpty()
                                           ? shownName
                                           : top.categories + QStringLiteral("; ") + shownName;
            enter(fd, categories, shown);
            continue;
        }
        if (!isUrlName(name)) {
            continue;
        }
        m_importer.Add(
            {ReadShortcutURLAt(parent, name), top.categories, QString(), shown, false, QString()});
    }
}

QVector<TImportedLink> ReadBookmarkHtml(
    const QString& text, const std::function<void(qint64 done, qint64 total)>& progress) {
    QVector<TImportedLink> out;
    // One entry per open DL, holding the categories of the folders down to it, so a link
    // costs its own tags only, however deep it lies.
    std::vector<TCategoryJoin> folders;
    QString pendingFolder;  // the H3 just read, for the DL that follows
    bool pending = false;
    bool lastWasLink = false;
    bool inNote = false;  // after a DD, before the next entry: its links are the note's
    int i = 0;
    int tags = 0;
    const int n = text.size();
    while (i < n) {
        if (progress && ++tags % 1024 == 0) {
            progress(i, n);
        }
        const int lt = text.indexOf(QLatin1Char('<'), i);
        if (lt < 0) {
            break;
        }
        const int gt = text.indexOf(QLatin1Char('>'), lt);
        if (gt < 0) {
            break;
        }
        const QString tag = text.mid(lt + 1, gt - lt - 1);
        const QString name = tag.section(QLatin1Char(' '), 0, 0).toUpper();
        i = gt + 1;
        const auto textUntilTag = [&text, &i]() {
            const int next = text.indexOf(QLatin1Char('<'), i);
            return decodeEntities(text.mid(i, next < 0 ? -1 : next - i));
        };
        if (name == QLatin1String("DT") || name == QLatin1String("DL") ||
            name == QLatin1String("/DL") || name == QLatin1String("H3")) {
            inNote = false;
        }
        if (name == QLatin1String("H3")) {
            pendingFolder = textUntilTag().simplified();
            pending = true;
        } else if (name == QLatin1String("HR")) {
            out.append({QString(), QString(), QString(), QString(), false, separatorReason()});
        } else if (name == QLatin1String("A") && inNote) {
            const QString href = attribute(tag, QStringLiteral("HREF"));
            out.append({href, QString(), textUntilTag().simplified(), QString(), false,
                        QCoreApplication::translate("LinkImport", "ссылка в заметке закладки")});
        } else if (name == QLatin1String("DL")) {
            TCategoryJoin inner = folders.empty() ? TCategoryJoin() : folders.back();
            if (pending) {
                inner.add(pendingFolder);
            }
            folders.push_back(std::move(inner));
            pending = false;
        } else if (name == QLatin1String("/DL")) {
            if (!folders.empty()) {
                folders.pop_back();
            }
        } else if (name == QLatin1String("A")) {
            const QString title = textUntilTag();
            TCategoryJoin categories = folders.empty() ? TCategoryJoin() : folders.back();
            const QString linkTags = attribute(tag, QStringLiteral("TAGS"));
            if (!linkTags.isEmpty()) {
                for (const QString& t : linkTags.split(QLatin1Char(','))) {
                    categories.add(t);
                }
            }
            out.append({attribute(tag, QStringLiteral("HREF")), categories.text(),
                        description(title, QString()), QString(), false, QString()});
        } else if (name == QLatin1String("DD")) {
            inNote = true;
            if (lastWasLink) {
                // The note of a link; a folder's note follows its H3 and is not taken.
                out.last().Description = description(out.last().Description, textUntilTag());
            }
        }
        lastWasLink = name == QLatin1String("A") || (lastWasLink && name == QLatin1String("/A"));
    }
    if (progress) {
        progress(n, n);
    }
    return out;
}

QVector<TImportedLink> ReadCsvLinks(const QString& text) {
    const QVector<QStringList> rows = ParseCsv(text);
    int url = 0;
    int description = 1;
    int category = 2;
    int visited = 3;
    int first = 0;
    if (!rows.isEmpty()) {
        const auto column = [&rows](std::initializer_list<const char*> names) {
            for (int i = 0; i < rows.first().size(); ++i) {
                for (const char* name : names) {
                    if (rows.first().at(i).trimmed().compare(QString::fromUtf8(name),
                                                             Qt::CaseInsensitive) == 0) {
                        return i;
                    }
                }
            }
            return -1;
        };
        const int u = column({"URL", "Address", "Адрес"});
        if (u >= 0) {
            url = u;
            description = column({"Description", "Title", "Описание"});
            category = column({"Category", "Categories", "Tags", "Категории"});
            visited = column({"Visited", "Посещена"});
            first = 1;
        }
    }
    const auto field = [](const QStringList& row, int i) {
        return i >= 0 && i < row.size() ? row.at(i) : QString();
    };
    QVector<TImportedLink> out;
    // A record's line in the file: a quoted field's own line breaks move the next ones down.
    int line = 1;
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList& row = rows.at(r);
        const int at = line;
        line += 1;
        for (const QString& f : row) {
            line += static_cast<int>(f.count(QLatin1Char('\n')));
        }
        if (r < first || (row.size() == 1 && row.first().trimmed().isEmpty())) {
            continue;  // the names of the columns, or a blank line
        }
        const QString seen = field(row, visited).trimmed().toCaseFolded();
        TImportedLink link;
        // The export guards a field a spreadsheet would run as a formula; it comes back as
        // it was.
        link.URL = CsvFormulaUnguarded(field(row, url));
        link.Category = CsvFormulaUnguarded(field(row, category));
        link.Description = CsvFormulaUnguarded(field(row, description)).left(kMaxText);
        link.Source = QCoreApplication::translate("LinkImport", "строка %1").arg(at);
        link.Line = at;
        link.Visited = seen == QLatin1String("1") || seen == QLatin1String("true") ||
                       seen == QLatin1String("yes") || seen == QStringLiteral("да");
        out.append(link);
    }
    return out;
}

QVector<TImportedLink> ReadChromiumBookmarks(const QByteArray& json) {
    QVector<TImportedLink> out;
    const QJsonObject roots =
        QJsonDocument::fromJson(json).object().value(QLatin1String("roots")).toObject();
    for (auto it = roots.constBegin(); it != roots.constEnd(); ++it) {
        if (it.value().isObject()) {
            walkChromium(it.value().toObject(), TCategoryJoin(), true, out);
        }
    }
    return out;
}

QVector<TImportedLink> ReadFirefoxPlaces(const QString& placesFile) {
    QVector<TImportedLink> out;
    QTemporaryDir copy;
    const QString file = copy.filePath(QStringLiteral("places.sqlite"));
    // The browser may hold the database open and locked: its copy is read instead.
    if (!QFile::copy(placesFile, file)) {
        throw EError(QCoreApplication::translate("LinkImport", "Не удалось прочитать файл %1")
                         .arg(placesFile));
    }
    QFile::copy(placesFile + QStringLiteral("-wal"), file + QStringLiteral("-wal"));
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto fail = [&db, &placesFile]() {
        const QString reason = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return EError(QCoreApplication::translate("LinkImport", "Не удалось прочитать файл %1")
                          .arg(placesFile) +
                      QStringLiteral("\n") + reason);
    };
    if (rc != SQLITE_OK) {
        throw fail();
    }
    struct TFolder {
        qint64 parent;
        QString title;
        QString guid;
    };
    QHash<qint64, TFolder> folders;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT id, parent, title, guid FROM moz_bookmarks WHERE type = 2",
                           -1, &st, nullptr) != SQLITE_OK) {
        throw fail();
    }
    const auto text = [&st](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)));
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        folders.insert(sqlite3_column_int64(st, 0),
                       {sqlite3_column_int64(st, 1), text(2), text(3)});
    }
    sqlite3_finalize(st);
    if (sqlite3_prepare_v2(
            db,
            "SELECT b.parent, b.title, p.url FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk "
            "WHERE b.type = 1 ORDER BY b.parent, b.position",
            -1, &st, nullptr) != SQLITE_OK) {
        throw fail();
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList path;
        bool tagged = false;
        qint64 id = sqlite3_column_int64(st, 0);
        for (int depth = 0; depth < 256 && folders.contains(id); ++depth) {
            const TFolder& f = folders[id];
            if (f.guid == QLatin1String("tags________")) {
                tagged = true;
                break;
            }
            // The roots (menu, toolbar, other, mobile) hang below the one unnamed root.
            if (f.parent == 0 || !folders.contains(f.parent) || folders[f.parent].parent == 0) {
                break;
            }
            path.prepend(f.title);
            id = f.parent;
        }
        if (!tagged) {
            out.append({text(2), joinCategories(path), description(text(1), QString()), QString(),
                        false, QString()});
        }
    }
    sqlite3_finalize(st);
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM moz_bookmarks WHERE type = 3", -1, &st,
                           nullptr) != SQLITE_OK) {
        throw fail();
    }
    const int separators = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    for (int i = 0; i < separators; ++i) {
        out.append({QString(), QString(), QString(), QString(), false, separatorReason()});
    }
    sqlite3_close(db);
    return out;
}

QStringList BrowserBookmarkFiles(const QString& home) {
    QStringList files;
    const QDir firefox(home + QStringLiteral("/.mozilla/firefox"));
    for (const QFileInfo& profile :
         firefox.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString places = profile.filePath() + QStringLiteral("/places.sqlite");
        if (QFileInfo(places).isFile()) {
            files << places;
        }
    }
    for (const char* browser : {"/.config/chromium", "/.config/google-chrome"}) {
        const QDir base(home + QLatin1String(browser));
        for (const QFileInfo& profile :
             base.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString bookmarks = profile.filePath() + QStringLiteral("/Bookmarks");
            if (QFileInfo(bookmarks).isFile()) {
                files << bookmarks;
            }
        }
    }
    return files;
}
