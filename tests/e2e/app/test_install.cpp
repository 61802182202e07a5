// Installing: `cmake --install` of this build into a temporary DESTDIR, under a
// prefix with a blank in it, puts every file in its place and nothing else; the
// desktop entry, the catalogue entry and the manual pages pass the system's own
// checkers; the installed program runs from there, and the menu's launcher
// starts it in ~/Brenvale. The Debian package holds the same files under /usr
// and passes lintian.
#include "app/command_line.h"
#include "app/version.h"
#include "process_run.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPrefix = "/opt/brenvale test";

struct InstalledFile {
    const char* path; // under the prefix
    int iconSize = 0; // 0: not a PNG icon
};

// Every file that an install puts under the prefix.
const InstalledFile kFiles[] = {
    {.path = "bin/brenvale"},
    {.path = "bin/bvsim"},
    {.path = "libexec/brenvale/brenvale-launcher"},
    {.path = "share/applications/brenvale.desktop"},
    {.path = "share/metainfo/com.brenvale.brenvale.metainfo.xml"},
    {.path = "share/icons/hicolor/scalable/apps/brenvale.svg"},
    {.path = "share/icons/hicolor/32x32/apps/brenvale.png", .iconSize = 32},
    {.path = "share/icons/hicolor/64x64/apps/brenvale.png", .iconSize = 64},
    {.path = "share/icons/hicolor/256x256/apps/brenvale.png", .iconSize = 256},
    {.path = "share/man/man1/brenvale.1.gz"},
    {.path = "share/man/man1/bvsim.1.gz"},
    {.path = "share/doc/brenvale/changelog.Debian.gz"},
    {.path = "share/doc/brenvale/copyright"},
};

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

// The files under a folder, by their paths relative to it, sorted.
QStringList filesUnder(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(root).relativeFilePath(it.next());
    paths.sort();
    return paths;
}

QStringList expectedFiles(const QString& prefix) {
    QStringList paths;
    for (const InstalledFile& file : kFiles)
        paths << prefix + file.path;
    paths.sort();
    return paths;
}

QString gunzip(const QString& path) {
    return runProgram("gzip", {"-dc", path}).out;
}

// Debian wants gzip -9n: the maximum compression flag set, and neither the
// original name nor a time stamp, so that a rebuild gives the same bytes.
QString gzipHeaderFault(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "cannot be read";
    const QByteArray header = file.read(10);
    if (header.size() < 10 || header.left(2) != "\x1f\x8b")
        return "is not gzip";
    if (header[3] & 0x08)
        return "keeps its original name";
    if (header.mid(4, 4) != QByteArray(4, '\0'))
        return "keeps a time stamp";
    if (header[8] != 2)
        return "is not at maximum compression";
    return QString();
}

struct Changelog {
    QString version, maintainer;
};

// The newest entry's version and signature, or empty fields when the text
// is not laid out as a Debian changelog.
Changelog newestEntry(const QString& text) {
    static const QRegularExpression title(R"(^brenvale \(([^)]+)\) [a-z-]+; urgency=[a-z]+\n)");
    static const QRegularExpression signature(
        R"(\n -- (.+ <[^>]+>)  [A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d [+-]\d{4}\n)");
    const QRegularExpressionMatch first = title.match(text), signed_ = signature.match(text);
    if (!first.hasMatch() || !signed_.hasMatch())
        return {};
    return {.version = first.captured(1), .maintainer = signed_.captured(1)};
}

// The programs that building and checking the package needs, that are missing.
QStringList missingPackagingTools() {
    QStringList missing;
    for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps", "file", "lintian"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    return missing;
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
        QTest::addColumn<int>("iconSize");
        for (const InstalledFile& file : kFiles)
            QTest::newRow(file.path) << QString(file.path) << file.iconSize;
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
        if (path.endsWith(".gz")) {
            const QString fault = gzipHeaderFault(file.filePath());
            QVERIFY2(fault.isEmpty(), qPrintable(path + " " + fault));
        }
    }

    void nothingElseInstalled() {
        QCOMPARE(filesUnder(destdir.path() + kPrefix), expectedFiles(QString()));
    }

    // The checker accepts the entry without a remark (a second main category
    // draws a hint: the entry would show in two menus), and the entry starts
    // the installed launcher by its place under the prefix given at install time.
    void desktopEntry() {
        const QString entry = installed("share/applications/brenvale.desktop");
        const ProgramRun r = runProgram("desktop-file-validate", {entry});
        QVERIFY2(r.exitCode == 0 && r.out.trimmed().isEmpty(),
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
        QCOMPARE(keys["Categories"], "Science;");
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
        QTest::newRow("brenvale") << "brenvale.1.gz" << longOptions(app::usage());
        const ProgramRun help = runProgram(installed("bin/bvsim"), {"--help"});
        QTest::newRow("bvsim") << "bvsim.1.gz" << longOptions(help.out);
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

        const QString text = gunzip(path).replace("\\-", "-");
        QVERIFY(options.size() > 3);
        for (const QString& option : options)
            QVERIFY2(longOptions(text).contains(option), qPrintable(option + " is not described"));
    }

    // The changelog names this version and is signed by the maintainer that
    // the copyright file gives as the contact.
    void changelogAndCopyright() {
        const Changelog entry =
            newestEntry(gunzip(installed("share/doc/brenvale/changelog.Debian.gz")));
        QVERIFY2(entry.version.startsWith(app::versionNumber() + "-"), qPrintable(entry.version));
        QVERIFY(!entry.maintainer.isEmpty());

        QFile copyright(installed("share/doc/brenvale/copyright"));
        QVERIFY(copyright.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(copyright.readAll());
        QVERIFY(text.startsWith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
        QVERIFY(text.contains("\nUpstream-Contact: " + entry.maintainer + "\n"));
        static const QRegularExpression unset("@[A-Z_]+@");
        QVERIFY2(!unset.match(text).hasMatch(), qPrintable(text));
    }

    // `cpack -G DEB` builds a package of the same files under /usr, whose
    // Maintainer and Version fields agree with its changelog; lintian finds
    // no error in it, and every warning it gives is one that the README explains.
    void debianPackage() {
        if (const QStringList missing = missingPackagingTools(); !missing.isEmpty())
            QSKIP(qPrintable("the package is not built: " + missing.join(", ") + " missing"));
        QTemporaryDir out;
        const QString build = qEnvironmentVariable("BRENVALE_BINARY_DIR");
        const ProgramRun pack = runProgram(
            "cpack", {"-G", "DEB", "-B", out.path(), "--config", build + "/CPackConfig.cmake"});
        QVERIFY2(pack.exitCode == 0, qPrintable(describe("cpack", pack)));
        const QStringList debs = QDir(out.path()).entryList({"brenvale_*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs.first());

        const QString tree = out.filePath("tree");
        const ProgramRun extract = runProgram("dpkg-deb", {"-x", deb, tree});
        QVERIFY2(extract.exitCode == 0, qPrintable(describe("dpkg-deb -x", extract)));
        QCOMPARE(filesUnder(tree), expectedFiles("usr/"));

        const Changelog entry =
            newestEntry(gunzip(tree + "/usr/share/doc/brenvale/changelog.Debian.gz"));
        const ProgramRun version = runProgram("dpkg-deb", {"-f", deb, "Version"});
        QCOMPARE(version.out.trimmed(), entry.version);
        const ProgramRun maintainer = runProgram("dpkg-deb", {"-f", deb, "Maintainer"});
        QCOMPARE(maintainer.out.trimmed(), entry.maintainer);

        // lintian fails on errors, and prints each warning as "W: brenvale: tag ...".
        const ProgramRun lint = runProgram("lintian", {deb});
        QVERIFY2(lint.exitCode == 0, qPrintable(describe("lintian", lint)));
        QFile readme(qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/README.md");
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString explained = QString::fromUtf8(readme.readAll());
        static const QRegularExpression warning(R"(^W: brenvale: ([a-z0-9-]+))",
                                                QRegularExpression::MultilineOption);
        for (const auto& tag : warning.globalMatch(lint.out))
            QVERIFY2(explained.contains('`' + tag.captured(1) + '`'),
                     qPrintable("the README does not explain " + tag.captured(1)));
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
