#include "urls/ShortcutReader.h"

#include "urls/TextFiles.h"

#include <QFile>

#include <fcntl.h>

QString ReadShortcutURL(const QString& fileName) {
    return ReadShortcutURLAt(AT_FDCWD, QFile::encodeName(fileName));
}

QString ReadShortcutURLAt(int folder, const QByteArray& name) {
    QByteArray bytes;
    if (!ReadRegularFileAt(folder, name, MaxShortcutFileSize, bytes) || LooksBinary(bytes)) {
        return QString();
    }
    return IniValue(DecodeText(bytes), QStringLiteral("InternetShortcut"), QStringLiteral("URL"));
}
