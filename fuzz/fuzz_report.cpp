#include "FuzzInput.h"
#include "platform/Errors.h"
#include "reports/ReportWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = FuzzText(data, size);
    try {
        ProducePage(page);
    } catch (const EError&) {
        // A line too long is the one refusal.
    }
    DetectCharset(page, QStringLiteral("us-ascii"));
    IsHtmlMessage(page);
    const TReportParts parts = SplitReportRows(page);
    FUZZ_CHECK(parts.Head + parts.Rows.join(QString()) + parts.Tail == page);
    const QString broken = BreakLongLines(page, 127);
    FUZZ_CHECK(broken.size() >= page.size());
    return 0;
}
