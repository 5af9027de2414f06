#include "FuzzInput.h"
#include "urls/TextFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    if (LooksBinary(bytes)) {
        return 0;
    }
    const QString url =
        IniValue(DecodeText(bytes), QStringLiteral("InternetShortcut"), QStringLiteral("URL"));
    FUZZ_CHECK(!url.contains(QLatin1Char('\n')) && !url.contains(QLatin1Char('\r')));
    return 0;
}
