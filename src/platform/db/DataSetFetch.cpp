#include "platform/db/DataSet.h"

#include "platform/db/Connection.h"

#include <QtGlobal>

#include <exception>

// Opening: the result read whole, or its first rows at once and the rest in slices from
// the event loop.

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

void TDataSet::Open() {
    if (Active()) {
        return;
    }
    if (!m_connection) {
        throw EDatabaseError(tr("Набор данных не связан с соединением"));
    }
    const TTranslatedSql& sql = m_translation.For(m_connection, m_commandText);
    const QVariantList values = m_parameters.ValuesFor(sql.parameters);
    m_connection->ReconnectIfLost();
    // Taken before the read: a change committed during it shows as a newer stamp.
    m_changeStamp = m_connection->Provider().changeStamp();
    m_openEpoch = m_connection->Epoch();
    std::unique_ptr<TDbCursor> cursor = m_connection->Provider().query(sql.sql, values);
    // A sorted view needs every row before its first one is known.
    const bool slices = m_fetchInSlices && m_sort.isEmpty();
    bool done = cursor->fetchSome(m_store, slices ? kFirstRows : kAllRows);
    const auto typed = [&cursor]() {
        for (const TColumnInfo& c : cursor->columns()) {
            if (c.type == TFieldType::Unknown) {
                return false;
            }
        }
        return true;
    };
    // A column's type not known from the statement comes from the values: all of them.
    if (!done && !typed()) {
        while (!cursor->fetchSome(m_store, kAllRows)) {
        }
        done = true;
    }
    m_columns = cursor->columns();
    try {
        bindFields(m_columns);
        parseSort(m_sort);  // a sort naming no field fails the opening, not half of it
    } catch (...) {
        m_store.reset(0);
        m_columns.clear();
        throw;
    }
    findUpdateTarget(m_columns);
    m_changes.clear();
    m_dead.clear();
    m_unread.clear();
    m_state = TDataSetState::Browse;
    if (!done) {
        m_cursor = std::move(cursor);
        if (!m_fetchTimer) {
            m_fetchTimer = new QTimer(this);
            m_fetchTimer->setSingleShot(true);
            m_fetchTimer->setInterval(0);
            connect(m_fetchTimer, &QTimer::timeout, this, &TDataSet::fetchSlice);
        }
        m_fetchTimer->start();
    }
    rebuildOrder();
    resetCursor();
    notifyChanged();
    fire(AfterOpen);
    if (done && Active()) {
        fire(AfterFetch);
    }
}

int TDataSet::RecordCount() const {
    const_cast<TDataSet*>(this)->FetchRest();
    return LoadedCount();
}

void TDataSet::FetchRest() {
    if (!m_cursor) {
        return;
    }
    const std::size_t held = m_store.size();
    try {
        while (!m_cursor->fetchSome(m_store, kAllRows)) {
        }
    } catch (...) {
        // The caller hears of it; the rows read stay, and the result is not read further.
        const std::size_t read = m_store.size();
        for (std::size_t r = held; r < read; ++r) {
            m_order.push_back(static_cast<TRowStore::RowId>(r));
        }
        endFetch();
        throw;
    }
    for (std::size_t r = held; r < m_store.size(); ++r) {
        m_order.push_back(static_cast<TRowStore::RowId>(r));
    }
    endFetch();
}

void TDataSet::fetchSlice() {
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
    for (std::size_t r = held; r < m_store.size(); ++r) {
        m_order.push_back(static_cast<TRowStore::RowId>(r));
    }
    if (done) {
        // The cursor goes before anybody hears of a failure: a failed statement stepped
        // again would start its result over.
        endFetch();
        if (failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& e) {
                if (OnFetchError) {
                    OnFetchError(*this, e);
                } else {
                    qWarning("%s", e.what());
                }
            }
        }
        return;
    }
    m_eof = m_order.empty();
    if (!m_fetchNotice.isValid() || m_fetchNotice.nsecsElapsed() >= kNoticeNanoseconds) {
        m_fetchNotice.start();
        notifyAppended();
    }
    m_fetchTimer->start();
}

void TDataSet::notifyAppended() {
    if (m_disabled > 0) {
        m_changedWhileDisabled = true;
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->RowsAppended();
    }
}

void TDataSet::endFetch() {
    m_cursor.reset();
    m_fetchTimer->stop();
    m_fetchNotice.invalidate();
    m_eof = m_order.empty();
    notifyAppended();
    fire(AfterFetch);
}
