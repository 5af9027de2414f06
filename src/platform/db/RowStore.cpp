#include "platform/db/RowStore.h"

#include "platform/db/FieldTypes.h"

#include <cstring>

namespace {
constexpr std::size_t kChunkSize = 4u << 20;

template <typename T>
T readRaw(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
}  // namespace

qint64 TCellView::integer() const {
    switch (tag) {
        case Integer:
            return readRaw<qint64>(data);
        case Real:
            return static_cast<qint64>(readRaw<double>(data));
        case Text:
            return text().trimmed().toLongLong();
        default:
            return 0;
    }
}

double TCellView::real() const {
    switch (tag) {
        case Integer:
            return static_cast<double>(readRaw<qint64>(data));
        case Real:
            return readRaw<double>(data);
        case Text:
            return text().trimmed().toDouble();
        default:
            return 0.0;
    }
}

QVariant TCellView::variant() const {
    switch (tag) {
        case Integer:
            return QVariant(readRaw<qint64>(data));
        case Real:
            return QVariant(readRaw<double>(data));
        case Text:
            return QVariant(text());
        case Blob:
            return QVariant(QByteArray(data, static_cast<int>(size)));
        case Null:
            break;
    }
    return QVariant();
}

void TRowBuilder::begin(int columns) {
    m_columns = columns;
    m_cell = 0;
    m_buffer.assign(static_cast<std::size_t>(columns) * sizeof(std::uint32_t), '\0');
}

void TRowBuilder::startCell(TCellView::Tag tag) {
    m_buffer.push_back(static_cast<char>(tag));
}

void TRowBuilder::endCell() {
    const auto end = static_cast<std::uint32_t>(m_buffer.size());
    std::memcpy(&m_buffer[static_cast<std::size_t>(m_cell) * sizeof end], &end, sizeof end);
    ++m_cell;
}

void TRowBuilder::addNull() {
    startCell(TCellView::Null);
    endCell();
}

void TRowBuilder::addInteger(qint64 v) {
    startCell(TCellView::Integer);
    m_buffer.append(reinterpret_cast<const char*>(&v), sizeof v);
    endCell();
}

void TRowBuilder::addReal(double v) {
    startCell(TCellView::Real);
    m_buffer.append(reinterpret_cast<const char*>(&v), sizeof v);
    endCell();
}

void TRowBuilder::addText(const char* utf8, std::uint32_t size) {
    startCell(TCellView::Text);
    m_buffer.append(utf8, size);
    endCell();
}

void TRowBuilder::addBlob(const void* data, std::uint32_t size) {
    startCell(TCellView::Blob);
    m_buffer.append(static_cast<const char*>(data), size);
    endCell();
}

void TRowBuilder::addVariant(const QVariant& v) {
    switch (StorageClassOf(v)) {
        case TStorageClass::Null:
            addNull();
            break;
        case TStorageClass::Integer:
            addInteger(v.typeId() == QMetaType::Bool ? (v.toBool() ? 1 : 0) : v.toLongLong());
            break;
        case TStorageClass::Real:
            addReal(v.toDouble());
            break;
        case TStorageClass::Date:
            addReal(DayNumber(v.toDate()));
            break;
        case TStorageClass::DateTime:
            addReal(DayNumber(v.toDateTime()));
            break;
        case TStorageClass::Blob: {
            const QByteArray b = v.toByteArray();
            addBlob(b.constData(), static_cast<std::uint32_t>(b.size()));
            break;
        }
        case TStorageClass::Text: {
            const QByteArray u = v.toString().toUtf8();
            addText(u.constData(), static_cast<std::uint32_t>(u.size()));
            break;
        }
    }
}

void TRowStore::reset(int columns) {
    m_columns = columns;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_chunks.clear();
    m_free = nullptr;
    m_left = 0;
    m_bytes = 0;
}

const char* TRowStore::allocate(const std::string& record) {
    char* p = reserve(record.size());
    std::memcpy(p, record.data(), record.size());
    return p;
}

char* TRowStore::reserve(std::size_t len) {
    // Keep offsets aligned for the 4-byte reads of the header.
    const std::size_t need = (len + 3u) & ~std::size_t(3u);
    if (need > m_left) {
        const std::size_t chunk = need > kChunkSize ? need : kChunkSize;
        m_chunks.emplace_back(new char[chunk]);
        m_free = m_chunks.back().get();
        m_left = chunk;
        m_bytes += chunk;
    }
    char* p = m_free;
    m_free += need;
    m_left -= need;
    return p;
}

char* TRowStore::appendRecord(std::size_t bytes) {
    char* p = reserve(bytes);
    m_rows.push_back(p);
    return p;
}

TRowStore::RowId TRowStore::append(const std::string& record) {
    m_rows.push_back(allocate(record));
    return static_cast<RowId>(m_rows.size() - 1);
}

const char* TRowStore::store(const std::string& record) {
    return allocate(record);
}

std::string TRowStore::recordBytes(RowId row) const {
    const char* record = m_rows[row];
    if (!record || m_columns == 0) {
        return std::string();
    }
    // The header's last offset is where the last cell ends: the record's length.
    return std::string(record,
                       readRaw<std::uint32_t>(record + (m_columns - 1) * sizeof(std::uint32_t)));
}

TCellView TRowStore::cellOf(const char* record, int column) const {
    TCellView v;
    if (!record || column < 0 || column >= m_columns) {
        return v;
    }
    const std::uint32_t start =
        column == 0 ? static_cast<std::uint32_t>(m_columns * sizeof(std::uint32_t))
                    : readRaw<std::uint32_t>(record + (column - 1) * sizeof(std::uint32_t));
    const std::uint32_t end = readRaw<std::uint32_t>(record + column * sizeof(std::uint32_t));
    v.tag = static_cast<TCellView::Tag>(record[start]);
    v.data = record + start + 1;
    v.size = end - start - 1;
    return v;
}
