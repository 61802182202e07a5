// Whatever bytes COMPORT.DAT, DATEFMT.DAT and USERINFO.DAT hold, reading them
// and using what they say ends in a value: no crash, no read outside a text.
#include "app/settings_files.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "link/port_names.h"
#include "link/upload_plan.h"
#include "platform/formatting.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes as the settings files are read: no file per input.
    const QString text = app::settingsText(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    // Every line break comes back as CR LF.
    for (qsizetype i = 0; i < text.size(); ++i)
        if ((text[i] == u'\r') != (i + 1 < text.size() && text[i + 1] == u'\n'))
            std::abort();

    // COMPORT.DAT: the port and the fast rate it names.
    bvlink::portNameOf(text);
    bvlink::fastRateOf(bvlink::fastBaudRateOf(text));

    // DATEFMT.DAT: the pattern every date is written with.
    const QString& pattern = text;
    const platform::DateTime t = platform::encodeDateTime(2008, 12, 31, 23, 59, 58);
    QByteArray row;
    files::appendSampleFields(row, pattern, t, 21.5f, 45.9f, true);
    // The rows' own date formatting writes what the general one does.
    if (!row.startsWith(files::fileText(platform::formatDateTimeFixed(pattern, t)) + ", "))
        std::abort();
    files::columnHeader(pattern);
    files::datePrefixLength(pattern);
    files::dateOrderOf(pattern.section(' ', 0, 0));

    // USERINFO.DAT: four values, which written back read back the same.
    const std::array<QString, 4> values = app::parseUserInfo(text);
    if (std::none_of(values.begin(), values.end(),
                     [](const QString& v) { return v.contains(':'); })) {
        const std::array<QString, 4> again =
            app::parseUserInfo(app::buildUserInfo(values[0], values[1], values[2], values[3]));
        if (again != values)
            std::abort();
    }
    return 0;
}
