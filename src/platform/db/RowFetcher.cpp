#include "platform/db/RowFetcher.h"

#include <utility>

namespace {
// Enough for the first screens of a grid, read in about a millisecond.
constexpr std::size_t kFirstRows = 2000;
// A slice ends after this long, so a frame of the grid is never held up for long.
constexpr qint64 kSliceNanoseconds = 12'000'000;
// A grid hears of new rows this often: each time it lays out and paints again.
constexpr qint64 kNoticeNanoseconds = 150'000'000;
constexpr std::size_t kRowsBetweenClockReadings = 256;
constexpr std::size_t kAllRows = static_cast<std::size_t>(-1);
}  // namespace

TRowFetcher::TRowFetcher(TRowStore& store, std::vector<TRowStore::RowId>& order,
                         TSliceRead sliceRead)
    : m_store(store), m_order(order), m_sliceRead(std::move(sliceRead)) {}

bool TRowFetcher::ReadFirst(TDbCursor& cursor, bool slices) {
    bool done = cursor.fetchSome(m_store, slices ? kFirstRows : kAllRows);
    const auto typed = [&cursor]() {
        for (const TColumnInfo& c : cursor.columns()) {
            if (c.type == TFieldType::Unknown) {
                return false;
            }
        }
        return true;
    };
    // A column's type not known from the statement comes from the values: all of them.
    if (!done && !typed()) {
        while (!cursor.fetchSome(m_store, kAllRows)) {
        }
        done = true;
    }
    return done;
}

void TRowFetcher::Continue(std::unique_ptr<TDbCursor> cursor) {
    m_cursor = std::move(cursor);
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        m_timer->setInterval(0);
        QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { readSlice(); });
    }
    m_timer->start();
}

void TRowFetcher::ReadRest() {
    if (!m_cursor) {
        return;
    }
    const std::size_t held = m_store.size();
    try {
        while (!m_cursor->fetchSome(m_store, kAllRows)) {
        }
    } catch (...) {
        appendToOrder(held);
        throw;
    }
    appendToOrder(held);
}

void TRowFetcher::appendToOrder(std::size_t held) {
    for (std::size_t r = held; r < m_store.size(); ++r) {
        m_order.push_back(static_cast<TRowStore::RowId>(r));
    }
}

void TRowFetcher::readSlice() {
    if (!m_cursor) {
        return;
    }
    const std::size_t held = m_store.size();
    bool done = false;
    std::exception_ptr failure;
    QElapsedTimer clock;
    clock.start();
    try {
        while (!done && clock.nsecsElapsed() < kSliceNanoseconds) {
            done = m_cursor->fetchSome(m_store, kRowsBetweenClockReadings);
        }
    } catch (...) {
        done = true;
        failure = std::current_exception();
    }
    appendToOrder(held);
    m_sliceRead(done, failure);
}

bool TRowFetcher::NoticeDue() {
    if (m_notice.isValid() && m_notice.nsecsElapsed() < kNoticeNanoseconds) {
        return false;
    }
    m_notice.start();
    return true;
}

void TRowFetcher::Stop() {
    m_cursor.reset();
    if (m_timer) {
        m_timer->stop();
    }
    m_notice.invalidate();
}
