#include "urls/FavoritesWalk.h"

#include "urls/FolderChain.h"
#include "urls/ShortcutReader.h"
#include "urls/TextFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int e) {
    return QString::fromLocal8Bit(std::strerror(e));
}

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

struct TWalkEntry {
    QByteArray name;
    unsigned char type = DT_UNKNOWN;
};

// An open folder of the walk: its descriptor (for the entries below it) and its listing,
// read whole when it was entered.
class TWalkFolder final {
public:
    explicit TWalkFolder(int fd) : m_fd(fd) {}
    ~TWalkFolder() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    TWalkFolder(TWalkFolder&& other) noexcept
        : entries(std::move(other.entries)),
          next(other.next),
          m_fd(std::exchange(other.m_fd, -1)) {}
    TWalkFolder& operator=(TWalkFolder&&) = delete;
    TWalkFolder(const TWalkFolder&) = delete;
    TWalkFolder& operator=(const TWalkFolder&) = delete;
    int Fd() const { return m_fd; }

    std::vector<TWalkEntry> entries;
    size_t next = 0;

private:
    int m_fd;
};

// The entries of an open folder; errno set when the listing failed part way.
int listFolder(int fd, std::vector<TWalkEntry>& entries) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        return errno;
    }
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        const int e = errno;
        ::close(copy);
        return e;
    }
    int failure = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            failure = errno;
            break;
        }
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            entries.push_back({name, entry->d_type});
        }
    }
    ::closedir(dir);
    return failure;
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
               (path == rootReal || rootReal == "/" || path.startsWith(QByteArray(rootReal + '/')));
    };
    std::set<std::pair<dev_t, ino_t>> visited;
    std::vector<TWalkFolder> stack;
    TFolderChain chain;
    const auto shownOf = [&chain](const QString& name) {
        const QString path = chain.Path();
        return path.isEmpty() ? name : path + QLatin1Char('/') + name;
    };
    const auto enter = [&](int fd, const QString& name, bool counts) {
        TWalkFolder opened(fd);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) {
            return;  // seen before: a link looping back
        }
        chain.Push(name, counts);
        const int failure = listFolder(fd, opened.entries);
        if (failure != 0) {
            const QString shown = chain.Path();
            m_importer.Skip(QCoreApplication::translate("LinkImport", "%1: %2")
                                .arg(shown.isEmpty() ? folder : shown, errnoText(failure)));
        }
        stack.push_back(std::move(opened));
        m_importer.Progress();
    };
    enter(rootFd, QString(), false);
    while (!stack.empty()) {
        TWalkFolder& top = stack.back();
        if (top.next >= top.entries.size()) {
            stack.pop_back();
            chain.Pop();
            continue;
        }
        const TWalkEntry entry = top.entries[top.next++];
        const QByteArray& name = entry.name;
        const int parent = top.Fd();
        unsigned char type = entry.type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                m_importer.Skip(QCoreApplication::translate("LinkImport", "%1: %2")
                                    .arg(shownOf(DecodeName(name)), errnoText(errno)));
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
                        .arg(shownOf(DecodeName(name))));
                continue;
            }
            type = dir ? DT_DIR : DT_REG;
        }
        if (type == DT_DIR) {
            const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) {
                m_importer.Skip(QCoreApplication::translate("LinkImport", "%1: %2")
                                    .arg(shownOf(DecodeName(name)), errnoText(errno)));
                continue;
            }
            enter(fd, DecodeName(name), true);  // top may move: not used after this
            continue;
        }
        if (!isUrlName(name)) {
            continue;
        }
        TImportedLink link;
        link.URL = ReadShortcutURLAt(parent, name);
        if (!chain.Folders(link.Folders)) {
            link.SkipReason = chain.OverBudgetReason();
        }
        link.ShortcutName = DecodeName(name.chopped(4));
        link.Source = shownOf(DecodeName(name));
        m_importer.Add(link);
    }
}
