#include "FuzzInput.h"
#include "gridtools/FilterTemplatesUnit.h"

// The text, a line feed, the mask.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = FuzzText(data, size);
    const int split = input.indexOf(QLatin1Char('\n'));
    const QString text = split < 0 ? input : input.left(split);
    const QString mask = split < 0 ? QStringLiteral("*@*") : input.mid(split + 1);
    const bool matched = MatchMask(text, mask);
    const QString captured = ExtractMask(text, mask);
    FUZZ_CHECK(matched || captured.isEmpty());
    FUZZ_CHECK(captured.size() <= text.size());
    return 0;
}
