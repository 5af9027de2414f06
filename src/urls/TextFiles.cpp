#include "urls/TextFiles.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Windows-1251, bytes 0x80 to 0xFF.
const char16_t kCp1251[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

}  // namespace

QString DecodeWindows1251(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u < 0x80) {
            out += QChar(static_cast<char16_t>(u));
        } else if (u >= 0xC0) {
            out += QChar(static_cast<char16_t>(0x0410 + (u - 0xC0)));  // А..я in order
        } else {
            out += QChar(kCp1251[u - 0x80]);
        }
    }
    return out;
}

namespace {

bool hasUtf16Bom(const QByteArray& b) {
    return b.size() >= 2 &&
           ((b[0] == '\xFF' && b[1] == '\xFE') || (b[0] == '\xFE' && b[1] == '\xFF'));
}

}  // namespace

bool ReadRegularFile(const QString& fileName, qint64 limit, QByteArray& bytes) {
    return ReadRegularFileAt(AT_FDCWD, QFile::encodeName(fileName), limit, bytes);
}

bool ReadRegularFileAt(int folder, const QByteArray& name, qint64 limit, QByteArray& bytes) {
    bytes.clear();
    // O_NONBLOCK: should the entry have become a FIFO since it was listed, open returns at once.
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize(static_cast<qsizetype>(qMin<qint64>(limit, st.st_size)));
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n =
                ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) {
                break;
            }
            got += n;
        }
        bytes.truncate(got);
    }
    ::close(fd);
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

bool LooksBinary(const QByteArray& bytes) {
    return !hasUtf16Bom(bytes) && bytes.contains('\0');
}

QString DecodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(bytes.mid(3));
    }
    if (hasUtf16Bom(bytes)) {
        QStringDecoder utf16(bytes[0] == '\xFF' ? QStringDecoder::Utf16LE
                                                : QStringDecoder::Utf16BE);
        return utf16(bytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? DecodeWindows1251(bytes) : text;
}

QString DecodeName(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? DecodeWindows1251(bytes) : text;
}

QString IniValue(const QString& text, const QString& section, const QString& key) {
    bool inSection = false;
    int start = 0;
    const int n = text.size();
    while (start <= n) {
        int end = start;
        while (end < n && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n')) {
            ++end;
        }
        const QString line = text.mid(start, end - start).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            inSection = close > 0 &&
                        line.mid(1, close - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
        } else if (inSection) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
                return line.mid(eq + 1);
            }
        }
        if (end >= n) {
            break;
        }
        start = end + 1;
    }
    return QString();
}
