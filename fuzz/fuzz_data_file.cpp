// Whatever bytes a data file holds, reading it ends in a result: no crash,
// no read outside a line. Also checks that printable lines survive a
// scramble and unscramble unchanged.
#include "app/date_formats.h"
#include "files/cipher.h"
#include "files/data_file_reader.h"
#include <QBuffer>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the pattern the loader assumes.
    const QString pattern = app::kFormats[data[0] % app::kFormats.size()];
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1),
                                               static_cast<qsizetype>(size - 1));

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::optional<files::DetectedFormat> detected = files::detectDateFormat(buffer).format;
    buffer.seek(0);

    SampleStore store;
    files::DataFileLoader loader(
        store, detected ? detected->pattern : pattern,
        files::dateOrderOf(detected ? detected->shortDateFormat : QString("mm/dd/yyyy")));
    files::LineReader reader(buffer, 64); // small reads: lines cross the buffer's end
    QByteArrayView line;
    while (reader.next(line) && loader.feedLine(line) == files::DataFileLoader::Result::Ok) {
    }
    if (store.TempData.size() != store.RHData.size() ||
        store.TempData.size() > store.SampleTimes.size())
        std::abort();

    // Printable text comes back from the scrambler unchanged: the first 256
    // bytes, longer than a data file's lines and than the scrambler's blocks
    // (63 bytes scrambled, 144 unscrambled). More would only cost time.
    QByteArray printable = bytes.first(std::min<qsizetype>(bytes.size(), 256));
    for (char& c : printable)
        c = static_cast<char>(32 + static_cast<unsigned char>(c) % 95);
    CipherState writer, reader2;
    const QByteArray scrambled = ScrambleLine(writer, printable);
    if (UnscrambleLine(reader2, scrambled) != printable)
        std::abort();
    return 0;
}
