#include "FuzzInput.h"
#include "mail/SMTPClient.h"

// Reply lines as a server sends them, and recipient entries as a user types them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = FuzzText(data, size);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const qint16 number = TSocketClient::ReplyNumberOf(line);
        TSMTPClient::ReplyContinues(line);
        SocketErrorText(number);
        const QString address = TSMTPClient::AddressOf(line);
        FUZZ_CHECK(address.size() <= line.size());
    }
    return 0;
}
