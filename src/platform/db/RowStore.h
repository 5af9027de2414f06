#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// One cell of a stored row: a tag and the raw bytes (UTF-8 for text).
struct TCellView {
    enum Tag : std::uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };
    Tag tag = Null;
    const char* data = nullptr;
    std::uint32_t size = 0;

    bool isNull() const { return tag == Null; }
    qint64 integer() const;
    double real() const;
    QString text() const { return QString::fromUtf8(data, static_cast<int>(size)); }
    // The cell as a QVariant: qint64, double, QString or QByteArray; invalid for null.
    QVariant variant() const;
};

// Builds one row record: the offsets of each cell's end, then the cells.
class TRowBuilder final {
public:
    void begin(int columns);
    void addNull();
    void addInteger(qint64 v);
    void addReal(double v);
    void addText(const char* utf8, std::uint32_t size);
    void addBlob(const void* data, std::uint32_t size);
    void addVariant(const QVariant& v);
    const std::string& record() const { return m_buffer; }

private:
    void startCell(TCellView::Tag tag);
    void endCell();

    std::string m_buffer;
    int m_columns = 0;
    int m_cell = 0;
};

// Rows kept as UTF-8 records in large chunks, so a million rows cost little more than
// their text; a QString is made only for a cell somebody reads.
class TRowStore final {
public:
    using RowId = std::uint32_t;

    explicit TRowStore(int columns = 0) : m_columns(columns) {}
    void reset(int columns);

    int columns() const { return m_columns; }
    std::size_t size() const { return m_rows.size(); }

    RowId append(const std::string& record);
    // Room for a new last row's record of this many bytes, for a reader that writes it in
    // place in TRowBuilder's layout.
    char* appendRecord(std::size_t bytes);
    // A record kept aside for a row (an edit's new values); the row id stays the same.
    const char* store(const std::string& record);
    void replace(RowId row, const char* record) { m_rows[row] = record; }
    const char* record(RowId row) const { return m_rows[row]; }
    // A row's whole record, to keep in another store.
    std::string recordBytes(RowId row) const;

    TCellView cell(RowId row, int column) const { return cellOf(m_rows[row], column); }
    TCellView cellOf(const char* record, int column) const;
    // A scan over the rows in storage order waits on memory twice a row, for the record's
    // offsets and then for the cell: it asks for both ahead, the offsets of a row further
    // on (ahead of the cell's) and the cell of a row whose offsets have arrived.
    void prefetchRecord(RowId row) const {
        if (row < m_rows.size()) {
            __builtin_prefetch(m_rows[row]);
        }
    }
    void prefetchCell(RowId row, int column) const {
        if (row < m_rows.size()) {
            __builtin_prefetch(cellOf(m_rows[row], column).data);
        }
    }

    // Every cache line of a row's record whose offsets have arrived (a scan reading all of
    // its cells in view order, where rows are far apart), its first kilobyte at most.
    void prefetchWhole(RowId row) const {
        if (row < m_rows.size() && m_columns > 0) {
            const char* record = m_rows[row];
            std::uint32_t end = 0;
            std::memcpy(&end, record + (m_columns - 1) * sizeof(std::uint32_t), sizeof end);
            for (std::uint32_t at = 64; at < end && at < 1024; at += 64) {
                __builtin_prefetch(record + at);
            }
        }
    }

    std::size_t bytesUsed() const { return m_bytes; }

private:
    const char* allocate(const std::string& record);
    char* reserve(std::size_t bytes);

    int m_columns = 0;
    std::vector<const char*> m_rows;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    char* m_free = nullptr;
    std::size_t m_left = 0;
    std::size_t m_bytes = 0;
};
