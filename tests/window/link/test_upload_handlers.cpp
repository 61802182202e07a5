// The upload handlers of the main window driven as the reader thread drives
// them: header text into Memo2, logger replies into Memo5, and the status
// line, flags and store after each step.
#include "app/radio_group.h"
#include "app/tform1.h"
#include "app_fixture.h"
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>

namespace {

// Channel 1 holds 1 Dec 2026 08:00:00 and 08:00:15 (240 per hour): "All
// data" is these two samples.
QString header(const QString& sampled = "5") {
    const QString ch = "Model BV-200\r\nSerial 4711\r\n1\r\nCalibrated 2026\r\n0 points\r\n"
                       "Sampled every " +
                       sampled +
                       " seconds\r\nStored every 15 seconds\r\n"
                       "12/01/26\r\n08:00:15\r\n12/01/26\r\n08:00:00\r\n1T\r\n16 bits signed\r\n"
                       "2710 100.0\r\n0 0.0\r\nC\r\nIIR filter 10% last output\r\n";
    return "001\r\n" + ch + "002\r\n" + ch;
}

// 40.0 and -1.0 degrees, the checksum of their bytes is 4A.
QString packet(const QString& checksum = "4A") {
    return "0FA0FF9C" + checksum + "00000D0A";
}

} // namespace

class TestUploadFlow : public QObject {
    Q_OBJECT

    AppFixture* app = nullptr;
    QStringList statuses;

    TForm1& form() { return app->form(); }

    // "Upload Data" and the header as the reader hands it over.
    void uploadHeader(const QString& text) {
        form().UploadDataClick();
        form().store.HeaderFormat = 2;
        form().Memo2.append(text);
        form().Headerloaded.setChecked(true);
        form().Memo2.append("\r\n");
    }

  private slots:
    void init() {
        app = new AppFixture;
        app->start();
        statuses.clear();
        const TextControl* status = &form().Edit1;
        connect(status, &StateControl::valueChanged, this,
                [this, status] { statuses << status->text(); });
    }
    void cleanup() {
        delete app;
        app = nullptr;
    }

    void wholeUploadAtTheFastRate() {
        uploadHeader(header());
        QCOMPARE(form().Firstdate.text(), "12/01/26");
        QCOMPARE(form().Samplesperhour.text(), "240");
        QCOMPARE(form().Datastored.text(), "IIR filter 10% last output");
        QCOMPARE(form().Edit1.text(), "Attempting 57600 baud rate...");
        QCOMPARE(form().store.FastBaudCommand, "B057600T05");
        QVERIFY(form().WaitOnFastAck.checked());

        form().Memo5.append("62");
        QVERIFY(form().FastBaud.checked());
        QCOMPARE(form().store.RequestText, "001120126080000000002");
        QCOMPARE(form().Edit1.text(),
                 "RECEIVING DATA...PLEASE WAIT...(packet>001120126080000000002)");
        QVERIFY(form().WaitingForAck.checked());

        form().Memo5.append("2B");
        QVERIFY(!form().WaitingForAck.checked());
        form().Memo5.append(packet().left(10));
        QVERIFY(form().store.TempData.empty()); // not complete yet
        form().Memo5.append(packet().mid(10));
        QCOMPARE(form().store.TempData, (std::vector<float>{40.0f, -1.0f}));
        QCOMPARE(form().store.SampleTimes[1], platform::encodeDateTime(2026, 12, 1, 8, 0, 15));
        QVERIFY(statuses.contains("Checksum verified."));
        QCOMPARE(form().Edit1.text(), "DATA LOADED");
        QVERIFY(form().DataLoaded.checked());
        QVERIFY(!form().FastBaud.checked());
        QVERIFY(form().UploadData->isEnabled());
    }

    // A logger that does not take the fast rate is asked at 19200 instead of
    // leaving the upload waiting.
    void refusedFastRateGoesOn() {
        uploadHeader(header());
        form().Memo5.append("63");
        QVERIFY(!form().FastBaud.checked());
        QVERIFY(form().Startloadingdata.checked());
        QVERIFY(form().WaitingForAck.checked());
        form().Memo5.append("2B" + packet());
        QCOMPARE(form().Edit1.text(), "DATA LOADED");
    }

    void badChecksumIsRepeatedAndRecovers() {
        uploadHeader(header());
        form().Memo5.append("62");
        form().Memo5.append("2B" + packet("4B"));
        QVERIFY(statuses.contains("BAD CHECKSUM (74<>4B)...PLEASE WAIT..."));
        QVERIFY(form().store.TempData.empty());
        QCOMPARE(form().BlockRetries, 1);
        QVERIFY(!form().Errorindata.checked()); // the request went out again
        QVERIFY(form().WaitingForAck.checked());
        QVERIFY(form().Memo5.text().isEmpty());
        form().Memo5.append("2B" + packet());
        QCOMPARE(form().Edit1.text(), "DATA LOADED");
        QCOMPARE(form().store.TempData.size(), std::size_t(2));
    }

    // A second bad checksum of the same block leaves the flags for the reader
    // thread's retries and cancellation instead of asking again from here.
    void repeatedBadChecksumGoesToTheRetries() {
        uploadHeader(header());
        form().Memo5.append("62");
        form().Memo5.append("2B" + packet("4B"));
        form().Memo5.append("2B" + packet("4C"));
        QCOMPARE(form().Edit1.text(), "BAD CHECKSUM (74<>4C)...PLEASE WAIT...");
        QVERIFY(form().Errorindata.checked());
        QVERIFY(form().Startloadingdata.checked());
        QVERIFY(form().AbortUpload->isEnabled());
        QVERIFY(form().store.TempData.empty());
    }

    void headerErrors_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shownFirst");
        QTest::newRow("not 001") << "002\r\n"
                                 << "DATA NOT VALID, <001> EXPECTED";
        QTest::newRow("sampled every 10 seconds") << header("10") << "";
    }
    void headerErrors() {
        QFETCH(QString, text);
        QFETCH(QString, shownFirst);
        uploadHeader(text);
        if (!shownFirst.isEmpty())
            QVERIFY(statuses.contains(shownFirst));
        QCOMPARE(form().Edit1.text(), "ERROR IN HEADER DATA.  UPLOAD CANCELLED.");
        QVERIFY(form().Errorindata.checked());
        QVERIFY(form().store.RequestText.isEmpty());
        QVERIFY(form().UploadData->isEnabled());
    }

    // A custom range is half-open: from a time to itself holds no sample.
    void emptyRangeIsRefused() {
        form().upload_range_group->setItemIndex(3);
        form().Startdate->setDate(QDate(2026, 12, 1));
        form().Starttime->setTime(QTime(8, 0, 0));
        form().Enddate->setDate(QDate(2026, 12, 1));
        form().Endtime->setTime(QTime(8, 0, 0));
        uploadHeader(header());
        QCOMPARE(form().Edit1.text(), "UPLOAD CANCELLED. Invalid date/time range specified.");
        QVERIFY(form().Errorindata.checked());
    }

    void abortLeavesTheFastRate() {
        uploadHeader(header());
        form().Memo5.append("62");
        form().AbortUploadClick();
        QCOMPARE(form().Edit1.text(), "UPLOAD ABORTED BY USER");
        QVERIFY(!form().FastBaud.checked());
        QVERIFY(!form().Startloadingdata.checked());
        QVERIFY(form().UploadData->isEnabled());
    }

    void channel2RequestsItsOwnSelector() {
        form().RadioButton2->setChecked(true);
        uploadHeader(header());
        form().Memo5.append("62");
        QCOMPARE(form().store.RequestText, "002120126080000000002");
        QCOMPARE(form().store.ChannelLabel, "Channel 2");
    }
};

QTEST_MAIN(TestUploadFlow)
#include "test_upload_handlers.moc"
