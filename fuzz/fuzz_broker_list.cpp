// A broker-list reply of arbitrary bytes through its reader and the address rule.
#include "fuzzsupport.h"

#include "brokerserver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto servers = parseBrokerList(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (!servers)
        return 0;
    for (const BrokerServer &server : *servers) {
        FUZZ_CHECK(server.brokerId == 34);
        const QString url = tradeServerUrl(server.address);
        FUZZ_CHECK(url.startsWith(QLatin1String("ws://")) || url.startsWith(QLatin1String("wss://")));
    }
    return 0;
}
