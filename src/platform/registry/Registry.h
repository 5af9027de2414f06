#pragma once

#include "platform/registry/RegistryStore.h"

#include <QString>
#include <QStringList>

#include <optional>

// A handle on one key of the settings store, in the manner of the registry API the
// program was designed around: open a key (read-only or creating it), then read,
// write, test and enumerate its values. Every path is below the one root.
class TRegistry final {
public:
    TRegistry() = default;

    bool OpenKey(const QString& key, bool canCreate);
    bool OpenKeyReadOnly(const QString& key);
    void CloseKey();

    bool KeyExists(const QString& key) const;
    bool DeleteKey(const QString& key);

    bool ValueExists(const QString& name) const;
    std::optional<TRegValue::Type> GetDataType(const QString& name) const;
    QStringList GetValueNames() const;
    QStringList GetKeyNames() const;

    // A value that is missing, or stored with the other type, reads as absent.
    std::optional<QString> ReadString(const QString& name) const;
    std::optional<qint32> ReadInteger(const QString& name) const;
    std::optional<bool> ReadBool(const QString& name) const;

    bool WriteString(const QString& name, const QString& value);
    bool WriteInteger(const QString& name, qint32 value);
    bool WriteBool(const QString& name, bool value);
    bool DeleteValue(const QString& name);

private:
    bool writable() const { return m_open && !m_readOnly; }

    QString m_key;
    bool m_open = false;
    bool m_readOnly = false;
};
