// Every byte the writers produce, pinned by digest: plain files, plain and
// duplicate pairs and monthly appends, for every date format, with and
// without RH, over an ordinary run of rows and over a store of odd values
// and times. A change of row formatting or of the scrambler that alters one
// byte anywhere shows here.
#include "app/date_formats.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "files/duplicate_file.h"
#include "files/monthly_files.h"
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cfloat>
#include <cmath>

using platform::encodeDateTime;

namespace {

const char kVersion[] = "Brenvale(tm) - Version 5.2.1";
const platform::DateTime kCreated = encodeDateTime(2026, 12, 9, 10, 0, 0);

QByteArray userLines() {
    return files::userBlock("Ann, QA", "Lab 2", "BV-0042", kVersion);
}

void addSample(SampleStore& store, platform::DateTime t, float celsius, float rh) {
    store.SampleTimes.push_back(t);
    store.TempData.push_back(celsius);
    store.RHData.push_back(rh);
}

// Two thousand rows 15 s apart across the turn of a year (and so of a month,
// of AM and PM), temperatures stepping through every hundredth's rounding,
// gaps and events.
void fillRamp(SampleStore& store) {
    const platform::DateTime start = encodeDateTime(2026, 12, 31, 22, 0, 0);
    for (int i = 0; i < 2000; ++i) {
        const platform::DateTime t = start + i * 15 * platform::kSecond;
        const bool gap = i % 397 == 5;
        addSample(store, t, gap ? kNoReading : -40.0f + i * 0.0625f + (i % 7) * 0.001f,
                  gap ? kNoReading : 0.5f + (i % 211) * 0.47f);
        if (i % 300 == 7)
            store.AlarmStarts[0].push_back(t - platform::kSecond);
        if (i % 300 == 150)
            store.AlarmEnds[0].push_back(t);
        if (i % 500 == 250)
            store.AlarmStarts[1].push_back(t + platform::kSecond);
    }
    store.NewSensorEvents = {start - 1.0};
    store.TestStarts = {start, start};
    store.TestEnds = {start + 1.0}; // after the last row
}

// Values and times at the edges: before 1900, a fraction that rounds to the
// next day, milliseconds that do not round up the second, huge, tiny,
// negative zero and not-a-number readings.
void fillOdd(SampleStore& store) {
    addSample(store, -700.25, 0.005f, 0.0f);
    addSample(store, 1.0 - 1e-9, -0.005f, -0.5f);
    addSample(store, encodeDateTime(2009, 1, 1, 0, 0, 0) + 0.999 * platform::kSecond, -0.0f,
              99.99f);
    addSample(store, encodeDateTime(2009, 1, 1, 12, 0, 0), FLT_MAX, 3e38f);
    addSample(store, encodeDateTime(2009, 1, 1, 12, 59, 59), -FLT_MAX, std::nanf(""));
    addSample(store, encodeDateTime(2024, 2, 29, 23, 59, 59), std::nanf(""), -3e38f);
    addSample(store, encodeDateTime(2024, 3, 1, 0, 0, 0), 1e-30f, 2147483520.0f);
    addSample(store, encodeDateTime(2024, 3, 1, 1, 0, 0), 9998.5f, 9999.0f);
    addSample(store, encodeDateTime(9999, 12, 31, 23, 59, 59), 123.456f, 45.999f);
    store.AlarmEnds[1] = {-800.0, encodeDateTime(2024, 3, 1, 0, 0, 0)};
}

QByteArray plainFile(const SampleStore& store, const QString& pattern, bool withRh) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!files::writePlainFile(buffer, store, pattern, withRh, kCreated, userLines()))
        return "write failed";
    return buffer.data();
}

// What Save Chart writes: the plain file and its duplicate, one after the other.
QByteArray filePair(const SampleStore& store, const QString& pattern, bool withRh) {
    QBuffer plain, duplicate;
    plain.open(QIODevice::WriteOnly);
    duplicate.open(QIODevice::WriteOnly);
    files::DuplicatingWriter writer(plain, duplicate, pattern, kCreated, userLines());
    if (!files::writePlainFile(writer, store, pattern, withRh, kCreated, userLines()))
        return "write failed";
    writer.finish();
    return plain.data() + duplicate.data();
}

// Two downloads of the store's halves appended to the monthly files, a new
// month opened where the rows cross into one, as the automatic downloads
// do; every file the two leave behind, by name.
QByteArray monthlyFiles(const SampleStore& store, const QString& pattern, bool withRh) {
    QTemporaryDir dir;
    const QString base = dir.filePath("plant.csv");
    const files::MonthlyHeaders headers = files::monthlyHeaders(pattern, kCreated, userLines());
    files::AppendChain chain;
    files::EventCounter events(store);
    const size_t rows = store.SampleTimes.size();
    for (const auto& [first, last] : {std::pair{size_t(0), rows / 2}, std::pair{rows / 2, rows}}) {
        files::MonthlyAppend out(base, 1, headers, chain);
        if (!out.begin(store.SampleTimes[first], store.SampleTimes[last - 1]))
            return "journal failed";
        out.openMonth(store.SampleTimes[first]);
        QString month = out.plainName();
        QByteArray fields;
        for (size_t i = first; i < last; ++i) {
            if (files::monthlyFileName(base, 1, store.SampleTimes[i]) != month) {
                out.closeMonth();
                out.openMonth(store.SampleTimes[i]);
                month = out.plainName();
            }
            fields.resize(0);
            files::appendSampleFields(fields, pattern, store.SampleTimes[i], store.TempData[i],
                                      store.RHData[i], withRh);
            out.appendRow(fields, events.countsFor(store.SampleTimes[i]), i % 3 != 2);
        }
        if (!out.commit())
            return "write failed";
    }
    QByteArray all;
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return "read failed";
        all += name.toLatin1() + '\n' + file.readAll();
    }
    return all;
}

// The duplicate of a save loaded back: every list of the store and what
// the loader reports, as bytes.
QByteArray loadedBack(const SampleStore& saved, const QString& pattern, bool withRh) {
    QBuffer plain, duplicate;
    plain.open(QIODevice::WriteOnly);
    duplicate.open(QIODevice::ReadWrite);
    files::DuplicatingWriter writer(plain, duplicate, pattern, kCreated, userLines());
    files::writePlainFile(writer, saved, pattern, withRh, kCreated, userLines());
    writer.finish();
    duplicate.seek(0);
    const std::optional<files::DetectedFormat> format = files::detectDateFormat(duplicate).format;
    if (!format || !duplicate.seek(0))
        return "no format";
    SampleStore store;
    files::DataFileLoader loader(store, format->pattern,
                                 files::dateOrderOf(format->shortDateFormat));
    loader.expectBytes(duplicate.size());
    files::LineReader reader(duplicate);
    QByteArrayView line;
    QByteArray out;
    while (reader.next(line))
        out += char('0' + int(loader.feedLine(line)));
    const auto bytesOf = [&](const auto& list) {
        out.append(reinterpret_cast<const char*>(list.data()),
                   qsizetype(list.size() * sizeof list[0]));
    };
    bytesOf(store.SampleTimes);
    bytesOf(store.TempData);
    bytesOf(store.RHData);
    for (const std::vector<platform::DateTime>* list : store.eventLists())
        bytesOf(*list);
    out += (store.UserName + store.UserLocation + store.UnitId + store.SoftwareVersion).toUtf8();
    out += QByteArray::number(loader.samplesPerHour().value_or(-1), 'g', 17);
    out += char('0' + loader.withRh().value_or(2));
    return out;
}

QByteArray written(const QString& kind, const SampleStore& store, const QString& pattern,
                   bool withRh) {
    if (kind == "plain")
        return plainFile(store, pattern, withRh);
    if (kind == "pair")
        return filePair(store, pattern, withRh);
    if (kind == "loaded")
        return loadedBack(store, pattern, withRh);
    return monthlyFiles(store, pattern, withRh);
}

struct Golden {
    const char* store;
    const char* kind;
    int format; // index into the date formats
    bool rh;
    const char* sha256;
};

// Taken from the writers and the reader as they were before their rows were
// sped up.
constexpr Golden kGolden[] = {
    {"ramp", "plain", 0, false, "4808916082ecec41c290fcf78d769746eb6714371047d591566ab7d0162fb93c"},
    {"ramp", "plain", 0, true, "98dc1e8397c8a8c35df11fbd3aa6cd00b17f01e0047e7cc19978f13a0c450443"},
    {"ramp", "plain", 1, false, "022314be7e8db0461f02a208c1d9f5f8021a0dd92e74f10df504f0983b3526aa"},
    {"ramp", "plain", 1, true, "5a5e90e2f3a0d38cb3556ee9cb0bfa1d733df957ef573195bf285df7aa7f63e6"},
    {"ramp", "plain", 2, false, "93dde5b9271e647ef8ea20d8f43733f16769c293b3b6e0632fc65c869374ad0a"},
    {"ramp", "plain", 2, true, "33dfa63d0564ad3bf002bb5d20a0b2055db4c688e5e915be6dbb139674b8ec21"},
    {"ramp", "plain", 3, false, "2453c3b4c56fa234e3e515f43d038b0b161caf122e16baa7fa1ba2ca42795f52"},
    {"ramp", "plain", 3, true, "3c537c1fd68ad902613096ede0443d44bf7d3466e85ad86a15abb74664b6a3d7"},
    {"ramp", "plain", 4, false, "e794fc0427aef6a9d42f1202888e060ae0ff81add6ca7f0360e6caca10d8a893"},
    {"ramp", "plain", 4, true, "8dfc52f3475ff5a067ce5d9a823420c1bc4a121ccfecd6202e57ec52a83941e1"},
    {"ramp", "plain", 5, false, "0c2be3cf559f739ff6144e6635914c97c575229d33afca22c1eaa64385217d11"},
    {"ramp", "plain", 5, true, "d8672be78ad490dc9e0699a78405eb37ea134778f31e0a43fb3b9a3dc1d5bd0d"},
    {"ramp", "plain", 6, false, "c0c682f030239c761ecec7dc578c59648235c57f96e027f6bb2c51623d604396"},
    {"ramp", "plain", 6, true, "ac2a7404bd5de60379f2dd414e56a4aa8fe11c5cf4ea1666c6d0d8c0674a5bf7"},
    {"ramp", "plain", 7, false, "1f8fbd21d88371f6e5497ee8943417faf921000c8e929db0e7c1e56cac223a71"},
    {"ramp", "plain", 7, true, "17dc988139579a123a2124201e15b22f78958488fbf9c44b6ead82b5839c7e7a"},
    {"ramp", "pair", 0, false, "fb3cd346af656ffe53bc8732a8e2447d4f1b908033fbd183900106b10a0173e8"},
    {"ramp", "pair", 0, true, "b102310b4844a97080d7397b506c4e7b00ba8231e41540c7aa538ac90977304c"},
    {"ramp", "pair", 1, false, "6e778f303d544d69d91a781734ede998d4b9ecf78f3d237cb525c725cd628aa5"},
    {"ramp", "pair", 1, true, "71085d08a78447a47c779f97e594ceb383b297a67e6bbd0e5feaddaed64797ce"},
    {"ramp", "pair", 2, false, "abc8e41d12e4b3b1ccbb1cbac4fb738136f39a57d785e1307b0968e824dbab37"},
    {"ramp", "pair", 2, true, "0357e8471fd0f2f24b66ae5838c4da5da5595507578b3d8806029f9fe4b1d73e"},
    {"ramp", "pair", 3, false, "5aa24e5afac8c5c2a9c4660da6b0a911fbb8c9db5bd671eebbfcb46365d08417"},
    {"ramp", "pair", 3, true, "5416f7ca837b08a51fea2801c11d0d5a9ea25126c6dea20cdf49ff0986717bc4"},
    {"ramp", "pair", 4, false, "138f6fb3e54e5a84899a6c6231b6aff65ecd12206aff06c3d4146fde905842a2"},
    {"ramp", "pair", 4, true, "744f511c860e8e542c7e51e3330aa4be4c92bb306b8438f6e9f538c34391330c"},
    {"ramp", "pair", 5, false, "d2e20a84679b211e776fbc15415efbdf5ebc0ab230ff128f4c47d95546f4d888"},
    {"ramp", "pair", 5, true, "1b6ed7814cfae3ec03dcc25a2a3eaad11bb1e083d89a827add0bf8764f1754b2"},
    {"ramp", "pair", 6, false, "ea23befabc89e0913b170272cc882b4a04ece71087e2b296bb6d8fac75466db3"},
    {"ramp", "pair", 6, true, "d325593475c75a427befcf77e402a610a1065c0c5ce65d80bd98d4d86ce5f45c"},
    {"ramp", "pair", 7, false, "ce18d14f4648385d8b28be884d5e0a40c83a11c6d69f319413bfa3bfe4bbd7f3"},
    {"ramp", "pair", 7, true, "01583b1fbae835b8ff3f8a5c8f6955d11d4359205e3d0b893231136b2847cbc7"},
    {"ramp", "monthly", 0, false,
     "e6725734e99582afb1e6f65334017215c1c3cc036b0bc32cd82e53d4dc57779f"},
    {"ramp", "monthly", 0, true,
     "8304629615e8b05fb21f55966b3f46088d7cbed743b59c20975f656b888e4cca"},
    {"ramp", "monthly", 1, false,
     "2353b4cb3380507e7829e3c5de759e9254ff8085d70eb1ec01a8c320143c7692"},
    {"ramp", "monthly", 1, true,
     "903e153cbd1d5a86bc4e9c45d4b3d4c192c66968c3bb88a37e26541dbccaa9cb"},
    {"ramp", "monthly", 2, false,
     "b2139c174d466680219bf34eeb6c5c1a7d0faa4a9036ef61afbbac19928e8300"},
    {"ramp", "monthly", 2, true,
     "8ae776452dfb11b9893be3f5419e4a18345e89668df2b150e4c9c8bc9783af4e"},
    {"ramp", "monthly", 3, false,
     "beb9329ebfdac6af61319baff0ac5d569b96d83697c7edd44f6c5bc31c442471"},
    {"ramp", "monthly", 3, true,
     "ba0591c74b6ebc514b61f8c6649af71e57bd8638cfde0ebbb813c50448bb20c2"},
    {"ramp", "monthly", 4, false,
     "e26b82391fbbb9683dae7f45741214bf360600116ddf48b3aca1bc91e1503a17"},
    {"ramp", "monthly", 4, true,
     "009f24e29c66c8b8992125aab9f600c4eab02d12ada0c46b24713f7adc653b26"},
    {"ramp", "monthly", 5, false,
     "282ebebfbf74e4ce2bf5666b0e0b75504075d6b54e0ad5c7da100e6e0adba8e8"},
    {"ramp", "monthly", 5, true,
     "4ddfee3b10725f744fabfce6c0e61cfacfe6a87b01ea78962053ae768209d99c"},
    {"ramp", "monthly", 6, false,
     "d757f687b0d8db468057c9abc3841307c07db6f66410be30e6346783f0a2aecb"},
    {"ramp", "monthly", 6, true,
     "d686f3f08398eab40fb22db4f9df60efeadc2863ee5beb797e3e7d43d43b8324"},
    {"ramp", "monthly", 7, false,
     "b6f137b01177b664a07d98ce453b31dd660bd3129aafd727199bf38e134b526b"},
    {"ramp", "monthly", 7, true,
     "aacb4bbb4ca7e9764c08d906ab205aedc2190443e2d83b58bcc19802122c5c19"},
    {"odd", "plain", 0, false, "0cb637cdbe7d71fc388c188cad196ac41b7d18c3055aa1b44c2d2c1d0e0c8a1c"},
    {"odd", "plain", 0, true, "224cd086030da0fa631c6f3b186edd4fdc1295da77f884620b08fdf50eb04d73"},
    {"odd", "plain", 1, false, "5c8621123ef5394ee35ec4fe0467ac5d6150a83e5a9507bc44a3a513d3302b48"},
    {"odd", "plain", 1, true, "8814c711a366219cf2250559741db07506aa09b211f4320d0b567aec6e54f5db"},
    {"odd", "plain", 2, false, "08a9ec99b1fbd2f664ac953ce16651b430f5e3b2f4afd83cddd66f57cdb4499b"},
    {"odd", "plain", 2, true, "69aede5925cbac465f385336fc8cd712602e0563dd47928e0a2613a8c342f04b"},
    {"odd", "plain", 3, false, "3544d36e334465de7ba029bcc47ba3e2ca98f3d6d111836645a7037634d5bbdd"},
    {"odd", "plain", 3, true, "658de8c2099882cce15073139cc40ddb80eb8267db3e84e07e2c07b17fb36308"},
    {"odd", "plain", 4, false, "198a1a1f5dec2322d9faaaae29fa9afc0b185d89574df1a790111b39a687c4fc"},
    {"odd", "plain", 4, true, "a5075a3c2a8ffd90439581dd72bf46a0b78419a1fa90a3f5f038b1424fee145e"},
    {"odd", "plain", 5, false, "38d2104b348cbb154c3e6f087b723e9e5f4ab2bfd0fba5e66bdc979e01919cde"},
    {"odd", "plain", 5, true, "bdd1862534aaf12c292ac0154c66e6490be631c99dcc53043bc697624b720714"},
    {"odd", "plain", 6, false, "b2ecfe62a2ec9c75b04292618f3ea9a27e81eb8b154cf1ff93f99b34e58e53b5"},
    {"odd", "plain", 6, true, "485113461ad0bfab11e73f62b557c8dfc0525c53b744dd054b2bad9209568f63"},
    {"odd", "plain", 7, false, "5139b7c01d83659f74cd7fd0633bda85aa8be2617de9b69f68533214730d53e0"},
    {"odd", "plain", 7, true, "0af80575d893daa4061884793740ce7605594de6d57a1fa9f26e764daa8e7530"},
    {"odd", "pair", 0, false, "c529e258a4d741fcaa1cf1492756c9ea9710da76ebc0a28f26265ca988913b90"},
    {"odd", "pair", 0, true, "b419fd4637c4930d9773ad6330ff07dc4f3abcca2d8ab9440c397b73e1132103"},
    {"odd", "pair", 1, false, "b793be92a51d21a5cd1259942576e9fb7c69d54467e44b9552c8213b86e198ac"},
    {"odd", "pair", 1, true, "ccfd9a53140016b51c6858391a13c9e54b531de55330124a9d81efb2f851b367"},
    {"odd", "pair", 2, false, "1895df25362c7664d2201b8ac29024f7232cd8d666a3dfb965d9cdb220e6af50"},
    {"odd", "pair", 2, true, "fe588d328059583fb5a3414d47e312ebcce0302359764a9a5d6d674b1dd76797"},
    {"odd", "pair", 3, false, "7b3a53b80448199817c882a420a2f72eb74dbb388e1a0d2262b5295204ac3c29"},
    {"odd", "pair", 3, true, "ec9d83fdac107adb59bd4f367d316072ad42b926975067062438756e8f484d07"},
    {"odd", "pair", 4, false, "a88f941118b6180019dd941e6f7e5514e8c3fd04e3bc826f7ac81b3cec927cf9"},
    {"odd", "pair", 4, true, "2f265b7be8543ee6e47a14e2f66e80f79f27296450e8a12325838861851e55ba"},
    {"odd", "pair", 5, false, "79cc34447a2e157497cf1ea2c7016449ddef132bc1e0f9eefca4346c458c57cb"},
    {"odd", "pair", 5, true, "ddffdb6ebffc3719f08a90adac69c90aba50e3b0f9f31721a9dbca5373348a78"},
    {"odd", "pair", 6, false, "121175790a2c258988dc5f7f84008fb236e2c5073b30e98b5cad0c0181eab9d8"},
    {"odd", "pair", 6, true, "937171b95925f56a7c515d1216b7d66661c56d1702e298ba2049c252ef605add"},
    {"odd", "pair", 7, false, "ae78be3fbedd64708adaf2a4e5df541342b5578a47c46ce280157dd29f44de10"},
    {"odd", "pair", 7, true, "857d0d9913e50761cf29ecd3be9671668b96bca9cacfff4fec9e15f0ffb104ff"},
    {"odd", "monthly", 0, false,
     "5dfd419ef49d16661c81dad64ea50ec83cc8457ae124f6f4bfa4bf1311e365ed"},
    {"odd", "monthly", 0, true, "1c655044524149d4fa174cdb7e76fbb8d6114e76f52368213be432bdeeb22347"},
    {"odd", "monthly", 1, false,
     "7ac14c8ca6d7b88919028b1b639a8e0ea7e24b160e9aca7da4ccaded26a65084"},
    {"odd", "monthly", 1, true, "30f922b6332e1a2efd849b23805a433fde818cbddfd9812fed217e5c6f174be1"},
    {"odd", "monthly", 2, false,
     "b97b4811bf9511b4861ef3f9207913cbbbd059e845494dc8e98599fda1d49504"},
    {"odd", "monthly", 2, true, "489f428f0c6cd42b5079b16858013158d24612ecad345a041f5d2dc8c03dc3fe"},
    {"odd", "monthly", 3, false,
     "1b92755dafd5984ccb94a425b64c315469b095361bdd75c4a69d37ac7bf49fac"},
    {"odd", "monthly", 3, true, "dc7499a3d75d5e78766dbff2d86cb1d875bebe217b352813bf058bc3509ae902"},
    {"odd", "monthly", 4, false,
     "994391d65ab5ddd8b70f7673adb96f9bded487478090b0745391ecd1aec04135"},
    {"odd", "monthly", 4, true, "1bf2001801df5fe20bd70d53c2c98e7cd1d40404051d044144494dafa75c1a99"},
    {"odd", "monthly", 5, false,
     "7c109749cd114343478ef368ac3c90de7cddab39f1986541bc3822a4c345d18d"},
    {"odd", "monthly", 5, true, "6eeef5bfc19cebee630407e3fef520be24183c7afcc890a4199d72da231f794f"},
    {"odd", "monthly", 6, false,
     "42f77b6efe8a5494f6fd8a6d134b404872b63259a85f1a9594e0e7279e14603d"},
    {"odd", "monthly", 6, true, "368bcd5be721a0655b4c3117b7e93b693c61cdbdf3ad7b5b4168f0ab2a626c82"},
    {"odd", "monthly", 7, false,
     "c2f367f4a91faed0f7fb101cea0ae838963bd50aa7fea02b11c0102238ba0d91"},
    {"odd", "monthly", 7, true, "298459d9007f49a3eb84004022824ba50e4529759c03e0fd7ddd0c3d3d24d3b3"},
    {"ramp", "loaded", 0, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 0, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 1, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 1, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 2, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 2, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 3, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 3, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 4, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 4, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 5, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 5, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 6, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 6, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"ramp", "loaded", 7, false,
     "5e5b7a9cd395461e7ee4d44b95c0972e6bbaea6be93d4161ab8e373bc85a3099"},
    {"ramp", "loaded", 7, true, "3f8a6fc3f468f2a6b3341680b1fc500240734d5cc8ac487c9926d6f68f1bddb1"},
    {"odd", "loaded", 0, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 0, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 1, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 1, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 2, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 2, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 3, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 3, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 4, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 4, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 5, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 5, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 6, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 6, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
    {"odd", "loaded", 7, false, "ec0043234910e3e846ba834aa8797d7a57e7cd314cd01c9ea6c519f6f242ca1e"},
    {"odd", "loaded", 7, true, "ce895e21c82370e2f1136efbe83f79616d3ac1e0cbf9a428ab684d7af1dacd1b"},
};

} // namespace

class TestFileDigests : public QObject {
    Q_OBJECT
  private slots:
    void bytesAsBefore_data() {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("rh");
        QTest::addColumn<QByteArray>("sha256");
        for (const Golden& g : kGolden)
            QTest::addRow("%s %s %s%s", g.store, g.kind, app::kFormats[g.format], g.rh ? " RH" : "")
                << g.store << g.kind << g.format << g.rh << QByteArray(g.sha256);
    }

    void bytesAsBefore() {
        QFETCH(QString, store);
        QFETCH(QString, kind);
        QFETCH(int, format);
        QFETCH(bool, rh);
        QFETCH(QByteArray, sha256);
        SampleStore samples;
        (store == "ramp" ? fillRamp : fillOdd)(samples);
        const QByteArray bytes = written(kind, samples, app::kFormats[format], rh);
        QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(), sha256);
    }

    // Every store, kind, format and RH layout has its digest.
    void tableIsComplete() { QCOMPARE(std::size(kGolden), size_t(2 * 4 * 8 * 2)); }
};

QTEST_GUILESS_MAIN(TestFileDigests)
#include "test_file_digests.moc"
