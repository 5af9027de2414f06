#include "platform/db/ChangeNotices.h"

namespace {

// The server refuses a notice's text from 8000 bytes on; a little is kept spare.
constexpr int kLongestPayload = 7900;
// Notices kept for readers that have not caught up; a reader further behind reads whole.
constexpr std::size_t kNoticesKept = 256;
const QString kMany = QStringLiteral("*");

bool nameable(const QString& text) {
    return !text.isEmpty() && !text.contains(QLatin1Char('\t')) &&
           !text.contains(QLatin1Char('\n')) && text != kMany;
}

}  // namespace

void TChangeAnnouncement::NameRows(const QString& table, const QStringList& keys) {
    if (m_unnamed > 0) {
        --m_unnamed;
    }
    bool named = nameable(table) && !keys.isEmpty();
    for (const QString& key : keys) {
        named = named && nameable(key);
    }
    if (!named) {
        // Rows that cannot be named make the announcement "many".
        ++m_unnamed;
        return;
    }
    QStringList& rows = m_rows[table];
    for (const QString& key : keys) {
        if (!rows.contains(key)) {
            rows << key;
        }
    }
}

QString TChangeAnnouncement::Payload() const {
    if (m_unnamed > 0) {
        return kMany;
    }
    QStringList lines;
    for (const auto& entry : m_rows) {
        lines << entry.first + QLatin1Char('\t') + entry.second.join(QLatin1Char('\t'));
    }
    const QString payload = lines.join(QLatin1Char('\n'));
    return payload.toUtf8().size() > kLongestPayload ? kMany : payload;
}

void TChangeAnnouncement::Clear() {
    m_unnamed = 0;
    m_rows.clear();
}

void TChangeLog::Heard(qint64 stamp, const QString& payload) {
    TNotice notice{stamp, false, {}};
    // An empty notice comes from a program that does not name rows: "many" as well.
    notice.many = payload.isEmpty() || payload == kMany;
    if (!notice.many) {
        for (const QString& line : payload.split(QLatin1Char('\n'))) {
            QStringList fields = line.split(QLatin1Char('\t'));
            if (fields.size() < 2 || fields.first().isEmpty()) {
                notice.many = true;
                break;
            }
            const QString table = fields.takeFirst().toCaseFolded();
            notice.rows[table] += fields;
        }
    }
    if (notice.many) {
        notice.rows.clear();
    }
    m_notices.push_back(std::move(notice));
    while (m_notices.size() > kNoticesKept) {
        m_notices.pop_front();
    }
}

std::optional<QStringList> TChangeLog::KeysSince(qint64 since, qint64 upTo,
                                                 const QString& table) const {
    if (upTo <= since) {
        return QStringList();
    }
    // Every notice from since + 1 on must still be here.
    if (m_notices.empty() || m_notices.front().stamp > since + 1) {
        return std::nullopt;
    }
    QStringList keys;
    const QString folded = table.toCaseFolded();
    for (const TNotice& notice : m_notices) {
        if (notice.stamp <= since || notice.stamp > upTo) {
            continue;
        }
        if (notice.many) {
            return std::nullopt;
        }
        const auto it = notice.rows.find(folded);
        if (it != notice.rows.end()) {
            for (const QString& key : it->second) {
                if (!keys.contains(key)) {
                    keys << key;
                }
            }
        }
    }
    return keys;
}
