#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
