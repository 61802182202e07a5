// Any header text, in either format, decodes without reading outside it.
#include "decode/header_decode.h"
#include "model/sample_store.h"
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int format = (data[0] & 1) ? 2 : 1;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1),
                                             static_cast<qsizetype>(size - 1));
    SampleStore store;
    const decode::HeaderOutcome outcome = decode::decodeHeader(text, format, store);
    if (!outcome.failed)
        decode::channelSummary(store, format, data[0] & 2 ? 1 : 0);
    QString line;
    decode::readHeaderLine(text, data[0], 256, line);
    return 0;
}
