#include "FuzzInput.h"
#include "gridtools/ColumnLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString title;
    int position = 0;
    int width = 0;
    bool visible = true;
    if (ParseColumnLayoutValue(FuzzText(data, size), title, position, width, visible)) {
        FUZZ_CHECK(width >= 0);
    }
    return 0;
}
