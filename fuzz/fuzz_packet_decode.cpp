// Any data text with any plausible record layout is tested and walked
// without reading outside it, and yields no unconverted temperature.
#include "decode/live_plot.h"
#include "decode/packet_decode.h"
#include "model/sample_store.h"
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    decode::PacketParams p;
    p.format = (data[0] & 1) ? 2 : 1;
    p.hexDigits = 1 + (data[0] >> 1) % 8;
    p.withRH = data[0] & 0x10;
    p.rhDigits = p.withRH ? 2 : 0;
    p.blockSampleCount = data[1] % 40;
    p.conversion.format = p.format;
    p.conversion.isSigned = data[2] & 1;
    p.conversion.codeA = data[2] >> 1;
    p.conversion.codeB = data[3] & 0x0F;
    p.conversion.valueA = 100;
    p.conversion.calCodeA = "A00F";
    p.conversion.calCodeB = (data[3] & 0x10) ? "A00F" : "8000";
    p.conversion.calValueA = 337.15f;
    p.conversion.calValueB = 273.15f;
    p.samplesPerHour = data[3] >> 5;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 4),
                                             static_cast<qsizetype>(size - 4));
    if (!decode::packetLooksComplete(text, p))
        return 0;
    const decode::PacketWalk walk = decode::walkPacket(text, p);
    if (walk.status != decode::PacketWalk::Verified)
        return 0;
    for (float t : walk.lists.temps)
        if (!std::isfinite(t))
            std::abort();
    SampleStore store;
    decode::commitPacket(store, walk.lists, data[2] & 2, 1, 1);
    return 0;
}
