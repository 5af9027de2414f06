#include "urls/LinkImport.h"

#include "common/TextUnit.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "urls/Categories.h"

#include <QCoreApplication>

#include <limits>
#include <utility>

namespace {

constexpr int kBatch = 2000;

}  // namespace

TLinkImporter::TLinkImporter(TConnection& connection) : m_connection(connection) {
    // The limits are the catalogue's own: 2,048 characters of address and 4,000 of
    // categories in new ones, 150 and 255 in older ones.
    if (connection.Connected()) {
        TDataSet columns;
        columns.SetConnection(&connection);
        columns.SetCommandText(
            QStringLiteral("SELECT URL, Category, Description FROM SubjectURLs WHERE 1 = 0"));
        columns.Open();
        const auto sizeOf = [&columns](const char* field) {
            const int size = columns.FieldByName(QLatin1String(field)).Size;
            return size > 0 ? size : std::numeric_limits<int>::max();
        };
        m_maxURL = sizeOf("URL");
        m_maxCategory = sizeOf("Category");
        m_maxDescription = sizeOf("Description");
    }
    m_insert.SetConnection(&connection);
    m_insert.SetCommandText(
        QStringLiteral("INSERT INTO SubjectURLs (URL, Category, Description, Visited) VALUES "
                       "(:URL, :Category, :Description, :Visited)"));
}

TLinkImporter::~TLinkImporter() = default;

void TLinkImporter::noteSkipped(const QString& what) {
    if (SkippedNames.size() < MaxSkippedNames) {
        SkippedNames << what;
    }
}

void TLinkImporter::Skip(const QString& what) {
    ++Skipped;
    noteSkipped(what);
    stepped();
}

void TLinkImporter::bind(const TBatchRow& row) {
    const auto orNull = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    m_insert.Parameters().ParamByName(QStringLiteral("URL")).SetValue(row.url);
    m_insert.Parameters().ParamByName(QStringLiteral("Category")).SetValue(orNull(row.category));
    m_insert.Parameters()
        .ParamByName(QStringLiteral("Description"))
        .SetValue(orNull(row.description));
    m_insert.Parameters().ParamByName(QStringLiteral("Visited")).SetValue(row.visited);
}

void TLinkImporter::Add(const TImportedLink& link) {
    const QString url = TrimmedFieldText(link.URL);
    const QString what = !link.Source.isEmpty() ? link.Source
                         : url.size() > 80      ? url.left(80) + QChar(0x2026)
                                                : url;
    if (!link.SkipReason.isEmpty()) {
        Skip(what.isEmpty()
                 ? link.SkipReason
                 : QCoreApplication::translate("LinkImport", "%1: %2").arg(what, link.SkipReason));
        return;
    }
    if (url.isEmpty() || url.size() > m_maxURL) {
        Skip(url.isEmpty() ? QCoreApplication::translate("LinkImport", "%1: нет адреса").arg(what)
                           : QCoreApplication::translate("LinkImport", "%1: адрес длиннее %2")
                                 .arg(what)
                                 .arg(m_maxURL));
        return;
    }
    // The preview refuses such an entry before; should one come all the same, it is
    // skipped whole rather than written with categories cut off.
    if (link.Category.size() > m_maxCategory) {
        Skip(QCoreApplication::translate("LinkImport", "%1: категории длиннее %2 символов")
                 .arg(what)
                 .arg(m_maxCategory));
        return;
    }
    const TBatchRow row{url, link.Category, link.Description.left(m_maxDescription), link.Visited};
    bind(row);
    // One commit per row would cost a disk flush each; a batch keeps the rows before a
    // refused one all the same.
    if (!m_transaction) {
        m_transaction = std::make_unique<TTransaction>(m_connection);
    }
    try {
        m_insert.Execute();
    } catch (...) {
        keepBatch();
        throw;
    }
    m_batch.push_back(row);
    ++Added;
    noteCategories(row.category);
    if (++m_inBatch >= kBatch) {
        Finish();
    }
    stepped();
}

void TLinkImporter::noteCategories(const QString& text) {
    if (text.isEmpty() || m_categoryTexts.contains(text)) {
        return;
    }
    m_categoryTexts.insert(text);
    for (const QString& name : SplitCategoryNames(text)) {
        if (!m_categoryNames.contains(name.toCaseFolded())) {
            m_categoryNames.insert(name.toCaseFolded());
            Categories << name;
        }
    }
}

void TLinkImporter::Finish() {
    if (m_transaction) {
        m_transaction->Commit();
        m_transaction.reset();
    }
    m_inBatch = 0;
    m_batch.clear();
}

// A refused row leaves the transaction unusable on a server (it takes no more statements and
// would roll back at commit), so the batch is undone and its earlier rows are written again.
void TLinkImporter::keepBatch() {
    m_transaction.reset();
    const std::vector<TBatchRow> rows = std::move(m_batch);
    m_batch.clear();
    m_inBatch = 0;
    if (rows.empty()) {
        return;
    }
    TTransaction again(m_connection);
    for (const TBatchRow& row : rows) {
        bind(row);
        m_insert.Execute();
    }
    again.Commit();
}
