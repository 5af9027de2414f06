#include "platform/db/TextFold.h"

#include <QChar>
#include <QRandomGenerator>
#include <QtTest>

#include <set>
#include <string>
#include <vector>

// The fast scanner of folded texts checked against a model written apart from it: decode
// each character (a byte that does not start a whole sequence is U+FFFD on its own), fold
// it by Qt, read "ё" as "е" when asked, and search the code points.
namespace {

struct TModelText {
    std::u32string chars;
    std::vector<std::size_t> offsets;  // the byte each character begins at
};

TModelText modelDecode(const std::string& s, bool yoAsYe) {
    TModelText t;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t length = b < 0x80                ? 1
                             : b >= 0xC0 && b < 0xE0 ? 2
                             : b >= 0xE0 && b < 0xF0 ? 3
                             : b >= 0xF0 && b < 0xF8 ? 4
                                                     : 0;
        char32_t cp = 0xFFFD;
        if (length == 1) {
            cp = b;
        } else if (length > 1 && i + length <= s.size()) {
            cp = b & (0xFF >> (length + 1));
            for (std::size_t k = 1; k < length; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                if ((c & 0xC0) != 0x80) {
                    cp = 0xFFFD;
                    length = 0;
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
            }
        } else {
            length = 0;
        }
        t.offsets.push_back(i);
        char32_t f = cp > 0x10FFFF ? cp : QChar::toCaseFolded(cp);
        if (yoAsYe && f == U'\u0451') {
            f = U'\u0435';
        }
        t.chars.push_back(f);
        i += length == 0 ? 1 : length;
    }
    return t;
}

std::u32string modelNeedle(const std::u32string& raw, bool yoAsYe) {
    std::u32string n;
    for (const char32_t c : raw) {
        char32_t f = QChar::toCaseFolded(c);
        n.push_back(yoAsYe && f == U'\u0451' ? U'\u0435' : f);
    }
    return n;
}

// Pieces of text that could fool a byte scanner.
const std::vector<std::string>& pieces() {
    static const std::vector<std::string> all = {
        "n",
        "N",
        "e",
        "E",
        "k",
        "K",
        "s",
        "S",
        "t",
        "1",
        "/",
        " ",
        ".",
        std::string(1, '\0'),
        "\xD1\x91",          // ё
        "\xD0\x81",          // Ё
        "\xD0\xB5",          // е
        "\xD0\x95",          // Е
        "\xD0\xBB",          // л
        "\xD0\x9B",          // Л
        "\xE2\x84\xAA",      // Kelvin sign
        "\xC5\xBF",          // long s
        "\xC2\xB5",          // micro sign, folds to mu
        "\xCE\xBC",          // mu
        "\xE2\x84\xA6",      // Ohm sign, folds to omega
        "\xCF\x89",          // omega
        "\xCE\xA9",          // Omega
        "\xCF\x82",          // final sigma, folds to sigma
        "\xCF\x83",          // sigma
        "\xE1\xBA\x9E",      // capital sharp s, folds to sharp s
        "\xC3\x9F",          // sharp s
        "\xC4\xB0",          // I with dot
        "\xC4\xB1",          // dotless i
        "\xC3\xB1",          // ñ
        "\xC3\x91",          // Ñ
        "\xC1\xAE",          // overlong n
        "\xC1\x8E",          // overlong N
        "\xE0\x81\xAE",      // overlong n, three bytes
        "\xF0\x80\x81\xAB",  // overlong k, four bytes
        "\xC1\xB3",          // overlong s
        "\xE0\x90\xB5",      // overlong е
        "\xF0\x80\x91\x91",  // overlong ё
        "\xE0\x91\x91",      // overlong ё, three bytes
        "\xF0\x82\x84\xAA",  // overlong Kelvin sign
        "\xC0\xA0",          // overlong space
        "\xC0\x80",          // overlong NUL
        "\xD0",
        "\xD1",
        "\xE0\x90",
        "\xF0\x80\x90",
        "\xE2\x84",  // cut off
        "\x80",
        "\xB5",
        "\x91",
        "\xAE",
        "\xBB",  // stray continuation bytes
        "\xFF",
        "\xFE",
        "\xF8\x88\x80\x80\x80",
        "\xED\xA0\x80",      // a surrogate
        "\xF0\x9F\x98\x80",  // beyond the BMP
        "\xF4\x90\x80\x80",  // beyond Unicode
        "\xF0\x90\x90\x80",  // Deseret capital, folds beyond the BMP
        "\xF0\x90\x90\xA8",  // its small letter
    };
    return all;
}

// The pieces that are whole characters, for needles.
std::vector<char32_t> needleChars() {
    std::vector<char32_t> chars;
    for (const std::string& p : pieces()) {
        const TModelText t = modelDecode(p, false);
        if (t.chars.size() == 1 && t.chars[0] != 0xFFFD && t.chars[0] <= 0x10FFFF &&
            !(t.chars[0] >= 0xD800 && t.chars[0] < 0xE000)) {
            // the raw code point, not its folding
            const QString s = QString::fromUtf8(p.data(), static_cast<qsizetype>(p.size()));
            const auto ucs = s.toUcs4();
            if (ucs.size() == 1 && ucs[0] != 0xFFFD) {
                chars.push_back(ucs[0]);
            }
        }
    }
    return chars;
}

}  // namespace

class TestTextFold final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scanAgreesWithModel_data() {
        QTest::addColumn<bool>("yoAsYe");
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= qEnvironmentVariableIntValue("TEXTFOLD_SEEDS") + 6; ++seed) {
            QTest::newRow(qPrintable(QString("yo apart %1").arg(seed))) << false << seed;
            QTest::newRow(qPrintable(QString("yo as ye %1").arg(seed))) << true << seed;
        }
    }
    void scanAgreesWithModel() {
        QFETCH(bool, yoAsYe);
        QFETCH(int, seed);
        QRandomGenerator random(static_cast<quint32>(seed * 7919));
        const std::vector<std::string>& all = pieces();
        const std::vector<char32_t> chars = needleChars();
        int found = 0;
        for (int round = 0; round < 300; ++round) {
            // A needle of whole characters, or a piece of a text met before.
            std::u32string raw;
            const int length = 1 + static_cast<int>(random.bounded(4));
            // Mostly the letters and signs addresses hold most, which the scan finds by
            // the character after them as well.
            const int common = 14;
            for (int i = 0; i < length; ++i) {
                raw.push_back(chars[random.bounded(
                    static_cast<quint32>(random.bounded(2) ? common : chars.size()))]);
            }
            const std::u32string folded = modelNeedle(raw, yoAsYe);
            // The caller hands a folded needle; with yoAsYe it may hold "ё".
            const TFoldedNeedle needle = MakeFoldedNeedle(modelNeedle(raw, false), yoAsYe);
            std::string needleUtf8;
            AppendEncoded(raw, needleUtf8);
            for (int t = 0; t < 200; ++t) {
                std::string text;
                const int pieceCount = static_cast<int>(random.bounded(40));
                for (int i = 0; i < pieceCount; ++i) {
                    if (random.bounded(6) == 0) {
                        text += needleUtf8.substr(
                            0, 1 + random.bounded(static_cast<quint32>(needleUtf8.size())));
                    } else {
                        text += all[random.bounded(static_cast<quint32>(all.size()))];
                    }
                }
                const TModelText model = modelDecode(text, yoAsYe);
                std::set<std::size_t> starts;
                for (std::size_t at = model.chars.find(folded); at != std::u32string::npos;
                     at = model.chars.find(folded, at + 1)) {
                    starts.insert(model.offsets[at]);
                }
                const bool expected = !starts.empty();
                found += expected;
                const QByteArray why =
                    QByteArray::fromStdString(text).toHex() + " needle " +
                    QString::fromUcs4(raw.data(), static_cast<qsizetype>(raw.size())).toUtf8();
                QVERIFY2(ContainsFoldedText(text.data(), text.size(), folded, yoAsYe) == expected,
                         why.constData());
                for (std::size_t c = 0; c < model.chars.size(); ++c) {
                    const std::size_t at = model.offsets[c];
                    const bool here = model.chars.compare(c, folded.size(), folded) == 0;
                    QVERIFY2(
                        MatchesFoldedAt(text.data() + at, text.size() - at, needle) == here,
                        QByteArray(why + " at " + QByteArray::number(qulonglong(at))).constData());
                }
                QVERIFY2(StartsWithFolded(text.data(), text.size(), folded, yoAsYe) ==
                             (model.chars.compare(0, folded.size(), folded) == 0),
                         why.constData());
                if (!needle.usable) {
                    continue;
                }
                QVERIFY2(ContainsFolded(text.data(), text.size(), needle) == expected,
                         why.constData());
                std::set<std::size_t> offered;
                TFoldedScan scan(text.data(), text.size(), needle);
                std::size_t start = 0;
                while (scan.Next(start)) {
                    QVERIFY2(start < text.size(), why.constData());
                    offered.insert(start);
                }
                for (const std::size_t s : starts) {
                    QVERIFY2(offered.count(s) == 1,
                             QByteArray(why + " missed at " + QByteArray::number(qulonglong(s)))
                                 .constData());
                }
            }
        }
        QVERIFY(found > 1000);
    }
};

QTEST_GUILESS_MAIN(TestTextFold)
#include "tst_textfold.moc"
