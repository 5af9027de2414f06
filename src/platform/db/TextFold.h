#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Case-insensitive text rules shared by the engines' LIKE and text comparison, the
// dataset's sort keys and Locate: letters compare by their Unicode case folding, so
// Cyrillic and Latin letters alike ignore case. Work on UTF-8 bytes without making
// QStrings, with a fast path for ASCII.

// Appends the case-folded text as code points.
void FoldUtf8(const char* s, std::size_t n, std::u32string& out);
// Appends the case-folded text as UTF-8: a byte search in two such texts finds exactly
// the folded characters (UTF-8 never matches in the middle of a character).
void AppendFolded(const char* s, std::size_t n, std::string& out);
// The same for code points already folded.
void AppendEncoded(const std::u32string& folded, std::string& out);
// Appends the sort key of a text: its folding as UTF-8, with "ё" sorting as "е" the way
// Russian readers expect; memcmp of two keys gives the sort order.
void AppendSortKey(const char* s, std::size_t n, std::string& out);
// <0, 0, >0 comparing the folded texts by code point.
int CompareFolded(const char* a, std::size_t na, const char* b, std::size_t nb);
// Whether the folded text begins with the already folded prefix. With yoAsYe, as for the
// search box, "ё" in the text is read as "е" (the prefix must hold no "ё").
bool StartsWithFolded(const char* s, std::size_t n, const std::u32string& foldedPrefix,
                      bool yoAsYe = false);
// Makes every "ё" of a folded text "е": the search box finds "ёлка" by "елка" and the
// other way round, as the sort puts them together.
void ReadYoAsYe(std::u32string& folded);
// A folded text to look for inside others without folding them, by one of its characters
// (the anchor, the rarest such): an ASCII one no other character folds to, found by a few
// bytes (itself in either case, or the lead of an overlong form), or another one of the
// BMP, found by the last byte of its forms. Usable when it has such a character.
// Bytes compared sixteen at a time: each entry a byte, or two that differ only in the bit
// of letter case (0x20), with that bit set before the compare.
struct TByteSet {
    alignas(16) unsigned char value[8][16] = {};
    alignas(16) unsigned char caseBit[8][16] = {};
    std::size_t count = 0;
    // False when the bytes need more than eight entries.
    bool Assign(const std::vector<unsigned char>& bytes);
};

struct TFoldedNeedle {
    std::u32string folded;
    std::vector<unsigned char> starts;  // the bytes the anchor begins with, or ends with
    bool byLastByte = false;
    std::uint32_t anchor = 0;  // its index in folded
    bool usable = false;
    // The character after the anchor and the one before: a place whose neighbours cannot
    // be forms of them is passed over without a closer look, as most places of a common
    // letter are. The one after is known by the byte followingAt bytes after the anchor's
    // last (the last byte of a form, where all its forms have one length; else the first),
    // or by an overlong form's lead right after the anchor; the one before by its last.
    bool byFollowing = false;
    bool byPreceding = false;
    std::size_t followingAt = 1;
    std::array<bool, 256> following{};
    std::array<bool, 256> followingLeads{};
    std::array<bool, 256> preceding{};
    bool yoAsYe = false;  // "ё" in a text matches the needle's "е"
    // For a scan sixteen bytes at a time (blocks): the starts that must be followed by the
    // next character (the anchor's own bytes), the ones that need not (the leads of its
    // overlong forms), and the next character's bytes where it is worth the compares.
    bool blocks = false;
    TByteSet wanted;
    TByteSet leads;
    TByteSet follow;
    TByteSet followLeads;
    // The folded needle as UTF-8 and, for each of its bytes, the character it belongs to:
    // a text already in folded form (most are, in lower case) is compared a byte at a time.
    std::string utf8;
    std::vector<std::uint32_t> charOf;
    std::vector<std::uint32_t> offsetOf;
};
// With yoAsYe the needle's "ё" is made "е", and a text's "ё" matches it.
TFoldedNeedle MakeFoldedNeedle(const std::u32string& folded, bool yoAsYe = false);
// Whether the folded text contains the needle (which must be usable): the answer a byte
// search of both foldings gives.
bool ContainsFolded(const char* s, std::size_t n, const TFoldedNeedle& needle);
// Whether the text begins with the needle, folded (StartsWithFolded, faster).
bool MatchesFoldedAt(const char* s, std::size_t n, const TFoldedNeedle& needle);
// The places in a text where the needle may begin, in order. For a search over several
// texts laid end to end, which checks each candidate within its own text.
class TFoldedScan {
public:
    TFoldedScan(const char* s, std::size_t n, const TFoldedNeedle& needle);
    // Starts over on another text.
    void Reset(const char* s, std::size_t n);
    // The next place, false after the last.
    bool Next(std::size_t& start);

private:
    bool nextHit(std::size_t& hit);

    const unsigned char* m_s;
    std::size_t m_n;
    const TFoldedNeedle& m_needle;
    std::size_t m_at = 0;    // where the text is read on
    std::size_t m_base = 0;  // the block whose hits are left in m_mask
    unsigned m_mask = 0;
};
// Whether the text, folded, contains the folded needle; any needle (the fast search above
// takes only some), one character decoded and folded at a time.
bool ContainsFoldedText(const char* s, std::size_t n, const std::u32string& folded,
                        bool yoAsYe = false);
// Jet's LIKE on folded texts: "%" any run, "_" one character, escape (0 for none) takes
// the next pattern character literally.
bool LikeMatch(const std::u32string& text, const std::u32string& pattern, char32_t escape);
