#include "platform/db/TextSearch.h"

#include "platform/db/FieldTypes.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace {
constexpr qint64 kDayMs = 86400000;
// Rows read in the view's order before the whole store is read: most searches end near
// where they begin.
constexpr int kAlone = 4096;
// Rows a core takes at a time when the store is read by several.
constexpr std::size_t kChunk = 16384;

using TSecondTexts = std::vector<std::string>;

// " " and the time of every second of a day as DateTimeToStr writes it, made once for each
// format, as a million check times hold most seconds of a day; null for a format that
// shows milliseconds.
std::shared_ptr<const TSecondTexts> secondTexts() {
    static std::mutex lock;
    static QString madeFor;
    static std::shared_ptr<const TSecondTexts> made;
    const QString format = ShownTimeFormat();
    if (format.contains(QLatin1Char('z'))) {
        return nullptr;
    }
    const std::lock_guard<std::mutex> guard(lock);
    if (!made || format != madeFor) {
        auto texts = std::make_shared<TSecondTexts>(86400);
        for (int s = 0; s < 86400; ++s) {
            (*texts)[static_cast<std::size_t>(s)] =
                ' ' + QTime::fromMSecsSinceStartOfDay(s * 1000).toString(format).toStdString();
        }
        made = texts;
        madeFor = format;
    }
    return made;
}
}  // namespace

// What one core needs to read rows: the needle's scan, and what is known of the days met
// so far (a column of a million check times holds a few hundred) and of the seconds of a
// day, so that a date's text is made and read once, not once a row.
class TTextSearch::TReader {
public:
    explicit TReader(const TTextSearch& search)
        : scan(nullptr, 0, search.m_needle), m_search(search) {}

    TFoldedScan scan;

    // Whether a cell of a column that is not text shows the text.
    bool Shows(const TSearchColumn& column, const TCellView& cell) {
        if (column.kind == TSearchColumn::Integer && cell.tag == TCellView::Integer) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, cell.integer()).ptr;
            return m_search.matches(digits, static_cast<std::size_t>(end - digits));
        }
        if (column.kind == TSearchColumn::DateTime &&
            (cell.tag == TCellView::Real || cell.tag == TCellView::Integer)) {
            const int verdict = dateShows(cell.real());
            if (verdict >= 0) {
                return verdict == 1;
            }
        }
        const std::string shown = column.shown(cell).toStdString();
        return m_search.matches(shown.data(), shown.size());
    }

private:
    struct TDay {
        bool plain = false;    // its clock runs 24 hours from midnight
        bool holds = false;    // its date's text shows the text
        bool decides = false;  // when not, the time's text alone can tell
    };

    // 1 or 0 when the text DateTimeToStr gives for a day number shows the text or not; -1
    // when only that whole text can tell: a day whose clock jumps, a time shown to the
    // millisecond, a text that may run from the date into the time, a number that is no
    // date.
    int dateShows(double days) {
        if (!std::isfinite(days) || std::fabs(days) > 4e8) {
            return -1;
        }
        const double whole = std::floor(days);
        const qint64 ms = std::llround((days - whole) * double(kDayMs));
        if (ms >= kDayMs) {
            return -1;
        }
        const TDay& day = dayOf(static_cast<qint64>(whole));
        if (!day.plain) {
            return -1;
        }
        if (ms == 0 || day.holds) {
            return day.holds ? 1 : 0;  // the date alone, or a text the date already shows
        }
        if (!day.decides) {
            return -1;
        }
        if (!m_search.m_anywhere) {
            return 0;  // the date's beginning is not the text's
        }
        if (!m_secondsAsked) {
            m_seconds = secondTexts();
            m_secondsAsked = true;
            m_secondHolds.assign(86400, -1);
        }
        if (!m_seconds) {
            return -1;
        }
        const auto second = static_cast<std::size_t>(ms / 1000);
        if (m_secondHolds[second] < 0) {
            const std::string& time = (*m_seconds)[second];
            m_secondHolds[second] = m_search.matches(time.data(), time.size()) ? 1 : 0;
        }
        return m_secondHolds[second];
    }

    const TDay& dayOf(qint64 number) {
        const auto found = m_days.find(number);
        if (found != m_days.end()) {
            return found->second;
        }
        TDay& day = m_days[number];
        const QDateTime midnight = DateTimeFromDayNumber(double(number));
        const QDateTime last = midnight.addMSecs(kDayMs - 1);
        day.plain = midnight.isValid() && midnight.time() == QTime(0, 0) &&
                    last.date() == midnight.date() && last.time() == QTime(23, 59, 59, 999);
        if (day.plain) {
            const QString text = DateTimeToStr(midnight);
            const QByteArray utf8 = text.toUtf8();
            day.holds = m_search.matches(utf8.constData(), static_cast<std::size_t>(utf8.size()));
            // Anywhere: a text found across both holds the space before the time. At the
            // beginning: a text no longer than the date is decided by the date.
            const std::u32string& folded = m_search.m_folded;
            day.decides = m_search.m_anywhere
                              ? folded.find(U' ') == std::u32string::npos
                              : folded.size() <= static_cast<std::size_t>(text.toUcs4().size());
        }
        return day;
    }

    const TTextSearch& m_search;
    std::unordered_map<qint64, TDay> m_days;
    std::shared_ptr<const TSecondTexts> m_seconds;
    bool m_secondsAsked = false;
    std::vector<signed char> m_secondHolds;
};

namespace {
// The characters, folded, that a column's shown values can hold: a whole number's digits
// and sign, a date's and time's in the locale's formats, as a sample of days through a year
// at many times shows them; empty for any character at all.
std::u32string shownAlphabet(TSearchColumn::Kind kind) {
    QString sample;
    if (kind == TSearchColumn::Integer) {
        sample = QStringLiteral("-0123456789");
    } else if (kind == TSearchColumn::DateTime) {
        const QDate first(2001, 1, 1);
        for (int d = 0; d < 400; ++d) {
            sample += DateTimeToStr(QDateTime(first.addDays(d), QTime(d % 24, d % 60, d % 59, 1)));
        }
        // A year before the first shows a sign (and some locales a mark before it).
        sample += DateTimeToStr(QDateTime(QDate(-1, 1, 1), QTime(1, 1, 1, 1)));
    } else {
        return std::u32string();
    }
    const QByteArray utf8 = sample.toUtf8();
    std::u32string folded;
    FoldUtf8(utf8.constData(), static_cast<std::size_t>(utf8.size()), folded);
    ReadYoAsYe(folded);
    std::sort(folded.begin(), folded.end());
    folded.erase(std::unique(folded.begin(), folded.end()), folded.end());
    return folded;
}
}  // namespace

TTextSearch::TTextSearch(const TRowStore& store, const QString& text, bool anywhere,
                         std::vector<TSearchColumn> columns,
                         std::function<QStringList(int)> shownAt)
    : m_store(store), m_anywhere(anywhere), m_shownAt(std::move(shownAt)) {
    const QByteArray utf8 = text.toUtf8();
    FoldUtf8(utf8.constData(), static_cast<std::size_t>(utf8.size()), m_folded);
    // "ё" and "е" are one letter to the search, as they are to the sort.
    ReadYoAsYe(m_folded);
    m_needle = MakeFoldedNeedle(m_folded, true);
    for (TSearchColumn& c : columns) {
        // A column whose values never show a character of the text is not read at all.
        const std::u32string alphabet = shownAlphabet(c.kind);
        if (!alphabet.empty() && std::any_of(m_folded.begin(), m_folded.end(), [&](char32_t l) {
                return !std::binary_search(alphabet.begin(), alphabet.end(), l);
            })) {
            continue;
        }
        if (c.kind == TSearchColumn::Text && anywhere && m_needle.usable) {
            m_span.push_back(c.column);
        } else {
            m_others.push_back(std::move(c));
        }
    }
    std::sort(m_span.begin(), m_span.end());
    m_span.erase(std::unique(m_span.begin(), m_span.end()), m_span.end());
}

TTextSearch::~TTextSearch() = default;

bool TTextSearch::matches(const char* text, std::size_t size) const {
    return m_anywhere ? ContainsFoldedText(text, size, m_folded, true)
                      : StartsWithFolded(text, size, m_folded, true);
}

bool TTextSearch::spanHolds(TReader& reader, const char* record) const {
    const TCellView first = m_store.cellOf(record, m_span.front());
    const TCellView last = m_store.cellOf(record, m_span.back());
    const char* begin = first.data;
    reader.scan.Reset(begin, static_cast<std::size_t>(last.data + last.size - begin));
    std::size_t start = 0;
    while (reader.scan.Next(start)) {
        const char* at = begin + start;
        for (const int column : m_span) {
            const TCellView c = m_store.cellOf(record, column);
            if (at >= c.data && at < c.data + c.size) {
                if (c.tag == TCellView::Text &&
                    MatchesFoldedAt(at, static_cast<std::size_t>(c.data + c.size - at), m_needle)) {
                    return true;
                }
                break;
            }
        }
    }
    return false;
}

bool TTextSearch::holds(TReader& reader, TRowStore::RowId row) const {
    const char* record = m_store.record(row);
    if (!record) {
        return false;
    }
    if (!m_span.empty() && spanHolds(reader, record)) {
        return true;
    }
    for (const TSearchColumn& c : m_others) {
        const TCellView cell = m_store.cellOf(record, c.column);
        if (cell.isNull()) {
            continue;  // shows nothing
        }
        if (c.kind == TSearchColumn::Text) {
            if (cell.tag == TCellView::Text && matches(cell.data, cell.size)) {
                return true;
            }
            continue;
        }
        if (reader.Shows(c, cell)) {
            return true;
        }
    }
    return false;
}

std::vector<unsigned char> TTextSearch::markRows() const {
    const std::size_t rows = m_store.size();
    std::vector<unsigned char> marks(rows, 0);
    const std::size_t chunks = (rows + kChunk - 1) / kChunk;
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&]() {
        try {
            TReader reader(*this);
            for (std::size_t c = next++; c < chunks; c = next++) {
                const std::size_t end = std::min(rows, (c + 1) * kChunk);
                for (std::size_t row = c * kChunk; row < end; ++row) {
                    marks[row] = holds(reader, static_cast<TRowStore::RowId>(row)) ? 1 : 0;
                }
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            failure = std::current_exception();
            next = chunks;
        }
    };
    const unsigned cores = std::min(std::max(std::thread::hardware_concurrency(), 1u), 4u);
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < cores && chunks > 1; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer helpers: the rest is read by those there are
        }
    }
    work();
    for (std::thread& t : helpers) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return marks;
}

int TTextSearch::First(const std::vector<TRowStore::RowId>& order, int from, bool forward) const {
    const int count = static_cast<int>(order.size());
    if (from < 0 || from >= count) {
        return -1;
    }
    const int step = forward ? 1 : -1;
    const int total = forward ? count - from : from + 1;
    TReader reader(*this);
    const auto holdsAt = [&](int pos) {
        if (holds(reader, order[static_cast<std::size_t>(pos)])) {
            return true;
        }
        if (m_shownAt) {
            for (const QString& shown : m_shownAt(pos)) {
                const QByteArray utf8 = shown.toUtf8();
                if (matches(utf8.constData(), static_cast<std::size_t>(utf8.size()))) {
                    return true;
                }
            }
        }
        return false;
    };
    // The k-th row from the start in the search's direction; the first that holds in
    // [k0, k1), or -1.
    const auto scanRange = [&](int k0, int k1) {
        for (int k = k0; k < k1; ++k) {
            const int pos = from + k * step;
            // Rows in view order lie far apart once sorted: a row's offsets are asked for
            // well ahead, and the rest of its record once they have come.
            const int ahead = pos + 32 * step;
            if (ahead >= 0 && ahead < count) {
                m_store.prefetchRecord(order[static_cast<std::size_t>(ahead)]);
            }
            const int near = pos + 16 * step;
            if (near >= 0 && near < count) {
                m_store.prefetchWhole(order[static_cast<std::size_t>(near)]);
            }
            if (holdsAt(pos)) {
                return pos;
            }
        }
        return -1;
    };
    const int early = scanRange(0, std::min(total, kAlone));
    if (early >= 0 || total <= kAlone) {
        return early;
    }
    // The whole store is read only when the rest of the view is a good part of it.
    if (m_shownAt || std::size_t(total - kAlone) * 4 < m_store.size()) {
        return scanRange(kAlone, total);
    }
    const std::vector<unsigned char> marks = markRows();
    for (int k = kAlone; k < total; ++k) {
        const int pos = from + k * step;
        if (marks[order[static_cast<std::size_t>(pos)]]) {
            return pos;
        }
    }
    return -1;
}
