// Host work for one block of 1500 samples (the packet text growing chunk by
// chunk with the completeness tests on each, then the walk, the commit and
// the live points) as a fraction of the block's time on the wire at 115200
// baud, 10 bits a byte.
#include "app/tform1.h"
#include "chart/chart.h"
#include "decode/live_plot.h"
#include "decode/packet_decode.h"
#include "model/sample_store.h"
#include "platform/clock.h"
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QString>
#include <QTimeEdit>
#include <cstdio>

namespace {

// The same block through the main window: appended to Memo5 a chunk at a
// time as the reader thread does, decoded by its handler, committed to the
// store and drawn on the chart, then the chart redrawn.
double windowPathSeconds(const QString& packet, int samples) {
    platform::ManualClock clock(platform::encodeDateTime(2026, 12, 9, 12, 0, 0));
    platform::setClock(&clock);
    TForm1 form;
    form.resize(800, 600);
    form.show();
    const QDateTime start = platform::toQDateTime(platform::encodeDateTime(2026, 12, 1, 0, 0, 0));
    form.Startdate->setDate(start.date());
    form.Starttime->setTime(start.time());
    form.Enddate->setDate(start.date().addDays(30));
    form.SetSamplesPerHour(240);
    form.store.HeaderFormat = 2;
    form.store.HexDigitsPerValue = 4;
    ChannelHeaderRecord& header = form.store.ChannelHeader[0];
    header.QuantityCount = 2;
    header.Bits = {16, 8};
    header.IsSigned = {true, false};
    header.ValueA[0] = 100;
    header.CodeA[0] = 10000;
    form.RHBV.setChecked(true);
    form.store.BlockSampleCount = samples;
    form.Startloadingdata.setChecked(true);
    form.Chart1->replot(); // the first redraw of a new chart lays out fonts and axes once

    QElapsedTimer timer;
    timer.start();
    for (qsizetype at = 0; at < packet.size() && form.Startloadingdata.checked(); at += 100)
        form.Memo5.append(packet.mid(at, 100));
    const double decodeSeconds = timer.nsecsElapsed() / 1e9;
    form.Chart1->replot();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("  of which chart redraw: %.3f ms\n", (seconds - decodeSeconds) * 1e3);
    if (form.store.TempData.size() != static_cast<std::size_t>(samples))
        std::printf("window path: %zu samples committed\n", form.store.TempData.size());
    platform::setClock(nullptr);
    return seconds;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kSamples = 1500;
    constexpr int kRounds = 50;
    decode::PacketParams p;
    p.format = 2;
    p.hexDigits = 4;
    p.rhDigits = 2;
    p.withRH = true;
    p.blockSampleCount = kSamples;
    p.conversion.valueA = 100;
    p.conversion.codeA = 10000;
    p.rangeStart = 46000;
    p.samplesPerHour = 240;

    // The logger's bytes as the reader hands them over: hex text, 50 bytes a read.
    QString body;
    int sum = 0;
    for (int i = 0; i < kSamples; ++i) {
        const int t = 2000 + (i * 37) % 500, rh = 30 + i % 40;
        body += QString("%1%2").arg(t, 4, 16, QChar('0')).arg(rh, 2, 16, QChar('0')).toUpper();
        sum += (t >> 8) + (t & 0xFF) + rh;
    }
    const QString packet = "2B" + body + QString("%1").arg(sum % 256, 2, 16, QChar('0')).toUpper() +
                           QString(6, '0') + "0D0A";
    const double wireBytes = packet.size() / 2.0;
    const double wireSeconds = wireBytes * 10 / 115200.0;

    QElapsedTimer timer;
    timer.start();
    std::size_t drawn = 0;
    for (int round = 0; round < kRounds; ++round) {
        QString text;
        bool complete = false;
        for (qsizetype at = 0; at < packet.size() && !complete; at += 100) {
            text += packet.mid(at, 100);
            complete = decode::packetLooksComplete(text, p);
        }
        const decode::PacketWalk walk = decode::walkPacket(text, p);
        if (walk.status != decode::PacketWalk::Verified) {
            std::printf("packet not verified\n");
            return 1;
        }
        SampleStore store;
        const decode::LiveDrawing d = decode::commitPacket(store, walk.lists, true, 1, 1);
        drawn += d.series1.size() + d.series2.size();
    }
    const double hostSeconds = timer.nsecsElapsed() / 1e9 / kRounds;
    std::printf("block of %d samples: %.0f bytes, %.1f ms on the wire at 115200 baud\n", kSamples,
                wireBytes, wireSeconds * 1e3);
    std::printf("host work per block: %.3f ms = %.2f %% of the wire time (goal <= 2 %%)\n",
                hostSeconds * 1e3, 100 * hostSeconds / wireSeconds);
    std::printf("(%zu points drawn)\n", drawn / kRounds);
    const double windowSeconds = windowPathSeconds(packet, kSamples);
    std::printf("through the main window (Memo5 appends, handler, chart append and redraw): "
                "%.3f ms = %.2f %% of the wire time\n",
                windowSeconds * 1e3, 100 * windowSeconds / wireSeconds);
    return 0;
}
