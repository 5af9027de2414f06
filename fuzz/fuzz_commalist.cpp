#include "FuzzInput.h"
#include "reports/ReportWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList items = SplitCommaText(FuzzText(data, size));
    // What the reader made of any text, written and read again, is the same list.
    FUZZ_CHECK(SplitCommaText(CommaText(items)) == items);
    return 0;
}
