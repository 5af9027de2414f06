#include "urls/ImportPreview.h"

#include "common/ConstsUnit.h"
#include "common/CsvText.h"
#include "common/TextUnit.h"
#include "platform/db/Command.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "urls/Categories.h"
#include "urls/Duplicates.h"

#include <QCoreApplication>
#include <QDate>
#include <QRegularExpression>

namespace {

constexpr int kMaxText = 255;

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

QString whatOf(const TPreviewEntry& e) {
    const QString what = !e.link.Source.isEmpty() ? e.link.Source
                         : e.url.size() > 80      ? e.url.left(80) + QChar(0x2026)
                                                  : e.url;
    return what.isEmpty() ? e.reason : what + QStringLiteral(": ") + e.reason;
}

void noteCategories(const QString& text, QStringList& names) {
    for (const QString& name : SplitCategoryNames(text)) {
        if (!HasCategoryName(names, name)) {
            names << name;
        }
    }
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
    }
    return QString();
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
        if (const auto names = reg.ReadString(QStringLiteral("IgnoredFolders"))) {
            options.ignoredFolders = SplitCategoryNames(*names);
        }
        options.allowJavaScript = reg.ReadBool(QStringLiteral("AllowJavaScript")).value_or(false);
    }
    return options;
}

void TImportOptions::Save() const {
    TRegistry reg;
    if (!reg.OpenKey(optionsKey(), true)) {
        return;
    }
    reg.WriteInteger(QStringLiteral("Duplicates"), static_cast<int>(duplicates));
    reg.WriteString(QStringLiteral("IgnoredFolders"), ignoredFolders.join(QStringLiteral("; ")));
    reg.WriteBool(QStringLiteral("AllowJavaScript"), allowJavaScript);
}

void TImportPreview::LoadExisting(TConnection& connection) {
    m_existing.clear();
    TDataSet ds;
    ds.SetConnection(&connection);
    ds.SetCommandText(QStringLiteral("SELECT SubjectURLID, URL FROM SubjectURLs"));
    ds.Open();
    const TField& key = ds.FieldByName(QStringLiteral("SubjectURLID"));
    const TField& url = ds.FieldByName(QStringLiteral("URL"));
    m_maxURL = url.Size > 0 ? url.Size : std::numeric_limits<int>::max();
    const TAddressRules rules;
    const int count = ds.RecordCount();
    m_existing.reserve(count);
    for (int pos = 0; pos < count; ++pos) {
        m_existing.insert(NormalizedAddress(ds.DisplayTextAt(pos, url), rules),
                          ds.ValueAt(pos, key));
    }
}

bool TImportPreview::Choosable(const TPreviewEntry& entry) {
    return entry.verdict != TImportVerdict::Invalid && entry.verdict != TImportVerdict::Skipped;
}

void TImportPreview::Classify(const TImportOptions& options) {
    m_options = options;
    m_entries.clear();
    m_entries.reserve(m_links.size());
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    const TAddressRules rules;
    TNameSet ignored;
    for (const QString& name : options.ignoredFolders) {
        ignored.insert(name);
    }
    const QString extra = options.extraCategory.trimmed();
    QHash<QString, int> seen;  // normalised address, first entry
    seen.reserve(m_links.size());
    for (const TImportedLink& link : m_links) {
        TPreviewEntry e;
        e.link = link;
        e.url = TrimmedFieldText(link.URL);
        QStringList names;
        for (const QString& name : SplitCategoryNames(link.Category)) {
            if (!ignored.contains(name) && !HasCategoryName(names, name)) {
                names << name;
            }
        }
        if (!extra.isEmpty() && !HasCategoryName(names, extra)) {
            names << extra;
        }
        e.category = LimitCategories(names.join(QStringLiteral("; ")), kMaxText);
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
        } else if (!startsWithScheme(e.url, "javascript:") && !looksLikeAddress(e.url)) {
            e.verdict = TImportVerdict::Invalid;
            e.reason = QCoreApplication::translate("ImportPreview", "не похоже на адрес");
        } else {
            const QString normalized = NormalizedAddress(e.url, rules);
            const auto existing = m_existing.constFind(normalized);
            const auto before = seen.constFind(normalized);
            if (existing != m_existing.constEnd()) {
                e.verdict = TImportVerdict::Duplicate;
                e.existingKey = existing.value();
                e.reason = QCoreApplication::translate("ImportPreview", "уже есть в каталоге");
            } else if (before != seen.constEnd()) {
                e.verdict = TImportVerdict::InImport;
                e.first = before.value();
                e.reason = QCoreApplication::translate("ImportPreview", "повторяет строку %1")
                               .arg(e.first + 1);
            } else {
                seen.insert(normalized, static_cast<int>(m_entries.size()));
            }
        }
        e.chosen = e.verdict == TImportVerdict::New ||
                   (Choosable(e) && options.duplicates != TDuplicateAction::Skip);
        ++m_counts[static_cast<int>(e.verdict)];
        m_entries.append(std::move(e));
    }
}

void TImportPreview::SetChosen(int entry, bool chosen) {
    if (entry >= 0 && entry < m_entries.size() && Choosable(m_entries.at(entry))) {
        m_entries[entry].chosen = chosen;
    }
}

QString TImportPreview::ReportText() const {
    QString out;
    for (const TPreviewEntry& e : m_entries) {
        QStringList fields = {ImportVerdictText(e.verdict), e.reason,   e.url,
                              e.link.Description,           e.category, e.link.Source};
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
        rows.append({ImportVerdictText(e.verdict), e.reason, e.url, e.link.Description, e.category,
                     e.link.Source});
    }
    return CsvText(rows);
}

TImportResult TImportPreview::Write(
    TConnection& connection, const std::function<void(int done, int total)>& progress) const {
    TImportResult result;
    // Merged entries first gather into the one they join: the first of their address in
    // the import, or the record the catalogue has.
    const bool merge = m_options.duplicates == TDuplicateAction::Merge;
    QVector<QString> categories(m_entries.size());
    QVector<bool> visited(m_entries.size());
    QHash<QString, int> mergeIntoRecord;  // key text, index into records
    struct TMerge {
        QVariant key;
        QStringList names;
        bool visited = false;
        QString what;
        int entries = 0;
    };
    QVector<TMerge> records;
    const auto skip = [&result](const QString& what) {
        ++result.skipped;
        if (result.skippedNames.size() < TImportResult::MaxSkippedNames) {
            result.skippedNames << what;
        }
    };
    const auto mergeInto = [&](const QVariant& key, const QString& category, bool seenMark,
                               const QString& what) {
        const QString id = key.toString();
        int at = mergeIntoRecord.value(id, -1);
        if (at < 0) {
            at = static_cast<int>(records.size());
            mergeIntoRecord.insert(id, at);
            records.append({key, {}, false, what, 0});
        }
        ++records[at].entries;
        noteCategories(category, records[at].names);
        records[at].visited = records[at].visited || seenMark;
    };
    for (int i = 0; i < m_entries.size(); ++i) {
        categories[i] = m_entries.at(i).category;
        visited[i] = m_entries.at(i).link.Visited;
    }
    for (int i = 0; i < m_entries.size(); ++i) {
        const TPreviewEntry& e = m_entries.at(i);
        if (!e.chosen || !merge) {
            continue;
        }
        if (e.verdict == TImportVerdict::Duplicate) {
            mergeInto(e.existingKey, e.category, e.link.Visited, whatOf(e));
        } else if (e.verdict == TImportVerdict::InImport) {
            const TPreviewEntry& first = m_entries.at(e.first);
            if (first.verdict == TImportVerdict::Duplicate) {
                mergeInto(first.existingKey, e.category, e.link.Visited, whatOf(e));
            } else {
                QStringList names = SplitCategoryNames(categories[e.first]);
                noteCategories(e.category, names);
                categories[e.first] = LimitCategories(names.join(QStringLiteral("; ")), kMaxText);
                visited[e.first] = visited[e.first] || e.link.Visited;
            }
        }
    }
    int total = 0;
    for (const TPreviewEntry& e : m_entries) {
        total += e.chosen ? 1 : 0;
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
            skip(whatOf(e));
            continue;
        }
        const bool insert = e.verdict == TImportVerdict::New || !merge;
        if (insert) {
            TImportedLink link = e.link;
            link.URL = e.url;
            link.Category = categories[i];
            link.Visited = visited[i];
            importer.Add(link);
            noteCategories(link.Category, result.categories);
        } else {
            ++result.merged;
        }
        step();
    }
    // A record's categories with the imported ones after them; a list that no longer fits
    // the field is not cut but left as it was, and said.
    TDataSet current;
    current.SetConnection(&connection);
    current.SetCommandText(
        QStringLiteral("SELECT Category, Visited FROM SubjectURLs WHERE SubjectURLID = :Key"));
    TCommand update;
    update.SetConnection(&connection);
    update.SetCommandText(
        QStringLiteral("UPDATE SubjectURLs SET Category = :Category, Visited = "
                       ":Visited WHERE SubjectURLID = :Key"));
    for (const TMerge& m : records) {
        current.Close();
        current.Parameters().ParamByName(QStringLiteral("Key")).SetValue(m.key);
        current.Open();
        if (current.IsEmpty()) {
            continue;  // deleted meanwhile: nothing to join
        }
        QStringList names =
            SplitCategoryNames(current.FieldByName(QStringLiteral("Category")).AsString());
        noteCategories(m.names.join(QStringLiteral("; ")), names);
        const QString text = names.join(QStringLiteral("; "));
        if (text.size() > kMaxText) {
            result.merged -= m.entries;
            result.skipped += m.entries - 1;
            skip(m.what + QStringLiteral(": ") +
                 QCoreApplication::translate("ImportPreview",
                                             "категории не помещаются в %1 символов")
                     .arg(kMaxText));
            continue;
        }
        const bool seen = current.FieldByName(QStringLiteral("Visited")).AsBoolean() || m.visited;
        update.Parameters()
            .ParamByName(QStringLiteral("Category"))
            .SetValue(text.isEmpty() ? QVariant() : QVariant(text));
        update.Parameters().ParamByName(QStringLiteral("Visited")).SetValue(seen);
        update.Parameters().ParamByName(QStringLiteral("Key")).SetValue(m.key);
        update.Execute();
        noteCategories(m.names.join(QStringLiteral("; ")), result.categories);
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

TImportPreviewModel::TImportPreviewModel(TImportPreview& preview, QObject* parent)
    : QAbstractTableModel(parent), m_preview(preview) {
    Reload();
}

void TImportPreviewModel::SetVerdictFilter(int verdict) {
    m_filter = verdict;
    Reload();
}

void TImportPreviewModel::Reload() {
    beginResetModel();
    m_rows.clear();
    const QVector<TPreviewEntry>& entries = m_preview.Entries();
    for (int i = 0; i < entries.size(); ++i) {
        if (m_filter < 0 || static_cast<int>(entries.at(i).verdict) == m_filter) {
            m_rows.append(i);
        }
    }
    endResetModel();
}

int TImportPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TImportPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant TImportPreviewModel::data(const QModelIndex& index, int role) const {
    const int entry = EntryAt(index.row());
    if (entry < 0) {
        return {};
    }
    const TPreviewEntry& e = m_preview.Entries().at(entry);
    if (role == Qt::CheckStateRole && index.column() == 0 && TImportPreview::Choosable(e)) {
        return e.chosen ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
        case 0:
            return e.url.isEmpty() ? e.link.Source : e.url;
        case 1:
            return e.link.Description;
        case 2:
            return e.category;
        case 3:
            return e.verdict == TImportVerdict::New
                       ? ImportVerdictText(e.verdict)
                       : ImportVerdictText(e.verdict) + QStringLiteral(": ") + e.reason;
    }
    return {};
}

bool TImportPreviewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int entry = EntryAt(index.row());
    if (role != Qt::CheckStateRole || index.column() != 0 || entry < 0) {
        return false;
    }
    m_preview.SetChosen(entry, value.toInt() == Qt::Checked);
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags TImportPreviewModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int entry = EntryAt(index.row());
    if (index.column() == 0 && entry >= 0 &&
        TImportPreview::Choosable(m_preview.Entries().at(entry))) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

QVariant TImportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case 0:
            return tr("Адрес");
        case 1:
            return tr("Описание");
        case 2:
            return tr("Категории");
        case 3:
            return tr("Итог");
    }
    return {};
}
