#include "urls/ImportPreview.h"

#include "common/ConstsUnit.h"
#include "common/CsvText.h"
#include "common/TextUnit.h"
#include "common/WebAddress.h"
#include "platform/db/Command.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "urls/Categories.h"
#include "urls/Duplicates.h"

#include <QCoreApplication>
#include <QDate>
#include <QRegularExpression>

#include <limits>

namespace {

const QString& optionsKey() {
    static const QString key = RegRootKey + QStringLiteral("\\Import");
    return key;
}

bool startsWithScheme(const QString& url, const char* scheme) {
    return url.startsWith(QLatin1String(scheme), Qt::CaseInsensitive);
}

// Text that could be an address: no blanks or control characters inside, and a scheme
// ("mailto:", "host:8080") or a dotted name ("example.org/path").
bool looksLikeAddress(const QString& url) {
    for (const QChar c : url) {
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            return false;
        }
    }
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(url).hasMatch() || url.contains(QLatin1Char('.')) ||
           url.startsWith(QLatin1String("localhost"), Qt::CaseInsensitive);
}

QString whatOf(const TPreviewEntry& e, const QString& reason) {
    const QString what = !e.link.Source.isEmpty() ? e.link.Source
                         : e.url.size() > 80      ? e.url.left(80) + QChar(0x2026)
                                                  : e.url;
    return what.isEmpty() ? reason : what + QStringLiteral(": ") + reason;
}

// Why an entry that was not chosen was not written: its verdict's reason, or that the user
// unticked it.
QString notChosenReason(const TPreviewEntry& e) {
    return e.verdict == TImportVerdict::New || e.reason.isEmpty()
               ? QCoreApplication::translate("ImportPreview", "не отмечена")
               : e.reason;
}

void noteCategories(const QString& text, QStringList& names) {
    for (const QString& name : SplitCategoryNames(text)) {
        if (!HasCategoryName(names, name)) {
            names << name;
        }
    }
}

bool isHttps(const QString& url) {
    return startsWithScheme(url, "https:");
}

QString tooLongReason(int limit) {
    return QCoreApplication::translate("ImportPreview", "категории длиннее %1 символов").arg(limit);
}

}  // namespace

QString ImportVerdictText(TImportVerdict verdict) {
    switch (verdict) {
        case TImportVerdict::New:
            return QCoreApplication::translate("ImportPreview", "новая");
        case TImportVerdict::Duplicate:
            return QCoreApplication::translate("ImportPreview", "дубликат");
        case TImportVerdict::InImport:
            return QCoreApplication::translate("ImportPreview", "повтор в импорте");
        case TImportVerdict::Invalid:
            return QCoreApplication::translate("ImportPreview", "ошибка");
        case TImportVerdict::Skipped:
            return QCoreApplication::translate("ImportPreview", "пропущена");
        case TImportVerdict::NotWeb:
            return QCoreApplication::translate("ImportPreview", "не веб-адрес");
        case TImportVerdict::Damaged:
            return QCoreApplication::translate("ImportPreview", "повреждена");
    }
    return QString();
}

QString CategoryNameOfFolder(const QString& name) {
    QString out;
    out.reserve(name.size());
    bool blank = false;
    for (const QChar c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty()) {
            out += QLatin1Char(' ');
        }
        blank = false;
        out += c == QLatin1Char(';') ? QLatin1Char(',') : c;
    }
    return out;
}

QStringList TImportOptions::DefaultIgnoredFolders() {
    return {QStringLiteral("Bookmarks Toolbar"),
            QStringLiteral("Bookmarks Menu"),
            QStringLiteral("Other Bookmarks"),
            QStringLiteral("Панель закладок"),
            QStringLiteral("Меню закладок"),
            QStringLiteral("Другие закладки"),
            QStringLiteral("Links"),
            QStringLiteral("Избранное")};
}

QString TImportOptions::DatedCategory(const QDate& day) {
    return QCoreApplication::translate("ImportPreview", "Импорт %1").arg(day.toString(Qt::ISODate));
}

TImportOptions TImportOptions::Load() {
    TImportOptions options;
    TRegistry reg;
    if (reg.OpenKeyReadOnly(optionsKey())) {
        if (const auto d = reg.ReadInteger(QStringLiteral("Duplicates"))) {
            if (*d >= 0 && *d <= static_cast<int>(TDuplicateAction::Merge)) {
                options.duplicates = static_cast<TDuplicateAction>(*d);
            }
        }
        if (const auto f = reg.ReadInteger(QStringLiteral("Folders"))) {
            if (*f >= 0 && *f <= static_cast<int>(TFolderCategories::FolderPath)) {
                options.folders = static_cast<TFolderCategories>(*f);
            }
        }
        if (const auto names = reg.ReadString(QStringLiteral("IgnoredFolders"))) {
            options.ignoredFolders = SplitCategoryNames(*names);
        }
        options.allowJavaScript = reg.ReadBool(QStringLiteral("AllowJavaScript")).value_or(false);
        options.fragmentIsSame = reg.ReadBool(QStringLiteral("FragmentIsSame")).value_or(false);
        options.shortcutNameAsDescription =
            reg.ReadBool(QStringLiteral("ShortcutNameAsDescription")).value_or(true);
    }
    return options;
}

void TImportOptions::Save() const {
    TRegistry reg;
    if (!reg.OpenKey(optionsKey(), true)) {
        return;
    }
    reg.WriteInteger(QStringLiteral("Duplicates"), static_cast<int>(duplicates));
    reg.WriteInteger(QStringLiteral("Folders"), static_cast<int>(folders));
    reg.WriteString(QStringLiteral("IgnoredFolders"), ignoredFolders.join(QStringLiteral("; ")));
    reg.WriteBool(QStringLiteral("AllowJavaScript"), allowJavaScript);
    reg.WriteBool(QStringLiteral("FragmentIsSame"), fragmentIsSame);
    reg.WriteBool(QStringLiteral("ShortcutNameAsDescription"), shortcutNameAsDescription);
}

void TImportPreview::LoadExisting(TConnection& connection) {
    m_existingURLs.clear();
    m_existing.clear();
    m_existingFragmentIsSame.reset();
    TDataSet ds;
    ds.SetConnection(&connection);
    ds.SetCommandText(
        QStringLiteral("SELECT SubjectURLID, URL, Category, Description FROM SubjectURLs"));
    ds.Open();
    const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
    const TField& url = ds.FieldByName(QStringLiteral("URL"));
    const TField& category = ds.FieldByName(QStringLiteral("Category"));
    m_maxURL = url.Size > 0 ? url.Size : std::numeric_limits<int>::max();
    m_maxCategory = category.Size > 0 ? category.Size : std::numeric_limits<int>::max();
    const int description = ds.FieldByName(QStringLiteral("Description")).Size;
    m_maxDescription = description > 0 ? description : std::numeric_limits<int>::max();
    const int count = ds.RecordCount();
    m_existingURLs.reserve(count);
    for (int pos = 0; pos < count; ++pos) {
        m_existingURLs.append({ds.DisplayTextAt(pos, url), ds.ValueAt(pos, key)});
    }
}

void TImportPreview::indexExisting(bool fragmentIsSame) {
    if (m_existingFragmentIsSame == fragmentIsSame) {
        return;
    }
    TAddressRules rules;
    rules.fragment = fragmentIsSame;
    m_existing.clear();
    m_existing.reserve(m_existingURLs.size());
    for (const auto& [url, key] : m_existingURLs) {
        m_existing.insert(NormalizedAddress(url, rules), key);
    }
    m_existingFragmentIsSame = fragmentIsSame;
}

bool TImportPreview::Choosable(const TPreviewEntry& entry) {
    return entry.verdict != TImportVerdict::Invalid && entry.verdict != TImportVerdict::Skipped;
}

QString TImportPreview::categoriesOf(const TImportedLink& link, const TNameSet& ignored,
                                     const QString& extra) const {
    QStringList names;
    const auto add = [&names](const QString& name) {
        if (!name.isEmpty() && !HasCategoryName(names, name)) {
            names << name;
        }
    };
    for (const QString& name : SplitCategoryNames(link.Category)) {
        add(name);
    }
    // The browsers' root folders are left out where they are roots; a folder of the same
    // name deeper in the tree is the user's own.
    qsizetype from = 0;
    while (from < link.Folders.size() &&
           ignored.contains(CategoryNameOfFolder(link.Folders.at(from)))) {
        ++from;
    }
    if (m_options.folders == TFolderCategories::FolderPath) {
        QStringList path;
        for (qsizetype i = from; i < link.Folders.size(); ++i) {
            // A "/" inside one folder's name would read as a level of its own.
            QString name = CategoryNameOfFolder(link.Folders.at(i));
            name.replace(QLatin1Char('/'), QChar(0x2215));
            if (!name.isEmpty()) {
                path << name;
            }
        }
        add(path.join(QLatin1Char('/')));
    } else {
        for (qsizetype i = from; i < link.Folders.size(); ++i) {
            add(CategoryNameOfFolder(link.Folders.at(i)));
        }
    }
    for (const QString& tag : link.Tags) {
        add(CategoryNameOfFolder(tag));
    }
    if (!extra.isEmpty() && !HasCategoryName(names, extra)) {
        names << extra;
    }
    return names.join(QStringLiteral("; "));
}

void TImportPreview::Classify(const TImportOptions& options) {
    m_options = options;
    m_entries.clear();
    m_entries.reserve(m_links.size());
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    indexExisting(options.fragmentIsSame);
    TAddressRules rules;
    rules.fragment = options.fragmentIsSame;
    TNameSet ignored;
    for (const QString& name : options.ignoredFolders) {
        ignored.insert(name);
    }
    const QString extra = CategoryNameOfFolder(options.extraCategory);
    // The entries of one address in the import, in the order read: the one kept comes first
    // once the group is complete.
    QHash<QString, QVector<int>> groups;
    QVector<QString> keys;
    groups.reserve(m_links.size());
    for (int i = 0; i < m_links.size(); ++i) {
        const TImportedLink& link = m_links.at(i);
        TPreviewEntry e;
        e.link = link;
        e.url = TrimmedFieldText(link.URL);
        e.description = link.Description;
        if (e.description.trimmed().isEmpty() && options.shortcutNameAsDescription) {
            e.description = link.ShortcutName.simplified();
        }
        e.category = categoriesOf(link, ignored, extra);
        QString key;
        if (!link.SkipReason.isEmpty()) {
            e.verdict = TImportVerdict::Skipped;
            e.reason = link.SkipReason;
        } else if (startsWithScheme(e.url, "place:")) {
            e.verdict = TImportVerdict::Skipped;
            e.reason = QCoreApplication::translate("ImportPreview", "запрос браузера (place:)");
        } else if (startsWithScheme(e.url, "javascript:") && !options.allowJavaScript) {
            e.verdict = TImportVerdict::Skipped;
            e.reason = QCoreApplication::translate("ImportPreview", "букмарклет (javascript:)");
        } else if (e.url.isEmpty()) {
            e.verdict = TImportVerdict::Invalid;
            e.reason = QCoreApplication::translate("ImportPreview", "нет адреса");
        } else if (e.url.size() > m_maxURL) {
            e.verdict = TImportVerdict::Invalid;
            e.reason =
                QCoreApplication::translate("ImportPreview", "адрес длиннее %1").arg(m_maxURL);
        } else if (!startsWithScheme(e.url, "javascript:") && !looksLikeAddress(e.url) &&
                   IsWebAddress(e.url)) {
            // A local path is no broken address: it is shown as one that is no web address.
            e.verdict = TImportVerdict::Invalid;
            e.reason = QCoreApplication::translate("ImportPreview", "не похоже на адрес");
        } else if (e.category.size() > m_maxCategory) {
            e.verdict = TImportVerdict::Invalid;
            e.reason = tooLongReason(m_maxCategory);
        } else {
            key = NormalizedAddress(e.url, rules);
            groups[key].append(i);
        }
        keys.append(key);
        m_entries.append(std::move(e));
    }
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        QVector<int>& members = it.value();
        // When an http and an https copy of one address meet, the https one is kept, as the
        // duplicates window keeps it.
        if (members.size() > 1 && !isHttps(m_entries.at(members.first()).url)) {
            for (int m = 1; m < members.size(); ++m) {
                if (isHttps(m_entries.at(members.at(m)).url)) {
                    std::rotate(members.begin(), members.begin() + m, members.begin() + m + 1);
                    break;
                }
            }
        }
        const auto existing = m_existing.constFind(it.key());
        const int kept = members.first();
        for (const int i : members) {
            TPreviewEntry& e = m_entries[i];
            if (existing != m_existing.constEnd()) {
                e.verdict = TImportVerdict::Duplicate;
                e.existingKey = existing.value();
                e.reason = QCoreApplication::translate("ImportPreview", "уже есть в каталоге");
            } else if (i != kept) {
                const TPreviewEntry& k = m_entries.at(kept);
                e.verdict = TImportVerdict::InImport;
                e.first = kept;
                e.reason = k.link.Line > 0
                               ? QCoreApplication::translate("ImportPreview", "повторяет строку %1")
                                     .arg(k.link.Line)
                               : QCoreApplication::translate("ImportPreview", "повторяет запись %1")
                                     .arg(kept + 1);
            }
        }
    }
    for (int i = 0; i < m_entries.size(); ++i) {
        TPreviewEntry& e = m_entries[i];
        bool doubtful = false;
        if (Choosable(e)) {
            // A doubtful address is written only when the user ticks it.
            const TAddressToOpen open = AddressToOpen(e.url);
            QString doubt;
            TImportVerdict verdict = e.verdict;
            if (!e.link.Damage.isEmpty()) {
                doubt = e.link.Damage;
                verdict = TImportVerdict::Damaged;
            } else if (open.url.isEmpty() && !startsWithScheme(e.url, "javascript:")) {
                doubt = open.refusal;
                verdict = TImportVerdict::NotWeb;
            }
            if (!doubt.isEmpty()) {
                doubtful = true;
                if (e.verdict == TImportVerdict::New) {
                    e.verdict = verdict;
                    e.reason = doubt;
                } else {
                    e.reason += QStringLiteral("; ") + ImportVerdictText(verdict) +
                                QStringLiteral(": ") + doubt;
                }
            }
        }
        const bool byDefault =
            !doubtful && (e.verdict == TImportVerdict::New ||
                          (Choosable(e) && options.duplicates != TDuplicateAction::Skip));
        // A title longer than the catalogue's field is shortened visibly, and said.
        if (Choosable(e) && e.description.size() > m_maxDescription) {
            e.description = e.description.left(m_maxDescription - 1) + QChar(0x2026);
            const QString note =
                QCoreApplication::translate("ImportPreview", "описание сокращено до %1 символов")
                    .arg(m_maxDescription);
            e.reason = e.reason.isEmpty() ? note : e.reason + QStringLiteral("; ") + note;
        }
        const std::optional<bool>& own = m_userChoice.at(i);
        e.chosen = Choosable(e) && own.value_or(byDefault);
        ++m_counts[static_cast<int>(e.verdict)];
    }
}

void TImportPreview::SetChosen(int entry, bool chosen) {
    if (entry >= 0 && entry < m_entries.size() && Choosable(m_entries.at(entry))) {
        m_entries[entry].chosen = chosen;
        m_userChoice[entry] = chosen;
    }
}

QString TImportPreview::ReportText() const {
    QString out;
    for (const TPreviewEntry& e : m_entries) {
        QStringList fields = {ImportVerdictText(e.verdict),
                              e.reason,
                              e.url,
                              e.description,
                              e.category,
                              e.link.Source};
        // A field's own tabs and line breaks would break the line into columns.
        for (QString& f : fields) {
            f.replace(QRegularExpression(QStringLiteral("[\\t\\r\\n]")), QStringLiteral(" "));
        }
        out += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

QString TImportPreview::ReportCsv() const {
    QVector<QStringList> rows = {{QCoreApplication::translate("ImportPreview", "Итог"),
                                  QCoreApplication::translate("ImportPreview", "Причина"),
                                  QStringLiteral("URL"), QStringLiteral("Description"),
                                  QStringLiteral("Category"),
                                  QCoreApplication::translate("ImportPreview", "Источник")}};
    for (const TPreviewEntry& e : m_entries) {
        rows.append({ImportVerdictText(e.verdict), e.reason, e.url, e.description, e.category,
                     e.link.Source});
    }
    return CsvText(rows, TCsvFormulas::Guard);
}

TImportResult TImportPreview::Write(
    TConnection& connection, const std::function<void(int done, int total)>& progress) const {
    TImportResult result;
    const bool merge = m_options.duplicates == TDuplicateAction::Merge;
    const auto skip = [&result](const QString& what) {
        ++result.skipped;
        if (result.skippedNames.size() < TImportResult::MaxSkippedNames) {
            result.skippedNames << what;
        }
    };
    // In merge mode the chosen entries of one address gather into one: the record the
    // catalogue has, else the kept entry of the import, else — when the user unticked that
    // one — the first of them the user chose, which is then written as the new record.
    QVector<int> target(m_entries.size(), -1);  // entry whose record an entry joins
    QVector<QString> categories(m_entries.size());
    QVector<bool> visited(m_entries.size());
    QVector<bool> refused(m_entries.size());
    QVector<QString> urls(m_entries.size());
    for (int i = 0; i < m_entries.size(); ++i) {
        categories[i] = m_entries.at(i).category;
        visited[i] = m_entries.at(i).link.Visited;
        urls[i] = m_entries.at(i).url;
    }
    if (merge) {
        QHash<int, int> groupTarget;  // kept entry, the entry written for the group
        for (int i = 0; i < m_entries.size(); ++i) {
            const TPreviewEntry& e = m_entries.at(i);
            if (!e.chosen || e.verdict != TImportVerdict::InImport) {
                continue;
            }
            const int kept = e.first;
            auto at = groupTarget.find(kept);
            if (at == groupTarget.end()) {
                at = groupTarget.insert(kept, m_entries.at(kept).chosen ? kept : i);
            }
            if (at.value() == i) {
                continue;  // written itself
            }
            const int into = at.value();
            QStringList names = SplitCategoryNames(categories[into]);
            noteCategories(categories[i], names);
            const QString joined = names.join(QStringLiteral("; "));
            if (joined.size() > m_maxCategory) {
                refused[i] = true;
                continue;
            }
            categories[into] = joined;
            visited[into] = visited[into] || visited[i];
            // The record written keeps an https copy's address over an http one.
            if (isHttps(urls[i]) && !isHttps(urls[into])) {
                urls[into] = urls[i];
            }
            target[i] = into;
        }
    }
    struct TMerge {
        QVariant key;
        QVector<int> entries;
    };
    QVector<TMerge> records;
    QHash<QString, int> mergeIntoRecord;  // key text, index into records
    int total = 0;
    for (int i = 0; i < m_entries.size(); ++i) {
        const TPreviewEntry& e = m_entries.at(i);
        total += e.chosen ? 1 : 0;
        if (!e.chosen || !merge || e.verdict != TImportVerdict::Duplicate) {
            continue;
        }
        const QString id = e.existingKey.toString();
        int at = mergeIntoRecord.value(id, -1);
        if (at < 0) {
            at = static_cast<int>(records.size());
            mergeIntoRecord.insert(id, at);
            records.append({e.existingKey, {}});
        }
        records[at].entries.append(i);
    }
    TTransaction transaction(connection);
    TLinkImporter importer(connection);
    int done = 0;
    const auto step = [&]() {
        if (progress && ++done % 64 == 0) {
            progress(done, total);
        }
    };
    for (int i = 0; i < m_entries.size(); ++i) {
        const TPreviewEntry& e = m_entries.at(i);
        if (!e.chosen) {
            skip(whatOf(e, notChosenReason(e)));
            continue;
        }
        step();
        if (refused[i]) {
            skip(whatOf(e, tooLongReason(m_maxCategory)));
        } else if (target[i] >= 0) {
            ++result.merged;
        } else if (!merge || e.verdict != TImportVerdict::Duplicate) {
            TImportedLink link = e.link;
            link.URL = urls[i];
            link.Description = e.description;
            link.Category = categories[i];
            link.Visited = visited[i];
            const int skippedBefore = importer.Skipped;
            importer.Add(link);
            if (importer.Skipped == skippedBefore) {
                noteCategories(link.Category, result.categories);
            }
        }
        // A duplicate joining a record is counted below, once its record took it.
    }
    // A record's categories with the imported ones after them; a list that no longer fits
    // the field is not cut but left as it was, and said.
    TDataSet current;
    current.SetConnection(&connection);
    current.SetCommandText(
        QStringLiteral("SELECT URL, Category, Visited FROM SubjectURLs WHERE SubjectURLID = :Key"));
    TCommand update;
    update.SetConnection(&connection);
    update.SetCommandText(
        QStringLiteral("UPDATE SubjectURLs SET URL = :URL, Category = :Category, Visited = "
                       ":Visited WHERE SubjectURLID = :Key"));
    for (const TMerge& m : records) {
        current.Close();
        current.Parameters().ParamByName(QStringLiteral("Key")).SetValue(m.key);
        current.Open();
        const auto refuseAll = [&](const QString& reason) {
            for (const int i : m.entries) {
                skip(whatOf(m_entries.at(i), reason));
            }
        };
        if (current.IsEmpty()) {
            refuseAll(QCoreApplication::translate("ImportPreview",
                                                  "запись удалена из каталога во время импорта"));
            continue;
        }
        // Each entry joins as long as the record's field takes it: one that does not fit is
        // refused alone, the others still join.
        QStringList names =
            SplitCategoryNames(current.FieldByName(QStringLiteral("Category")).AsString());
        QString url = current.FieldByName(QStringLiteral("URL")).AsString();
        bool seen = current.FieldByName(QStringLiteral("Visited")).AsBoolean();
        QStringList taken;
        int joined = 0;
        for (const int i : m.entries) {
            const TPreviewEntry& e = m_entries.at(i);
            QStringList more = names;
            noteCategories(e.category, more);
            if (more.join(QStringLiteral("; ")).size() > m_maxCategory) {
                skip(whatOf(e, tooLongReason(m_maxCategory)));
                continue;
            }
            names = more;
            noteCategories(e.category, taken);
            seen = seen || e.link.Visited;
            if (isHttps(e.url) && !isHttps(url)) {
                url = e.url;
            }
            ++joined;
        }
        if (joined == 0) {
            continue;
        }
        const QString text = names.join(QStringLiteral("; "));
        update.Parameters().ParamByName(QStringLiteral("URL")).SetValue(url);
        update.Parameters()
            .ParamByName(QStringLiteral("Category"))
            .SetValue(text.isEmpty() ? QVariant() : QVariant(text));
        update.Parameters().ParamByName(QStringLiteral("Visited")).SetValue(seen);
        update.Parameters().ParamByName(QStringLiteral("Key")).SetValue(m.key);
        update.Execute();
        result.merged += joined;
        noteCategories(taken.join(QStringLiteral("; ")), result.categories);
    }
    importer.Finish();
    transaction.Commit();
    result.added = importer.Added;
    result.skipped += importer.Skipped;
    for (const QString& name : importer.SkippedNames) {
        if (result.skippedNames.size() < TImportResult::MaxSkippedNames) {
            result.skippedNames << name;
        }
    }
    if (progress) {
        progress(total, total);
    }
    return result;
}

void TImportCollector::Add(const TImportedLink& link) {
    m_preview.Append(link);
    ++m_entries;
    stepped();
}

void TImportCollector::Skip(const QString& what) {
    TImportedLink link;
    link.SkipReason = what;
    m_preview.Append(link);
    ++m_entries;
    stepped();
}
