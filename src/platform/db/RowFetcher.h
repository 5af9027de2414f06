#pragma once

#include "platform/db/DbProvider.h"
#include "platform/db/RowStore.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

// Reads a query's result from the provider into a dataset's rows: whole, or the first rows
// at once and the rest in slices from the event loop, each short enough that a frame of a
// grid is never held up for long. Rows read after the first join the end of the order.
class TRowFetcher final {
public:
    // A slice was read; done: the result has ended, early when failure says why.
    using TSliceRead = std::function<void(bool done, std::exception_ptr failure)>;

    TRowFetcher(TRowStore& store, std::vector<TRowStore::RowId>& order, TSliceRead sliceRead);

    // Reads the first rows of a result, or all of them without slices or while a column's
    // type is still to be told by its values; true when the result has ended.
    bool ReadFirst(TDbCursor& cursor, bool slices);
    // Keeps a result whose rows are still to come, and reads them in slices from here on.
    void Continue(std::unique_ptr<TDbCursor> cursor);
    bool Fetching() const { return m_cursor != nullptr; }
    // Reads every row still to come; a failure is thrown, the rows read before it stay.
    void ReadRest();
    // The reading in slices takes its next turn.
    void Resume() { m_timer->start(); }
    // Whether observers are due to hear of the rows read since they last did; the clock
    // starts again when they are.
    bool NoticeDue();
    // No more rows are read.
    void Stop();

private:
    void readSlice();
    void appendToOrder(std::size_t held);

    TRowStore& m_store;
    std::vector<TRowStore::RowId>& m_order;
    TSliceRead m_sliceRead;
    std::unique_ptr<TDbCursor> m_cursor;  // while rows are still to come
    std::unique_ptr<QTimer> m_timer;
    QElapsedTimer m_notice;  // since observers last heard of new rows
};
