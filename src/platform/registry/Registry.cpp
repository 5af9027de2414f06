#include "platform/registry/Registry.h"

namespace {
TRegistryStore& store() {
    return TRegistryStore::instance();
}
}  // namespace

bool TRegistry::OpenKey(const QString& key, bool canCreate) {
    CloseKey();
    const bool ok = canCreate ? store().createKey(key) : store().keyExists(key);
    if (ok) {
        m_key = TRegistryStore::normalizeKey(key);
        m_open = true;
        m_readOnly = false;
    }
    return ok;
}

bool TRegistry::OpenKeyReadOnly(const QString& key) {
    CloseKey();
    if (!store().keyExists(key)) {
        return false;
    }
    m_key = TRegistryStore::normalizeKey(key);
    m_open = true;
    m_readOnly = true;
    return true;
}

void TRegistry::CloseKey() {
    m_key.clear();
    m_open = false;
    m_readOnly = false;
}

bool TRegistry::KeyExists(const QString& key) const {
    return store().keyExists(key);
}

bool TRegistry::DeleteKey(const QString& key) {
    return store().deleteKey(key);
}

bool TRegistry::ValueExists(const QString& name) const {
    return GetDataType(name).has_value();
}

std::optional<TRegValue::Type> TRegistry::GetDataType(const QString& name) const {
    if (!m_open) {
        return std::nullopt;
    }
    const auto v = store().readValue(m_key, name);
    if (!v) {
        return std::nullopt;
    }
    return v->type;
}

QStringList TRegistry::GetValueNames() const {
    QStringList names;
    if (m_open) {
        for (const TRegNamedValue& v : store().values(m_key)) {
            names << v.name;
        }
    }
    return names;
}

QStringList TRegistry::GetKeyNames() const {
    return m_open ? store().subKeyNames(m_key) : QStringList();
}

std::optional<QString> TRegistry::ReadString(const QString& name) const {
    if (!m_open) {
        return std::nullopt;
    }
    const auto v = store().readValue(m_key, name);
    if (!v || v->type != TRegValue::Type::String) {
        return std::nullopt;
    }
    return v->text;
}

std::optional<qint32> TRegistry::ReadInteger(const QString& name) const {
    if (!m_open) {
        return std::nullopt;
    }
    const auto v = store().readValue(m_key, name);
    if (!v || v->type != TRegValue::Type::Integer) {
        return std::nullopt;
    }
    return v->number;
}

std::optional<bool> TRegistry::ReadBool(const QString& name) const {
    const auto n = ReadInteger(name);
    if (!n) {
        return std::nullopt;
    }
    return *n != 0;
}

bool TRegistry::WriteString(const QString& name, const QString& value) {
    return writable() && store().writeValue(m_key, name, TRegValue::fromString(value));
}

bool TRegistry::WriteInteger(const QString& name, qint32 value) {
    return writable() && store().writeValue(m_key, name, TRegValue::fromInteger(value));
}

bool TRegistry::WriteBool(const QString& name, bool value) {
    return WriteInteger(name, value ? 1 : 0);
}

bool TRegistry::DeleteValue(const QString& name) {
    return writable() && store().deleteValue(m_key, name);
}
