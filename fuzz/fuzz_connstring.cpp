#include "FuzzInput.h"
#include "platform/db/ConnectionString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TConnectionString c(FuzzText(data, size));
    c.provider();
    // What is written back reads as the same values.
    const TConnectionString again(c.toString());
    for (const char* name : {"Provider", "Data Source", "Initial Catalog", "User ID", "Password"}) {
        FUZZ_CHECK(again.value(QLatin1String(name)) == c.value(QLatin1String(name)));
    }
    c.withoutPassword();
    return 0;
}
