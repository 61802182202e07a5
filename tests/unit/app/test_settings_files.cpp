// The settings files: exact bytes, the USERINFO.DAT parse, failures.
#include "app/settings_files.h"
#include "platform/errors.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFiles : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const char* name) const { return m_dir.filePath(name); }
    void write(const char* name, const QByteArray& bytes) const {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

  private slots:
    void readMakesEveryLineBreakCrLf_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("COM3:115200") << "COM3:115200";
        QTest::newRow("lone LF") << QByteArray("a\nb") << "a\r\nb";
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << "a\r\nb\r\n";
        QTest::newRow("CR LF kept") << QByteArray("a\r\nb\r\n") << "a\r\nb\r\n";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("high bytes") << QByteArray("\xe9t\xe9") << QString::fromLatin1("\xe9t\xe9");
        QTest::newRow("UTF-8") << QByteArray("\xc3\xa9t\xc3\xa9\n")
                               << QString::fromUtf16(u"\u00e9t\u00e9\r\n");
    }
    void readMakesEveryLineBreakCrLf() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(app::settingsText(bytes), text);
        write("X.DAT", bytes);
        QCOMPARE(app::readText(path("X.DAT")).value(), text);
    }

    void absentFileReadsNothing() { QVERIFY(!app::readText(path("NONE.DAT"))); }

    void writeStoresTheTextByteForByte() {
        app::writeText(path("DATEFMT.DAT"), "dd/mm/yyyy, hh:mm:ss");
        QFile file(path("DATEFMT.DAT"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("dd/mm/yyyy, hh:mm:ss"));
    }

    void writeFailureRaises() {
        QVERIFY_THROWS_EXCEPTION(platform::FileCreateError,
                                 app::writeText(path("missing/folder/X.DAT"), "x"));
    }

    void userInfoRoundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("id");
        QTest::newRow("values") << "Ann Smith"
                                << "Lab 4, north"
                                << "BV-0042";
        QTest::newRow("empty values") << ""
                                      << ""
                                      << "";
        QTest::newRow("only location") << ""
                                       << "Plant"
                                       << "";
    }
    void userInfoRoundTrip() {
        QFETCH(QString, name);
        QFETCH(QString, location);
        QFETCH(QString, id);
        const QString text = app::buildUserInfo(name, location, id, "Brenvale(tm) - Version 5.2.1");
        app::writeText(path("USERINFO.DAT"), text);
        const auto values = app::parseUserInfo(app::readText(path("USERINFO.DAT")).value());
        QCOMPARE(values[0], name);
        QCOMPARE(values[1], location);
        QCOMPARE(values[2], id);
        QCOMPARE(values[3], QString("Brenvale(tm) - Version 5.2.1"));
    }

    void userInfoParse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("empty") << "" << QStringList{"", "", "", ""};
        QTest::newRow("foreign") << "hello\r\nworld" << QStringList{"", "", "", ""};
        QTest::newRow("two separators")
            << "~User Name: A\r\n~User Location: B" << QStringList{"A", "B", "", ""};
        // A value with ": " stops the next search inside it.
        QTest::newRow("value with colon blank")
            << "~User Name: a: b\r\n~User Location: L\r\n~BV ID: I\r\n~PC Software Version: V\r\n"
            << QStringList{"a: b", "b", "L", "I"};
        // A bare ":" takes the place of the next label's colon.
        QTest::newRow("value with colon")
            << "~User Name: a:b\r\n~User Location: L\r\n~BV ID: I\r\n~PC Software Version: V\r\n"
            << QStringList{"a:b", "L", "L", "I"};
    }
    void userInfoParse() {
        QFETCH(QString, text);
        QFETCH(QStringList, values);
        const auto parsed = app::parseUserInfo(text);
        QCOMPARE(QStringList(parsed.begin(), parsed.end()), values);
    }

    void versionIsTheCaptionBeforeTheBar() {
        QCOMPARE(app::versionFromCaption("Brenvale(tm) - Version 5.2.1 | C:\\a.csv | Channel 1"),
                 QString("Brenvale(tm) - Version 5.2.1"));
        QCOMPARE(app::versionFromCaption("Brenvale(tm) - Version 5.2.1"),
                 QString("Brenvale(tm) - Version 5.2.1"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "test_settings_files.moc"
