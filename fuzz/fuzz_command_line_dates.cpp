// Any texts given to --from and --to are refused, or taken as times from
// which the range arithmetic makes a count of samples.
#include "app/command_line.h"
#include "link/upload_plan.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static constexpr double kRates[] = {0.5, 1, 7, 13, 60, 240, 3600, 7200};
    const double perHour = kRates[data[0] % 8];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    const qsizetype split = bytes.indexOf('\n');
    // UTF-8 as the shell hands arguments over.
    const QString from = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString to = QString::fromUtf8(split < 0 ? QByteArray() : bytes.mid(split + 1));

    // The date parser decides; the command line, whose option table is built
    // for every parse, runs only for texts it takes. Its refusal of the
    // others is a case of its unit test.
    const std::optional<QDateTime> start = app::parseRangeTime(from);
    const std::optional<QDateTime> end = app::parseRangeTime(to);
    if (!start || !end)
        return 0;
    const auto parsed =
        app::parse({"--headless", "--range", "custom", "--from", from, "--to", to, "--upload"});
    const auto* options = std::get_if<app::Options>(&parsed);
    if (!options || options->from != from || options->to != to)
        std::abort(); // both read as times, so the command line takes them as given
    const platform::DateTime a = platform::fromQDateTime(*start);
    const platform::DateTime b = platform::fromQDateTime(*end);
    const int count = bvlink::rangeSampleCount(a, b, perHour, false); // a custom range
    if ((b < a && count > 0) || (b > a + 1 && count < 0))
        std::abort();
    return 0;
}
