#pragma once

// Every named character reference of HTML, sorted by name, byte by byte: entries parted by a
// blank, each the name without its semicolon, a colon, and the code point in hex (two of
// them joined by "+" for the few names that stand for two characters), as in
// "AElig:C6 ... NotEqualTilde:2242+338 ...".
extern const char kHtmlNamedReferences[];
