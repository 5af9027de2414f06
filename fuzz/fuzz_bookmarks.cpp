#include "FuzzInput.h"
#include "urls/LinkImport.h"
#include "urls/ShortcutReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    for (const TImportedLink& link : ReadBookmarkHtml(DecodeText(bytes))) {
        FUZZ_CHECK(link.Description.size() <= 255);
    }
    for (const TImportedLink& link : ReadChromiumBookmarks(bytes)) {
        FUZZ_CHECK(link.Description.size() <= 255);
    }
    return 0;
}
