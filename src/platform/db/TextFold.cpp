#include "platform/db/TextFold.h"

#include <QChar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Decodes one code point; malformed or cut-off input yields U+FFFD and advances one byte,
// so every byte that is not a continuation byte begins a character (ContainsFolded starts
// matches at such bytes).
char32_t decode(const unsigned char*& p, const unsigned char* end) {
    const unsigned char c = *p;
    if (c < 0x80) {
        ++p;
        return c;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        ++p;
        return 0xFFFD;
    }
    if (end - p <= extra) {
        ++p;
        return 0xFFFD;
    }
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            ++p;
            return 0xFFFD;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += extra + 1;
    return cp;
}

inline char32_t foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char32_t>(c + 32) : c;
}

// The folding of every character of the Basic Multilingual Plane, looked up instead of
// asked for: sorting and searching a million rows fold tens of millions of characters.
const char16_t* bmpFolding() {
    static const std::unique_ptr<char16_t[]> table = []() {
        std::unique_ptr<char16_t[]> t(new char16_t[0x10000]);
        for (char32_t c = 0; c < 0x10000; ++c) {
            t[c] = static_cast<char16_t>(QChar::toCaseFolded(c));
        }
        return t;
    }();
    return table.get();
}

inline char32_t fold(char32_t c) {
    if (c < 0x80) {
        return foldAscii(static_cast<unsigned char>(c));
    }
    if (c < 0x10000) {
        return bmpFolding()[c];
    }
    return QChar::toCaseFolded(c);
}

constexpr char32_t kYo = U'\u0451';
constexpr char32_t kYe = U'\u0435';

// The next character of a text, folded, and with yoAsYe "ё" read as "е".
inline char32_t nextFolded(const unsigned char*& p, const unsigned char* end, bool yoAsYe) {
    const char32_t c = *p < 0x80 ? foldAscii(*p++) : fold(decode(p, end));
    return yoAsYe && c == kYo ? kYe : c;
}

}  // namespace

void FoldUtf8(const char* s, std::size_t n, std::u32string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    const auto* end = p + n;
    while (p < end) {
        out.push_back(fold(decode(p, end)));
    }
}

namespace {
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Eight ASCII bytes with their capitals made small: a byte from 'A' to 'Z' is the one
// whose sum with 0x3F reaches 0x80 but whose sum with 0x25 does not; no byte carries
// into the next, as every byte is below 0x80.
inline std::uint64_t foldAsciiWord(std::uint64_t w) {
    const std::uint64_t atLeastA = w + 0x3F3F3F3F3F3F3F3Full;
    const std::uint64_t aboveZ = w + 0x2525252525252525ull;
    return w | (((atLeastA ^ aboveZ) & kHighBits) >> 2);
}

inline char* put2(char* o, char32_t c) {
    *o++ = static_cast<char>(0xC0 | (c >> 6));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
    return o;
}

inline char* put(char* o, char32_t cp) {
    if (cp < 0x80) {
        *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        o = put2(o, cp);
    } else if (cp < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (cp >> 12));
        *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (cp >> 18));
        *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return o;
}

// Writes the folding of s to o and returns its end. o needs room for 3 * n bytes: a
// broken byte becomes U+FFFD, three bytes, and no folding grows a character more.
template <bool YoAsYe>
char* foldInto(const char* s, std::size_t n, char* o) {
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    const auto* end = p + n;
    const char16_t* bmp = bmpFolding();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, sizeof w);
            if ((w & kHighBits) == 0) {
                w = foldAsciiWord(w);
                std::memcpy(o, &w, sizeof w);
                o += 8;
                p += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            *o++ = static_cast<char>(foldAscii(*p++));
            continue;
        }
        // Two-byte characters (Cyrillic, Greek, accented Latin) folded in place; every
        // other sequence, a broken one included, by the general decoder.
        if ((p[0] & 0xE0) == 0xC0 && p + 1 < end && (p[1] & 0xC0) == 0x80) {
            const char32_t cp = (char32_t(p[0] & 0x1F) << 6) | char32_t(p[1] & 0x3F);
            if (cp >= 0x80) {
                char32_t c = bmp[cp];
                if (YoAsYe && c == kYo) {
                    c = kYe;
                }
                o = c >= 0x80 && c < 0x800 ? put2(o, c) : put(o, c);
                p += 2;
                continue;
            }
        }
        char32_t c = fold(decode(p, end));
        if (YoAsYe && c == kYo) {
            c = kYe;
        }
        o = put(o, c);
    }
    return o;
}

template <bool YoAsYe>
void appendFolding(const char* s, std::size_t n, std::string& out) {
    // Folded first into a buffer of its own: growing out by 3 n would clear every byte.
    thread_local std::unique_ptr<char[]> scratch;
    thread_local std::size_t room = 0;
    if (room < 3 * n) {
        room = std::max<std::size_t>(3 * n, 4096);
        scratch.reset(new char[room]);
    }
    const char* end = foldInto<YoAsYe>(s, n, scratch.get());
    out.append(scratch.get(), static_cast<std::size_t>(end - scratch.get()));
}
}  // namespace

void AppendFolded(const char* s, std::size_t n, std::string& out) {
    appendFolding<false>(s, n, out);
}

void AppendEncoded(const std::u32string& folded, std::string& out) {
    char buffer[4];
    for (const char32_t c : folded) {
        out.append(buffer, static_cast<std::size_t>(put(buffer, c) - buffer));
    }
}

void AppendSortKey(const char* s, std::size_t n, std::string& out) {
    appendFolding<true>(s, n, out);
}

int CompareFolded(const char* a, std::size_t na, const char* b, std::size_t nb) {
    const auto* p = reinterpret_cast<const unsigned char*>(a);
    const auto* pe = p + na;
    const auto* q = reinterpret_cast<const unsigned char*>(b);
    const auto* qe = q + nb;
    while (p < pe && q < qe) {
        char32_t x;
        char32_t y;
        if (*p < 0x80 && *q < 0x80) {
            x = foldAscii(*p++);
            y = foldAscii(*q++);
        } else {
            x = fold(decode(p, pe));
            y = fold(decode(q, qe));
        }
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (p < pe) {
        return 1;
    }
    return q < qe ? -1 : 0;
}

namespace {
bool startsWithFoldedRange(const unsigned char* p, const unsigned char* end, const char32_t* want,
                           const char32_t* wantEnd, bool yoAsYe) {
    for (; want != wantEnd; ++want) {
        if (p >= end) {
            return false;
        }
        if (nextFolded(p, end, yoAsYe) != *want) {
            return false;
        }
    }
    return true;
}
}  // namespace

bool StartsWithFolded(const char* s, std::size_t n, const std::u32string& prefix, bool yoAsYe) {
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    return startsWithFoldedRange(p, p + n, prefix.data(), prefix.data() + prefix.size(), yoAsYe);
}

void ReadYoAsYe(std::u32string& folded) {
    std::replace(folded.begin(), folded.end(), kYo, kYe);
}

bool MatchesFoldedAt(const char* s, std::size_t n, const TFoldedNeedle& needle) {
    const std::string& bytes = needle.utf8;
    if (bytes.empty()) {
        return StartsWithFolded(s, n, needle.folded, needle.yoAsYe);
    }
    const std::size_t most = std::min(n, bytes.size());
    std::size_t k = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight bytes at a time: the first differing byte is the lowest set one of the XOR.
    for (; k + 8 <= most; k += 8) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, s + k, 8);
        std::memcpy(&b, bytes.data() + k, 8);
        if (const std::uint64_t x = a ^ b) {
            k += static_cast<std::size_t>(__builtin_ctzll(x)) / 8;
            break;
        }
    }
#endif
    while (k < most && s[k] == bytes[k]) {
        ++k;
    }
    if (k == bytes.size()) {
        return true;
    }
    // The equal bytes before the character that differs decode to the needle's own
    // characters, which fold to themselves; the rest is compared character by character.
    const std::uint32_t c = needle.charOf[k];
    const std::uint32_t at = needle.offsetOf[c];
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    return startsWithFoldedRange(p + at, p + n, needle.folded.data() + c,
                                 needle.folded.data() + needle.folded.size(), needle.yoAsYe);
}

bool ContainsFoldedText(const char* s, std::size_t n, const std::u32string& folded, bool yoAsYe) {
    if (folded.empty()) {
        return true;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    const auto* end = p + n;
    const auto next = [end, yoAsYe](const unsigned char*& q) { return nextFolded(q, end, yoAsYe); };
    while (p < end) {
        if (next(p) != folded.front()) {
            continue;
        }
        const unsigned char* q = p;
        std::size_t i = 1;
        while (i < folded.size() && q < end && next(q) == folded[i]) {
            ++i;
        }
        if (i == folded.size()) {
            return true;
        }
    }
    return false;
}

namespace {
// How often a character comes in addresses and descriptions, roughly (English and Russian
// letter frequencies, the signs of addresses as common as the commonest letters).
int commonness(char32_t c) {
    static const std::u32string latin = U"etaoinsrhldcumfpgwybvkxjqz";
    static const std::u32string cyrillic = U"оеаинтсрвлкмдпуяыьгзбчйхжшюцщэфъё";
    if (c == U' ' || c == U'/' || c == U'.' || c == U':') {
        return 100;
    }
    if (const std::size_t at = latin.find(c); at != std::u32string::npos) {
        return 100 - 3 * static_cast<int>(at);
    }
    if (const std::size_t at = cyrillic.find(c); at != std::u32string::npos) {
        return 100 - 3 * static_cast<int>(at);
    }
    if (c >= U'0' && c <= U'9') {
        return 40;
    }
    return c < 0x80 ? 10 : 5;
}

// The bytes that find every form of a folded character: its forms' common last byte, or
// for ASCII the letter in either case and the leads of its overlong forms. False for a
// character the scan cannot find so, such as "k", which KELVIN SIGN also folds to.
bool findableBytes(char32_t folded, std::vector<unsigned char>& starts, bool& byLastByte) {
    starts.clear();
    if (folded >= 0x10000) {
        return false;
    }
    const char16_t* bmp = bmpFolding();
    if (folded >= 0x80) {
        // Every form of a character that folds to this one, overlong ones included, ends
        // in the same continuation byte: its low six bits. Those bytes are rare in any
        // text, where lead bytes are not.
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            const auto end = static_cast<unsigned char>(0x80 | (c & 0x3F));
            if (bmp[c] == folded && std::find(starts.begin(), starts.end(), end) == starts.end()) {
                starts.push_back(end);
            }
        }
        byLastByte = true;
        return true;
    }
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (bmp[c] == folded) {
            return false;  // begins with bytes of its own
        }
    }
    for (unsigned c = 0; c < 0x80; ++c) {
        if (foldAscii(static_cast<unsigned char>(c)) == folded) {
            starts.push_back(static_cast<unsigned char>(c));
        }
    }
    // Leads of the overlong forms the decoder reads as ASCII ("\xC1\xAE" is "n").
    for (const unsigned char lead : {0xC0, 0xC1, 0xE0, 0xF0}) {
        starts.push_back(lead);
    }
    byLastByte = false;
    return true;
}
}  // namespace

namespace {
// The code points that fold to a character (the search box's "ё" folds to "е").
std::vector<char32_t> formsOf(char32_t folded, bool yoAsYe) {
    std::vector<char32_t> forms;
    const char16_t* bmp = bmpFolding();
    for (char32_t c = 0; c < 0x10000; ++c) {
        const char32_t f = c < 0x80 ? foldAscii(static_cast<unsigned char>(c)) : bmp[c];
        if (f == folded || (yoAsYe && folded == kYe && f == kYo)) {
            forms.push_back(c);
        }
    }
    return forms;
}

// The bytes every form of the character before the anchor ends with, overlong forms (the
// same six low bits after a longer lead) included; false beyond the BMP, left unfiltered.
bool precedingBytes(char32_t folded, bool yoAsYe, std::array<bool, 256>& bytes) {
    if (folded >= 0x10000) {
        return false;
    }
    for (const char32_t c : formsOf(folded, yoAsYe)) {
        char utf8[4];
        const char* end = put(utf8, c);
        bytes[static_cast<unsigned char>(end[-1])] = true;
        bytes[0x80 | (c & 0x3F)] = true;
    }
    return true;
}

// How the character after the anchor is known (TFoldedNeedle::followingAt and the rest);
// false beyond the BMP, left unfiltered.
bool followingBytes(char32_t folded, bool yoAsYe, TFoldedNeedle& needle) {
    if (folded >= 0x10000) {
        return false;
    }
    const std::vector<char32_t> forms = formsOf(folded, yoAsYe);
    if (forms.empty()) {
        return false;
    }
    const auto length = [](char32_t c) { return c < 0x80 ? 1u : c < 0x800 ? 2u : 3u; };
    const bool oneLength = std::all_of(
        forms.begin(), forms.end(), [&](char32_t c) { return length(c) == length(forms.front()); });
    for (const char32_t c : forms) {
        char utf8[4];
        const char* end = put(utf8, c);
        needle.following[static_cast<unsigned char>(oneLength ? end[-1] : utf8[0])] = true;
    }
    // The leads of overlong forms: two bytes for ASCII, three and four for the rest.
    std::vector<unsigned char> leads{0xE0, 0xF0};
    if (length(forms.front()) == 1 || !oneLength) {
        leads.push_back(0xC0);
        leads.push_back(0xC1);
    }
    std::array<bool, 256>& leadBytes = oneLength ? needle.followingLeads : needle.following;
    for (const unsigned char lead : leads) {
        if (!oneLength || length(forms.front()) < 3 || lead == 0xF0) {
            leadBytes[lead] = true;
        }
    }
    needle.followingAt = oneLength ? length(forms.front()) : 1;
    return true;
}
}  // namespace

bool TByteSet::Assign(const std::vector<unsigned char>& bytes) {
    count = 0;
    for (const unsigned char b : bytes) {
        const auto other = static_cast<unsigned char>(b ^ 0x20);
        const bool pair = std::find(bytes.begin(), bytes.end(), other) != bytes.end();
        if (pair && other < b) {
            continue;  // taken with its pair
        }
        if (count == 8) {
            return false;
        }
        std::memset(value[count], pair ? (b | 0x20) : b, 16);
        std::memset(caseBit[count], pair ? 0x20 : 0, 16);
        ++count;
    }
    return true;
}

TFoldedNeedle MakeFoldedNeedle(const std::u32string& asked, bool yoAsYe) {
    TFoldedNeedle needle;
    needle.folded = asked;
    needle.yoAsYe = yoAsYe;
    if (yoAsYe) {
        ReadYoAsYe(needle.folded);
    }
    const std::u32string& folded = needle.folded;
    if (std::all_of(folded.begin(), folded.end(), [](char32_t c) { return fold(c) == c; })) {
        for (std::size_t i = 0; i < folded.size(); ++i) {
            needle.offsetOf.push_back(static_cast<std::uint32_t>(needle.utf8.size()));
            AppendEncoded(folded.substr(i, 1), needle.utf8);
            needle.charOf.resize(needle.utf8.size(), static_cast<std::uint32_t>(i));
        }
    }
    if (folded.empty() ||
        std::find(folded.begin(), folded.end(), char32_t{0xFFFD}) != folded.end()) {
        return needle;  // a broken byte's character: left to the whole folding
    }
    // The rarest character the scan can find by its bytes is looked for; the match then
    // begins that many characters before it. One with a character after it counts as a
    // little rarer: the scan passes over most of its places by that character.
    int rarest = std::numeric_limits<int>::max();
    std::vector<unsigned char> starts;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        bool byLastByte = false;
        const int score = commonness(folded[i]) - (i + 1 < folded.size() ? 10 : 0);
        if (score < rarest && findableBytes(folded[i], starts, byLastByte)) {
            if (yoAsYe && folded[i] == kYe) {
                // The text's "ё" stands for it as well: the bytes that find either.
                std::vector<unsigned char> yo;
                findableBytes(kYo, yo, byLastByte);
                for (const unsigned char b : yo) {
                    if (std::find(starts.begin(), starts.end(), b) == starts.end()) {
                        starts.push_back(b);
                    }
                }
            }
            rarest = score;
            needle.starts = starts;
            needle.byLastByte = byLastByte;
            needle.anchor = static_cast<std::uint32_t>(i);
            needle.usable = true;
        }
    }
    if (needle.usable) {
        const std::size_t a = needle.anchor;
        needle.byFollowing = a + 1 < folded.size() && followingBytes(folded[a + 1], yoAsYe, needle);
        needle.byPreceding = a > 0 && precedingBytes(folded[a - 1], yoAsYe, needle.preceding);
        std::vector<unsigned char> following;
        std::vector<unsigned char> followingLeads;
        for (std::size_t b = 0; b < 256 && needle.byFollowing; ++b) {
            if (needle.following[b]) {
                following.push_back(static_cast<unsigned char>(b));
            }
            if (needle.followingLeads[b]) {
                followingLeads.push_back(static_cast<unsigned char>(b));
            }
        }
#if defined(__SSE2__)
        std::vector<unsigned char> own;
        std::vector<unsigned char> leads;
        for (const unsigned char b : needle.starts) {
            // An overlong lead is not followed by the next character but by its own rest.
            (!needle.byLastByte && b >= 0x80 ? leads : own).push_back(b);
        }
        // The next character costs compares on every block: worth it where the anchor
        // comes often.
        const bool pairs = needle.byFollowing && commonness(needle.folded[needle.anchor]) >= 60 &&
                           needle.follow.Assign(following) &&
                           needle.followLeads.Assign(followingLeads);
        if (!pairs) {
            needle.follow.count = 0;
            needle.followLeads.count = 0;
        }
        needle.blocks = needle.wanted.Assign(own) && needle.leads.Assign(leads) &&
                        (needle.starts.size() > 1 || pairs);
#endif
    }
    return needle;
}

void TFoldedScan::Reset(const char* s, std::size_t n) {
    m_s = reinterpret_cast<const unsigned char*>(s);
    m_n = n;
    m_at = 0;
    m_base = 0;
    m_mask = 0;
}

TFoldedScan::TFoldedScan(const char* s, std::size_t n, const TFoldedNeedle& needle)
    : m_s(reinterpret_cast<const unsigned char*>(s)), m_n(n), m_needle(needle) {}

bool TFoldedScan::nextHit(std::size_t& hit) {
    const std::vector<unsigned char>& starts = m_needle.starts;
    if (starts.size() == 1 && !m_needle.blocks) {
        // One byte to find, as for most letters beyond ASCII: the C library's search.
        const void* found =
            m_at < m_n ? std::memchr(m_s + m_at, starts.front(), m_n - m_at) : nullptr;
        if (!found) {
            m_at = m_n;
            return false;
        }
        hit = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - m_s);
        m_at = hit + 1;
        return true;
    }
#if defined(__SSE2__)
    if (m_needle.blocks) {
        // Sixteen bytes compared with every start at once, and the bytes where the next
        // character is known with its bytes; the hits of a block are taken from its mask
        // one by one, so a text full of candidates is still read once.
        const auto any = [](__m128i bytes, const TByteSet& set) {
            __m128i found = _mm_setzero_si128();
            for (std::size_t k = 0; k < set.count; ++k) {
                const auto* caseBit = reinterpret_cast<const __m128i*>(set.caseBit[k]);
                const auto* value = reinterpret_cast<const __m128i*>(set.value[k]);
                found = _mm_or_si128(found, _mm_cmpeq_epi8(_mm_or_si128(bytes, *caseBit), *value));
            }
            return found;
        };
        const std::size_t at = m_needle.followingAt;
        while (m_mask == 0) {
            if (m_at >= m_n) {
                return false;
            }
            __m128i block;
            __m128i next;
            __m128i after;
            unsigned valid = 0xFFFFu;
            if (m_at + 16 + at <= m_n) {
                block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_s + m_at));
                next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_s + m_at + 1));
                after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_s + m_at + at));
            } else {
                // The last bytes in a padded block.
                alignas(16) unsigned char last[48] = {};
                std::memcpy(last, m_s + m_at, m_n - m_at);
                block = _mm_load_si128(reinterpret_cast<const __m128i*>(last));
                next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last + 1));
                after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last + at));
                if (m_n - m_at < 16) {
                    valid = (1u << (m_n - m_at)) - 1u;
                }
            }
            __m128i found = any(block, m_needle.wanted);
            if (m_needle.follow.count > 0) {
                found = _mm_and_si128(found, _mm_or_si128(any(after, m_needle.follow),
                                                          any(next, m_needle.followLeads)));
            }
            found = _mm_or_si128(found, any(block, m_needle.leads));
            m_mask = static_cast<unsigned>(_mm_movemask_epi8(found)) & valid;
            m_base = m_at;
            m_at += 16;
        }
        hit = m_base + static_cast<std::size_t>(__builtin_ctz(m_mask));
        m_mask &= m_mask - 1;
        return true;
    }
#endif
    for (; m_at < m_n; ++m_at) {
        if (std::find(starts.begin(), starts.end(), m_s[m_at]) != starts.end()) {
            hit = m_at++;
            return true;
        }
    }
    return false;
}

bool TFoldedScan::Next(std::size_t& start) {
    std::size_t hit = 0;
    while (nextHit(hit)) {
        // A byte of the anchor's ASCII form (not an overlong lead) or the anchor's last byte
        // is followed by the next character.
        if (m_needle.byFollowing && (m_needle.byLastByte || m_s[hit] < 0x80)) {
            const std::size_t after = hit + m_needle.followingAt;
            if (!(after < m_n && m_needle.following[m_s[after]]) &&
                !(hit + 1 < m_n && m_needle.followingLeads[m_s[hit + 1]])) {
                continue;
            }
        }
        std::size_t at = hit;
        if (m_needle.byLastByte) {
            // The character holding this byte begins at the nearest lead byte before it, at
            // most three bytes back: continuation bytes never begin one, and a lead always
            // does, whatever came before it.
            at = m_n;
            for (std::size_t back = 1; back <= 3 && back <= hit; ++back) {
                if (m_s[hit - back] >= 0xC0) {
                    at = hit - back;
                    break;
                }
            }
            if (at == m_n) {
                continue;
            }
        }
        if (m_needle.byPreceding && (at == 0 || !m_needle.preceding[m_s[at - 1]])) {
            continue;
        }
        // Back over the characters before the anchor. Inside a match every character is a
        // lead or ASCII byte and its continuation bytes, so this finds where it begins;
        // elsewhere it finds some place the match is then checked at.
        bool inside = true;
        for (std::uint32_t c = 0; c < m_needle.anchor && inside; ++c) {
            if (at == 0) {
                inside = false;
                break;
            }
            --at;
            for (int back = 0; back < 3 && at > 0 && (m_s[at] & 0xC0) == 0x80; ++back) {
                --at;
            }
        }
        if (inside) {
            start = at;
            return true;
        }
    }
    return false;
}

bool ContainsFolded(const char* s, std::size_t n, const TFoldedNeedle& needle) {
    TFoldedScan scan(s, n, needle);
    std::size_t start = 0;
    while (scan.Next(start)) {
        if (MatchesFoldedAt(s + start, n - start, needle)) {
            return true;
        }
    }
    return false;
}

bool LikeMatch(const std::u32string& text, const std::u32string& pattern, char32_t escape) {
    // Iterative matching with one back-track point for the last "%": linear in practice
    // and never exponential, whatever the pattern.
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starP = std::u32string::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            char32_t pc = pattern[p];
            if (escape && pc == escape && p + 1 < pattern.size()) {
                if (pattern[p + 1] == text[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (pc == U'%') {
                starP = p++;
                starT = t;
                continue;
            } else if (pc == U'_' || pc == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP == std::u32string::npos) {
            return false;
        }
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == U'%') {
        ++p;
    }
    return p == pattern.size();
}
