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
    // A server address gives a port the server can have, or is refused.
    QString host;
    int port = 0;
    if (SplitServerAddress(c.value(QStringLiteral("Data Source")), host, port)) {
        FUZZ_CHECK(port >= 1 && port <= 65535);
    }
    return 0;
}
