#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

QString UnreadablePathProblem(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter)) {
        return QString();
    }
    // The part of the path that exists was found by its real bytes; a replacement mark in
    // the part that does not exist stands for bytes nobody can name any more.
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(existing) && !QFileInfo(existing).isSymLink()) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing) {
            break;
        }
        existing = parent;
    }
    const QString missing =
        QDir::cleanPath(QFileInfo(path).absoluteFilePath()).mid(existing.size());
    if (!missing.contains(QChar::ReplacementCharacter)) {
        return QString();
    }
    return QCoreApplication::translate(
               "FileNames",
               "Путь %1 нельзя использовать: в имени папки или файла есть байты не в кодировке "
               "UTF-8, и прочитать имя верно не удалось (на их месте «\uFFFD»). Программа не "
               "создаёт и не открывает вместо него другую папку. Переименуйте папку или "
               "выберите другой путь.")
        .arg(path);
}

bool MakeFolders(const QString& path) {
    if (!UnreadablePathProblem(path).isEmpty()) {
        return false;
    }
    return QDir().mkpath(path);
}

void ForgetUnreadableRuntimeFolder() {
    const QByteArray bytes = qgetenv("XDG_RUNTIME_DIR");
    // Valid UTF-8 reads back byte for byte; any other name comes back changed.
    if (QString::fromUtf8(bytes).toUtf8() == bytes) {
        return;
    }
    std::fprintf(stderr,
                 "XDG_RUNTIME_DIR is not UTF-8 and cannot be used as it stands; "
                 "the default runtime folder is used instead.\n");
    qunsetenv("XDG_RUNTIME_DIR");
}
