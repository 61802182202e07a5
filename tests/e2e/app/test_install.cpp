// Installing: `cmake --install` of this build into a temporary DESTDIR, under a
// prefix with a blank in it, puts every file in its place; the desktop entry,
// the catalogue entry and the manual pages pass the system's own checkers; the
// installed program runs from there, and the menu's launcher starts it in
// ~/Brenvale.
#include "app/command_line.h"
#include "app/version.h"
#include "process_run.h"
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPrefix = "/opt/brenvale test";

QString describe(const QString& what, const ProgramRun& r) {
    if (!r.started)
        return what + " did not start: is it installed? (./brenvale.sh test installs it)";
    return QString("%1 exited with %2\n%3%4").arg(what).arg(r.exitCode).arg(r.out, r.err);
}

// The long options that a text names ("--bv-id", "--auto-file", ...).
QStringList longOptions(const QString& text) {
    static const QRegularExpression option("--[a-z][a-z0-9-]*[a-z0-9]");
    QStringList names;
    for (const auto& match : option.globalMatch(text))
        names << match.captured();
    names.removeDuplicates();
    return names;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir destdir;

    // A path under the prefix as it lies in the DESTDIR.
    QString installed(const QString& relative) const {
        return destdir.path() + kPrefix + "/" + relative;
    }

  private slots:
    void initTestCase() {
        QVERIFY(destdir.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DESTDIR", destdir.path());
        const ProgramRun r = runProgram(
            "cmake",
            {"--install", qEnvironmentVariable("BRENVALE_BINARY_DIR"), "--prefix", kPrefix},
            QString(), environment);
        QVERIFY2(r.exitCode == 0, qPrintable(describe("cmake --install", r)));
    }

    void files_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("iconSize"); // 0: not a PNG icon
        for (const char* path : {"bin/brenvale", "bin/bvsim", "libexec/brenvale/brenvale-launcher",
                                 "share/applications/brenvale.desktop",
                                 "share/metainfo/com.brenvale.brenvale.metainfo.xml",
                                 "share/icons/hicolor/scalable/apps/brenvale.svg",
                                 "share/man/man1/brenvale.1", "share/man/man1/bvsim.1"})
            QTest::newRow(path) << QString(path) << 0;
        for (int size : {32, 64, 256}) {
            const QString path = QString("share/icons/hicolor/%1x%1/apps/brenvale.png").arg(size);
            QTest::newRow(qPrintable(path)) << path << size;
        }
    }
    void files() {
        QFETCH(QString, path);
        QFETCH(int, iconSize);
        const QFileInfo file(installed(path));
        QVERIFY2(file.isFile() && file.size() > 0, qPrintable(file.filePath() + " is missing"));
        if (path.startsWith("bin/") || path.startsWith("libexec/"))
            QVERIFY(file.isExecutable());
        if (iconSize)
            QCOMPARE(QImage(file.filePath()).size(), QSize(iconSize, iconSize));
    }

    // The checker accepts the entry, and the entry starts the installed
    // launcher by its place under the prefix given at install time.
    void desktopEntry() {
        const QString entry = installed("share/applications/brenvale.desktop");
        const ProgramRun r = runProgram("desktop-file-validate", {entry});
        QVERIFY2(r.exitCode == 0 && !r.out.contains("error") && !r.out.contains("warning"),
                 qPrintable(describe("desktop-file-validate", r)));

        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QMap<QString, QString> keys;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (const qsizetype equals = line.indexOf('='); equals > 0)
                keys[QString::fromUtf8(line.left(equals))] =
                    QString::fromUtf8(line.mid(equals + 1));
        const QString launcher = kPrefix + "/libexec/brenvale/brenvale-launcher";
        QCOMPARE(keys["Exec"], "\"" + launcher + "\" %f");
        QVERIFY(QFileInfo(destdir.path() + launcher).isExecutable());
        QCOMPARE(keys["Icon"], "brenvale");
        QCOMPARE(keys["Categories"], "Science;Utility;");
        QVERIFY(!keys["Comment"].isEmpty());
    }

    void catalogueEntry() {
        const QString metainfo = installed("share/metainfo/com.brenvale.brenvale.metainfo.xml");
        const ProgramRun r = runProgram("appstreamcli", {"validate", "--no-net", metainfo});
        QVERIFY2(r.exitCode == 0, qPrintable(describe("appstreamcli validate", r)));
        QFile file(metainfo);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(
            file.readAll().contains("<release version=\"" + app::versionNumber().toUtf8() + "\""));
    }

    // Each page renders without a warning, fits 80 columns, and names every
    // option that its program's own usage names.
    void manualPages_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("brenvale") << "brenvale.1" << longOptions(app::usage());
        const ProgramRun help = runProgram(installed("bin/bvsim"), {"--help"});
        QTest::newRow("bvsim") << "bvsim.1" << longOptions(help.out);
    }
    void manualPages() {
        QFETCH(QString, page);
        QFETCH(QStringList, options);
        const QString path = installed("share/man/man1/" + page);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MANWIDTH", "80");
        environment.insert("MANPAGER", "cat");
        const ProgramRun r = runProgram("man", {"--warnings", "-l", path}, QString(), environment);
        QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), qPrintable(describe("man", r)));
        QVERIFY(r.out.contains("SYNOPSIS"));
        for (const QString& line : r.out.split('\n'))
            QVERIFY2(line.size() <= 80, qPrintable("wider than 80 columns: " + line));

        QFile source(path);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(source.readAll()).replace("\\-", "-");
        QVERIFY(options.size() > 3);
        for (const QString& option : options)
            QVERIFY2(longOptions(text).contains(option), qPrintable(option + " is not described"));
    }

    void installedProgramRuns() {
        const ProgramRun r = runProgram(installed("bin/brenvale"), {"--version"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe("brenvale --version", r)));
        QCOMPARE(r.out, app::versionCaption() + "\n");
    }

    // The first start from the menu creates ~/Brenvale, and the program runs
    // there: its settings land in that folder, not in the one it was started from.
    void launcherStartsInBrenvaleFolder() {
        QTemporaryDir home, elsewhere;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        const QString launcher = installed("libexec/brenvale/brenvale-launcher");
        const QString folder = home.filePath("Brenvale");

        const ProgramRun first = runProgram(launcher, {"--version"}, elsewhere.path(), environment);
        QVERIFY2(first.exitCode == 0, qPrintable(describe("the launcher", first)));
        QCOMPARE(first.out, app::versionCaption() + "\n");
        QVERIFY(QFileInfo(folder).isDir());

        // COM1 leads nowhere, so that the start-up's port opens nothing real.
        QVERIFY(QFile::link(home.filePath("no-such-device"), folder + "/COM1"));
        const ProgramRun second =
            runProgram(launcher, {"--headless", "--date-format", "dd/mm/yyyy hh:mm:ss"},
                       elsewhere.path(), environment);
        QVERIFY2(second.started && second.exitCode >= 0,
                 qPrintable(describe("the launcher", second)));
        QFile dateFormat(folder + "/DATEFMT.DAT");
        QVERIFY(dateFormat.open(QIODevice::ReadOnly));
        QCOMPARE(dateFormat.readAll(), QByteArray("dd/mm/yyyy hh:mm:ss"));
        QVERIFY(QDir(elsewhere.path()).isEmpty());
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
