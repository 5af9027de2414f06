#include "FuzzInput.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "urls/BookmarkEncoding.h"
#include "urls/HtmlTokenizer.h"
#include "urls/LinkImport.h"

// The bookmark readers: HTML's tokenizer over the text as the file import decodes it, the
// bookmark file reader on top of it, and the Chromium reader, which either reads the bytes
// or says the file is damaged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    const TDecodedText decoded = DecodeBookmarkBytes(bytes);
    for (size_t i = 1; i < decoded.damage.size(); ++i) {
        FUZZ_CHECK(decoded.damage[i - 1] < decoded.damage[i]);
    }
    for (const qsizetype at : decoded.damage) {
        FUZZ_CHECK(at < decoded.text.size() &&
                   decoded.text[at] == QChar(QChar::ReplacementCharacter));
    }
    // Every piece follows the one before, inside the text, and moves on.
    THtmlTokenizer tokens(decoded.text);
    THtmlToken token;
    qsizetype last = 0;
    while (tokens.Next(token)) {
        FUZZ_CHECK(token.begin >= last && token.end > token.begin &&
                   token.end <= decoded.text.size());
        last = token.end;
        for (const THtmlToken::TAttribute& a : token.attributes) {
            FUZZ_CHECK(!a.name.isEmpty());
        }
    }
    // Decoding never makes a text longer.
    FUZZ_CHECK(DecodeHtmlEntities(decoded.text).size() <= decoded.text.size());
    // A description comes whole (the preview shortens it, visibly) and with its blanks
    // simplified.
    for (const TImportedLink& link : ReadBookmarkHtml(decoded)) {
        FUZZ_CHECK(link.Description == link.Description.simplified());
        FUZZ_CHECK(link.Category.isEmpty());
    }
    try {
        for (const TImportedLink& link : ReadChromiumBookmarks(bytes)) {
            FUZZ_CHECK(link.Description == link.Description.simplified());
        }
    } catch (const EError& e) {
        FUZZ_CHECK(!e.message().isEmpty());
    }
    return 0;
}
