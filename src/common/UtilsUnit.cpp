#include "common/UtilsUnit.h"

#include "common/Clock.h"
#include "common/ConstsUnit.h"
#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "platform/FileNames.h"
#include "platform/db/FieldTypes.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

void LoadValuesList(TValuesList& list, const QString& key) {
    list.clear();
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return;
    }
    for (const TRegNamedValue& v : TRegistryStore::instance().values(key)) {
        if (v.value.type == TRegValue::Type::String) {
            list << v.name + QLatin1Char('=') + v.value.text;
        }
    }
}

void SaveValuesList(const TValuesList& list, const QString& key) {
    TRegistry reg;
    reg.DeleteKey(key);
    if (list.isEmpty() || !reg.OpenKey(key, true)) {
        return;
    }
    for (const QString& entry : list) {
        const int eq = entry.indexOf(QLatin1Char('='));
        if (eq < 0) {
            reg.WriteString(entry, QString());
        } else {
            reg.WriteString(entry.left(eq), entry.mid(eq + 1));
        }
    }
}

QString ReadRegString(const QString& key, const QString& name, const QString& defaultValue) {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return defaultValue;
    }
    return reg.ReadString(name).value_or(defaultValue);
}

bool WriteRegString(const QString& key, const QString& name, const QString& value) {
    TRegistry reg;
    return reg.OpenKey(key, true) && reg.WriteString(name, value);
}

QString LogDateTimeText(const QDateTime& when) {
    return DateTimeToStr(when);
}

void AppendLogLine(const QString& fileName, quint32 tag, const QString& message) {
    // The state folder of an installed program may not exist yet.
    MakeFolders(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return;
    }
    const QString line = LogDateTimeText(Now()) + QLatin1Char(' ') +
                         QStringLiteral("%1").arg(tag, 8, 16, QLatin1Char('0')).toUpper() +
                         QLatin1Char(' ') + message + QStringLiteral("\r\n");
    file.write(line.toUtf8());
}

void InitUtilsUnit() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    SetProgramPaths(ProgramPathsFor(ProgramFolder(), exe.completeBaseName(),
                                    qEnvironmentVariable("XDG_STATE_HOME")));
    LoadOptions(RegOptionsKey);
}
