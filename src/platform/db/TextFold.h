#pragma once

#include <cstddef>
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
// Whether the folded text begins with the already folded prefix.
bool StartsWithFolded(const char* s, std::size_t n, const std::u32string& foldedPrefix);
// A folded text to look for inside others without folding them: usable when its first
// character is ASCII and no other character folds to it, so that a match can only begin
// at one of a few bytes (that character in either case, or the lead of an overlong form);
// or when its first character is another one of the BMP, found by the last byte of its forms.
struct TFoldedNeedle {
    std::u32string folded;
    std::vector<unsigned char>
        starts;  // the bytes a match begins with, or ends its first character with
    bool byLastByte = false;
    bool usable = false;
};
TFoldedNeedle MakeFoldedNeedle(const std::u32string& folded);
// Whether the folded text contains the needle (which must be usable): the answer a byte
// search of both foldings gives.
bool ContainsFolded(const char* s, std::size_t n, const TFoldedNeedle& needle);
// Whether the text, folded, contains the folded needle; any needle (the fast search above
// takes only some), one character decoded and folded at a time.
bool ContainsFoldedText(const char* s, std::size_t n, const std::u32string& folded);
// Jet's LIKE on folded texts: "%" any run, "_" one character, escape (0 for none) takes
// the next pattern character literally.
bool LikeMatch(const std::u32string& text, const std::u32string& pattern, char32_t escape);
