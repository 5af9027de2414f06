#include "platform/db/ConnectionString.h"

#include "platform/db/JetSql.h"

namespace {
bool isPasswordName(const QString& name) {
    return name.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Pwd"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Jet OLEDB:Database Password"), Qt::CaseInsensitive) == 0;
}

QString quoteIfNeeded(const QString& v) {
    if (!v.contains(QLatin1Char(';')) && !v.startsWith(QLatin1Char('"')) &&
        !v.startsWith(QLatin1Char('\'')) && v.trimmed() == v) {
        return v;
    }
    return JetQuotedString(v);
}
}  // namespace

TConnectionString::TConnectionString(const QString& text) {
    int i = 0;
    const int n = text.size();
    while (i < n) {
        const int eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0) {
            break;
        }
        const QString name = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text.at(i) == QLatin1Char(' ')) {
            ++i;
        }
        QString value;
        if (i < n && (text.at(i) == QLatin1Char('"') || text.at(i) == QLatin1Char('\''))) {
            const QChar quote = text.at(i++);
            while (i < n) {
                if (text.at(i) == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text.at(i++);
            }
            const int semi = text.indexOf(QLatin1Char(';'), i);
            i = semi < 0 ? n : semi + 1;
        } else {
            const int semi = text.indexOf(QLatin1Char(';'), i);
            const int end = semi < 0 ? n : semi;
            value = text.mid(i, end - i).trimmed();
            i = end + 1;
        }
        if (!name.isEmpty()) {
            setValue(name, value);
        }
    }
}

QString TConnectionString::value(const QString& name) const {
    for (const TPair& p : m_pairs) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            return p.value;
        }
    }
    return QString();
}

bool TConnectionString::contains(const QString& name) const {
    for (const TPair& p : m_pairs) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

void TConnectionString::setValue(const QString& name, const QString& value) {
    for (TPair& p : m_pairs) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.value = value;
            return;
        }
    }
    m_pairs.append({name, value});
}

void TConnectionString::remove(const QString& name) {
    m_pairs.erase(std::remove_if(m_pairs.begin(), m_pairs.end(),
                                 [&name](const TPair& p) {
                                     return p.name.compare(name, Qt::CaseInsensitive) == 0;
                                 }),
                  m_pairs.end());
}

QString TConnectionString::toString() const {
    QStringList parts;
    for (const TPair& p : m_pairs) {
        parts << p.name + QLatin1Char('=') + quoteIfNeeded(p.value);
    }
    return parts.join(QLatin1Char(';'));
}

QString TConnectionString::provider() const {
    const QString p = value(QStringLiteral("Provider")).trimmed();
    return p.isEmpty() ? QStringLiteral("SQLite") : p;
}

QString TConnectionString::withoutPassword() const {
    TConnectionString copy = *this;
    for (TPair& p : copy.m_pairs) {
        if (isPasswordName(p.name)) {
            p.value = QStringLiteral("***");
        }
    }
    return copy.toString();
}

bool SplitServerAddress(const QString& source, QString& host, int& port) {
    host = source.trimmed();
    port = 5432;
    QString portText;
    if (host.startsWith(QLatin1Char('['))) {
        const int end = host.indexOf(QLatin1Char(']'));
        if (end > 0) {
            if (host.mid(end + 1).startsWith(QLatin1Char(':'))) {
                portText = host.mid(end + 2);
            }
            host = host.mid(1, end - 1);
        }
    } else if (host.count(QLatin1Char(':')) == 1) {
        const int colon = host.indexOf(QLatin1Char(':'));
        portText = host.mid(colon + 1);
        host = host.left(colon);
    }
    if (portText.isEmpty()) {
        return true;
    }
    bool ok = false;
    const int p = portText.toInt(&ok);
    if (!ok || p <= 0 || p > 65535) {
        return false;
    }
    port = p;
    return true;
}
