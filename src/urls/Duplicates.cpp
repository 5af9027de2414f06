#include "urls/Duplicates.h"

#include "platform/Errors.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "urls/Categories.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

bool isTracking(const QString& parameter) {
    const QString name = parameter.section(QLatin1Char('='), 0, 0);
    return name.startsWith(QLatin1String("utm_"), Qt::CaseInsensitive) ||
           name.compare(QLatin1String("fbclid"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("gclid"), Qt::CaseInsensitive) == 0;
}

// The host of an address in normal form ("scheme://authority..."), as written: without
// the user, the port and an IPv6 literal's brackets.
QString hostAsWritten(const QString& normalized) {
    const int sep = normalized.indexOf(QLatin1String("://"));
    if (sep < 0) {
        return QString();
    }
    QString authority = normalized.mid(sep + 3);
    for (int i = 0; i < authority.size(); ++i) {
        const QChar c = authority.at(i);
        if (c == QLatin1Char('/') || c == QLatin1Char('?') || c == QLatin1Char('#')) {
            authority.truncate(i);
            break;
        }
    }
    authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    if (authority.startsWith(QLatin1Char('['))) {
        const int close = authority.indexOf(QLatin1Char(']'));
        return close > 0 ? authority.mid(1, close - 1) : QString();
    }
    return authority.section(QLatin1Char(':'), 0, 0);
}

}  // namespace

QString NormalizedAddress(const QString& address, const TAddressRules& rules) {
    const QString text = address.trimmed();
    // A scheme is letters, digits, "+", "-" and "." after a letter (RFC 3986, section 3.1);
    // "//" anywhere else is part of the path.
    const int sep = text.indexOf(QLatin1String("://"));
    bool schemed = sep > 0 && text.at(0).isLetter();
    for (int i = 0; schemed && i < sep; ++i) {
        const QChar c = text.at(i);
        schemed = c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('-') ||
                  c == QLatin1Char('.');
    }
    QString scheme = schemed ? text.left(sep) : QStringLiteral("http");
    QString rest = schemed ? text.mid(sep + 3) : text;
    // The authority runs to the first "/", "?" or "#" (RFC 3986, section 3.2).
    int end = 0;
    while (end < rest.size() && rest.at(end) != QLatin1Char('/') &&
           rest.at(end) != QLatin1Char('?') && rest.at(end) != QLatin1Char('#')) {
        ++end;
    }
    QString authority = rest.left(end);
    QString tail = rest.mid(end);
    QString fragment;
    if (const int hash = tail.indexOf(QLatin1Char('#')); hash >= 0) {
        fragment = tail.mid(hash);
        tail.truncate(hash);
    }
    QString query;
    if (const int mark = tail.indexOf(QLatin1Char('?')); mark >= 0) {
        query = tail.mid(mark + 1);
        tail.truncate(mark);
    }
    QString path = tail;

    const QString lowerScheme = scheme.toLower();
    if (rules.schemeAndHostCase) {
        scheme = lowerScheme;
        authority = authority.toLower();
    }
    if (rules.defaultPort) {
        const QLatin1String port(lowerScheme == QLatin1String("https") ? ":443" : ":80");
        if ((lowerScheme == QLatin1String("http") || lowerScheme == QLatin1String("https")) &&
            authority.endsWith(port)) {
            authority.chop(port.size());
        }
    }
    if (rules.httpIsHttps && lowerScheme == QLatin1String("https")) {
        scheme = scheme.left(4);
    }
    if (rules.leadingWww) {
        const int at = authority.lastIndexOf(QLatin1Char('@')) + 1;
        if (authority.mid(at).startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
            authority.remove(at, 4);
        }
    }
    if (rules.trailingSlash && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    if (rules.fragment) {
        fragment.clear();
    }
    if (rules.trackingParameters || rules.parameterOrder) {
        QStringList parameters = query.split(QLatin1Char('&'), Qt::SkipEmptyParts);
        if (rules.trackingParameters) {
            parameters.erase(std::remove_if(parameters.begin(), parameters.end(), isTracking),
                             parameters.end());
        }
        if (rules.parameterOrder) {
            std::stable_sort(parameters.begin(), parameters.end());
        }
        query = parameters.join(QLatin1Char('&'));
    }
    return scheme + QStringLiteral("://") + authority + path +
           (query.isEmpty() ? QString() : QLatin1Char('?') + query) + fragment;
}

int DefaultKept(const TDuplicateGroup& group) {
    for (int i = 0; i < group.records.size(); ++i) {
        if (group.records.at(i).url.trimmed().startsWith(QLatin1String("https:"),
                                                         Qt::CaseInsensitive)) {
            return i;
        }
    }
    return 0;
}

QVector<TDuplicateRecord> TDuplicates::Holding(const QString& address, const TAddressRules& rules,
                                               const QVariant& except) {
    const QString normalized = NormalizedAddress(address, rules);
    // Only records naming the host can hold the address: the server or the engine finds
    // those, and the rules are asked of them alone. A host with a LIKE wildcard in it
    // (none is legal) reads every record. The host is taken as the normal form writes it:
    // the rules compare texts, and QUrl would decode percent escapes and punycode, which
    // the stored text need not hold.
    QString host = hostAsWritten(normalized);
    if (rules.leadingWww && host.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        host = host.mid(4);
    }
    const bool narrowed = !host.isEmpty() && !host.contains(QLatin1Char('%')) &&
                          !host.contains(QLatin1Char('_')) && !host.contains(QLatin1Char('"'));
    TDataSet ds;
    ds.SetConnection(&m_connection);
    ds.SetCommandText(
        QStringLiteral(
            "SELECT SubjectURLID, URL, Description, Category, Visited FROM SubjectURLs") +
        (narrowed ? QStringLiteral(" WHERE URL LIKE :P") : QString()));
    if (narrowed) {
        ds.Parameters()
            .ParamByName(QStringLiteral("P"))
            .SetValue(QString(QLatin1Char('%') + host + QLatin1Char('%')));
    }
    ds.Open();
    const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
    const TField& url = ds.FieldByName(QStringLiteral("URL"));
    QVector<TDuplicateRecord> held;
    for (int pos = 0; pos < ds.RecordCount(); ++pos) {
        const QVariant k = ds.ValueAt(pos, key);
        const QString text = ds.DisplayTextAt(pos, url);
        if (k.toString().compare(except.toString(), Qt::CaseInsensitive) != 0 &&
            NormalizedAddress(text, rules) == normalized) {
            held.append({k, text,
                         ds.DisplayTextAt(pos, ds.FieldByName(QStringLiteral("Description"))),
                         ds.DisplayTextAt(pos, ds.FieldByName(QStringLiteral("Category"))),
                         ds.ValueAt(pos, ds.FieldByName(QStringLiteral("Visited"))).toBool()});
        }
    }
    return held;
}

QVector<TDuplicateGroup> TDuplicates::Find(const TAddressRules& rules) {
    TDataSet ds;
    ds.SetConnection(&m_connection);
    ds.SetCommandText(QStringLiteral(
        "SELECT SubjectURLID, URL, Description, Category, Visited FROM SubjectURLs"));
    ds.Open();
    const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
    const TField& url = ds.FieldByName(QStringLiteral("URL"));
    const TField& description = ds.FieldByName(QStringLiteral("Description"));
    const TField& category = ds.FieldByName(QStringLiteral("Category"));
    const TField& visited = ds.FieldByName(QStringLiteral("Visited"));
    // A million addresses are told apart by a hash of their normal form, chained by
    // position; only the chains of two or more are compared as texts.
    const int count = ds.RecordCount();
    std::vector<int> previous(static_cast<std::size_t>(count), -1);
    std::unordered_map<std::size_t, int> last;
    last.reserve(static_cast<std::size_t>(count));
    for (int pos = 0; pos < count; ++pos) {
        const std::size_t h = qHash(NormalizedAddress(ds.DisplayTextAt(pos, url), rules));
        auto [at, added] = last.try_emplace(h, pos);
        if (!added) {
            previous[static_cast<std::size_t>(pos)] = at->second;
            at->second = pos;
        }
    }
    QVector<TDuplicateGroup> groups;
    for (const auto& chain : last) {
        const int end = chain.second;
        if (previous[static_cast<std::size_t>(end)] < 0) {
            continue;
        }
        QHash<QString, int> byText;  // a hash shared by other addresses is split here
        for (int pos = end; pos >= 0; pos = previous[static_cast<std::size_t>(pos)]) {
            const QString address = ds.DisplayTextAt(pos, url);
            const QString normalized = NormalizedAddress(address, rules);
            int group = byText.value(normalized, -1);
            if (group < 0) {
                group = static_cast<int>(groups.size());
                byText.insert(normalized, group);
                groups.append({normalized, {}});
            }
            groups[group].records.append(
                {ds.ValueAt(pos, key), address, ds.DisplayTextAt(pos, description),
                 ds.DisplayTextAt(pos, category), ds.ValueAt(pos, visited).toBool()});
        }
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(),
                                [](const TDuplicateGroup& g) { return g.records.size() < 2; }),
                 groups.end());
    for (TDuplicateGroup& g : groups) {
        std::sort(g.records.begin(), g.records.end(),
                  [](const TDuplicateRecord& a, const TDuplicateRecord& b) {
                      const int c = a.url.compare(b.url, Qt::CaseInsensitive);
                      return c != 0 ? c < 0 : a.key.toString() < b.key.toString();
                  });
    }
    std::sort(groups.begin(), groups.end(), [](const TDuplicateGroup& a, const TDuplicateGroup& b) {
        return a.records.size() != b.records.size() ? a.records.size() > b.records.size()
                                                    : a.normalized < b.normalized;
    });
    return groups;
}

void TDuplicates::Merge(const TDuplicateGroup& group, int kept) {
    if (kept < 0 || kept >= group.records.size()) {
        return;
    }
    const TDuplicateRecord& keep = group.records.at(kept);
    QStringList names = SplitCategoryNames(keep.category);
    QStringList descriptions;
    if (!keep.description.trimmed().isEmpty()) {
        descriptions << keep.description.trimmed();
    }
    bool visited = keep.visited;
    for (int i = 0; i < group.records.size(); ++i) {
        const TDuplicateRecord& r = group.records.at(i);
        if (i == kept) {
            continue;
        }
        for (const QString& n : SplitCategoryNames(r.category)) {
            if (!HasCategoryName(names, n)) {
                names << n;
            }
        }
        const QString d = r.description.trimmed();
        if (!d.isEmpty() && !descriptions.contains(d)) {
            descriptions << d;
        }
        visited = visited || r.visited;
    }
    const QString category = names.join(QStringLiteral("; "));
    const QString description = descriptions.join(QStringLiteral(" | "));
    // The catalogue's own sizes: categories hold 4,000 characters in new catalogues, 255
    // in older ones.
    for (const auto& [text, column, what] :
         {std::tuple{category, QStringLiteral("Category"),
                     QCoreApplication::translate("Duplicates", "категории")},
          std::tuple{description, QStringLiteral("Description"),
                     QCoreApplication::translate("Duplicates", "описания")}}) {
        const int size = URLFieldSize(m_connection, column);
        if (text.size() > size) {
            throw EError(
                QCoreApplication::translate(
                    "Duplicates", "Записи «%1» не объединены: их %2 вместе длиннее %3 символов.")
                    .arg(keep.url, what)
                    .arg(size));
        }
    }
    // Each record must still hold what it held when the group was found: a change made
    // since by somebody else is never merged over, nor a changed record deleted.
    const auto asRead = [](const TDuplicateRecord& r, QVariantMap& params) {
        params.insert(QStringLiteral("ID"), r.key.toString());
        params.insert(QStringLiteral("U"), r.url);
        QString where = QStringLiteral("SubjectURLID = :ID AND URL = :U");
        for (const auto& [column, value, name] :
             {std::tuple{QStringLiteral("Description"), r.description, QStringLiteral("OD")},
              std::tuple{QStringLiteral("Category"), r.category, QStringLiteral("OC")}}) {
            if (value.isEmpty()) {
                where += QStringLiteral(" AND (%1 IS NULL OR %1 = '')").arg(column);
            } else {
                where += QStringLiteral(" AND %1 = :%2").arg(column, name);
                params.insert(name, value);
            }
        }
        params.insert(QStringLiteral("OV"), r.visited);
        where += r.visited ? QStringLiteral(" AND Visited = :OV")
                           : QStringLiteral(" AND (Visited = :OV OR Visited IS NULL)");
        return where;
    };
    const auto changed = [&keep](const TDuplicateRecord& r) {
        return EConflictError(
            QCoreApplication::translate("Duplicates",
                                        "Записи «%1» не объединены: запись «%2» изменил или "
                                        "удалил другой пользователь после поиска. Найдите "
                                        "дубликаты заново.")
                .arg(keep.url, r.url));
    };
    // Merges that share records may deadlock each other; the server breaks that off and the
    // merge runs again, from the same records as found.
    RunTransaction(m_connection, [&]() {
        QVariantMap params{
            {QStringLiteral("C"), category.isEmpty() ? QVariant() : QVariant(category)},
            {QStringLiteral("D"), description.isEmpty() ? QVariant() : QVariant(description)},
            {QStringLiteral("V"), visited}};
        const QString where = asRead(keep, params);
        if (m_connection.Execute(QStringLiteral("UPDATE SubjectURLs SET Category = :C, "
                                                "Description = :D, Visited = :V WHERE ") +
                                     where,
                                 params) != 1) {
            throw changed(keep);
        }
        for (int i = 0; i < group.records.size(); ++i) {
            if (i == kept) {
                continue;
            }
            QVariantMap old;
            const QString one = asRead(group.records.at(i), old);
            if (m_connection.Execute(QStringLiteral("DELETE FROM SubjectURLs WHERE ") + one, old) !=
                1) {
                throw changed(group.records.at(i));
            }
            // A merge is stored whole or not at all: one deleted record tells which.
            const QString gone = group.records.at(i).key.toString();
            m_connection.SetWitness([this, gone]() {
                return m_connection
                           .Value(QStringLiteral("SELECT count(*) FROM SubjectURLs WHERE "
                                                 "SubjectURLID = :ID"),
                                  {{QStringLiteral("ID"), gone}})
                           .toLongLong() == 0;
            });
        }
    });
}
