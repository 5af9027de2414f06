#include "support/HostileImports.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray ShortcutText(const QString& url) {
    return "[InternetShortcut]\r\nURL=" + url.toUtf8() + "\r\n";
}

bool MakeFolderChain(const QString& root, int depth) {
    QDir().mkpath(root);
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; fd >= 0 && level <= depth; ++level) {
        const int next = ::mkdirat(fd, "d", 0700) == 0
                             ? ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                             : -1;
        ::close(fd);
        fd = next;
        if (fd >= 0 && level % 100 == 0) {
            const int file = ::openat(fd, "x.url", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            const QByteArray text = ShortcutText(QStringLiteral("http://level%1/").arg(level));
            const bool written = file >= 0 && ::write(file, text.constData(), text.size()) ==
                                                  static_cast<ssize_t>(text.size());
            if (file >= 0) {
                ::close(file);
            }
            if (!written) {
                ::close(fd);
                return false;
            }
        }
    }
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

QByteArray ManyTagsBookmarkHtml(int links, int tagsEach) {
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    QByteArray tags;
    for (int t = 0; t < tagsEach; ++t) {
        tags += (t ? "," : "") + QByteArray("tag") + QByteArray::number(t % (tagsEach / 2 + 1));
    }
    for (int l = 0; l < links; ++l) {
        out += "<DT><A HREF=\"http://tags" + QByteArray::number(l) + "/\" TAGS=\"" + tags +
               "\">T&amp;" + QByteArray(200, '&') + "</A>\n";
    }
    return out + "</DL>\n";
}

QByteArray DeepFoldersBookmarkHtml(int depth) {
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    for (int d = 0; d < depth; ++d) {
        out += "<DT><H3>F" + QByteArray::number(d) + "</H3>\n<DL><p>\n<DT><A HREF=\"http://deep" +
               QByteArray::number(d) + "/\">D</A>\n";
    }
    for (int d = 0; d < depth; ++d) {
        out += "</DL><p>\n";
    }
    return out + "</DL>\n";
}
