#include "frame/helpviewer.h"
#include "shared/paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool makeFile(const QString &path, const QByteArray &content = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every path below root, relative, sorted; links marked with "@".
QStringList treeOf(const QString &root)
{
    QStringList entries;
    QDirIterator it(
        root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = QDir(root).relativeFilePath(it.filePath());
        entries.append(it.fileInfo().isSymLink() ? relative + QLatin1Char('@') : relative);
    }
    entries.sort();
    return entries;
}

} // namespace

class tst_Paths : public QObject
{
    Q_OBJECT

private slots:
    void templatesDir_data();
    void templatesDir();
    void examplesDir_data();
    void examplesDir();
    void docDir_data();
    void docDir();
    void coreAndBinDirs();
    void runningProgramFindsItsHelpPages();
    void joinAndFirstExisting();
    void removeDirectoryRemovesEverythingInside();
    void removeDirectoryNeverFollowsLinksOut();
    void copyDirectoryCopiesTheTree();
    void copyDirectoryOntoItselfDoesNothing();
    void copyDirectoryIntoItsOwnSubtreeIsRefused();
    void copyDirectoryKeepsExistingFiles();
};

void tst_Paths::templatesDir_data()
{
    // Folders made below a temporary root; the program lives in "bin" (or
    // inside a bundle), so "../X" of the program folder is "X".
    QTest::addColumn<QString>("binary");
    QTest::addColumn<QString>("application");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");

    QTest::addRow("source tree with traxo-src wins")
        << "bin"
        << "bin" << QStringList({ "traxo-src/res/templates", "templates" }) << "traxo-src/res/templates";
    QTest::addRow("res folder beside the program") << "bin"
                                                   << "bin" << QStringList({ "res/templates" }) << "res/templates";
    QTest::addRow("flat installed tree") << "bin"
                                         << "bin" << QStringList({ "templates" }) << "templates";
    QTest::addRow("traxobench folder") << "bin"
                                       << "bin" << QStringList({ "traxobench/templates" }) << "traxobench/templates";
    QTest::addRow("beside an application bundle") << "Apps/Tool.app/Contents/MacOS"
                                                  << "Apps" << QStringList({ "templates" }) << "templates";
    QTest::addRow("system tree under share")
        << "bin"
        << "bin" << QStringList({ "share/traxobench/templates" }) << "share/traxobench/templates";
    QTest::addRow("flat tree before the system tree")
        << "bin"
        << "bin" << QStringList({ "templates", "share/traxobench/templates" }) << "templates";
    QTest::addRow("nothing exists: the core path all the same") << "bin"
                                                                << "bin" << QStringList() << "traxo-src/res/templates";
}

void tst_Paths::templatesDir()
{
    QFETCH(QString, binary);
    QFETCH(QString, application);
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QDir dir(root.path());
    QVERIFY(dir.mkpath(binary));
    for (const QString &folder : folders)
        QVERIFY(dir.mkpath(folder));
    const QString result = getTemplatesDirFor(dir.filePath(binary), dir.filePath(application));
    QCOMPARE(result, QDir::cleanPath(dir.filePath(expected)));
    QVERIFY(!result.endsWith(QLatin1Char('/')));
}

void tst_Paths::examplesDir_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");

    QTest::addRow("examples in traxo-src") << QStringList({ "traxo-src/examples", "examples" }) << "traxo-src/examples";
    QTest::addRow("examples beside the program") << QStringList({ "examples" }) << "examples";
    QTest::addRow("system tree under share")
        << QStringList({ "share/traxobench/examples" }) << "share/traxobench/examples";
    QTest::addRow("beside the program before the system tree")
        << QStringList({ "examples", "share/traxobench/examples" }) << "examples";
    QTest::addRow("nothing exists: beside the program") << QStringList() << "examples";
}

void tst_Paths::examplesDir()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QDir dir(root.path());
    QVERIFY(dir.mkpath(QStringLiteral("bin")));
    for (const QString &folder : folders)
        QVERIFY(dir.mkpath(folder));
    QCOMPARE(getExamplesDirFor(dir.filePath(QStringLiteral("bin")), dir.filePath(QStringLiteral("bin"))),
        QDir::cleanPath(dir.filePath(expected)));
}

void tst_Paths::docDir_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");

    QTest::addRow("usage in traxo-src") << QStringList({ "traxo-src/doc/usage", "doc/generated/usage" })
                                        << "traxo-src/doc/usage";
    QTest::addRow("traxo sub-folder in traxo-src")
        << QStringList({ "traxo-src/doc/usage/traxo" }) << "traxo-src/doc/usage/traxo";
    QTest::addRow("generated usage beside the program")
        << QStringList({ "doc/generated/usage" }) << "doc/generated/usage";
    QTest::addRow("traxo sub-folder beside the program")
        << QStringList({ "doc/generated/usage/traxo" }) << "doc/generated/usage/traxo";
    QTest::addRow("system tree under share")
        << QStringList({ "share/traxobench/doc/generated/usage" }) << "share/traxobench/doc/generated/usage";
    QTest::addRow("traxo sub-folder in the system tree") << QStringList(
        { "share/traxobench/doc/generated/usage/traxo" }) << "share/traxobench/doc/generated/usage/traxo";
    QTest::addRow("beside the program before the system tree")
        << QStringList({ "doc/generated/usage", "share/traxobench/doc/generated/usage" }) << "doc/generated/usage";
    QTest::addRow("nothing exists: beside the program, unchecked") << QStringList() << "doc/generated/usage";
}

void tst_Paths::docDir()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QDir dir(root.path());
    QVERIFY(dir.mkpath(QStringLiteral("bin")));
    for (const QString &folder : folders)
        QVERIFY(dir.mkpath(folder));
    QCOMPARE(getDocDirFor(dir.filePath(QStringLiteral("bin")), dir.filePath(QStringLiteral("bin"))),
        QDir::cleanPath(dir.filePath(expected)));
}

void tst_Paths::coreAndBinDirs()
{
    QCOMPARE(getCoreDirFor(QStringLiteral("/opt/tb/bin")), QStringLiteral("/opt/tb/traxo-src"));
    QCOMPARE(getBinDirFor(QStringLiteral("/opt/tb/bin")), QStringLiteral("/opt/tb/traxo-src/bin"));
    QCOMPARE(getCoreDir(), QDir::cleanPath(getBinaryDir() + QStringLiteral("/../traxo-src")));
}

void tst_Paths::runningProgramFindsItsHelpPages()
{
    // The tests run from the build tree's bin folder, where the build copies
    // templates and help pages beside the program.
    QCOMPARE(getDocDir(), QDir::cleanPath(getBinaryDir() + QStringLiteral("/../doc/generated/usage")));
    QCOMPARE(getTemplatesDir(), QDir::cleanPath(getBinaryDir() + QStringLiteral("/../templates")));
    const QStringList pages = { "untraxo.html", "traxoform.html", "traxogo.html", "traxofind.html", "traxo-usage.htm",
        "theindex.html", "disclaimer.html", "license.html" };
    for (const QString &page : pages)
        QVERIFY2(!HelpViewer::getDocPath(page).isEmpty(), qPrintable(page));
    QVERIFY(HelpViewer::getDocPath(QStringLiteral("no-such-page.html")).isEmpty());
}

void tst_Paths::joinAndFirstExisting()
{
    QCOMPARE(joinPaths(QStringLiteral("a/"), QStringLiteral("b")), QStringLiteral("a/") + QDir::separator() + "b");

    QTemporaryDir root;
    QVERIFY(makeFile(root.filePath(QStringLiteral("file.txt"))));
    QVERIFY(QDir(root.path()).mkdir(QStringLiteral("folder")));
    const QStringList candidates = { "missing", "folder", "file.txt" };
    QCOMPARE(firstExistingPath(root.path(), candidates), root.path() + QDir::separator() + "folder");
    QCOMPARE(firstExistingFile(root.path(), candidates), root.path() + "/file.txt");
    QCOMPARE(firstExistingFile(root.path(), { "folder" }), QString());
    QCOMPARE(firstExistingPath(root.path(), { "missing" }), QString());
    QCOMPARE(makePathCanonical(root.filePath(QStringLiteral("missing"))), QString());
    QCOMPARE(makePathAbsolute(QStringLiteral("/x/y")), QStringLiteral("/x/y"));
}

void tst_Paths::removeDirectoryRemovesEverythingInside()
{
    QTemporaryDir root;
    const QString victim = root.filePath(QStringLiteral("victim"));
    QVERIFY(makeFile(victim + "/a.txt"));
    QVERIFY(makeFile(victim + "/.hidden"));
    QVERIFY(makeFile(victim + "/sub/deeper/b.txt"));
    QVERIFY(makeFile(victim + "/sub/.config/c"));
    QVERIFY(QFile::link(victim + "/gone", victim + "/dangling"));

    QVERIFY(removeDirectory(victim));
    QVERIFY(!QFileInfo::exists(victim));
    QCOMPARE(treeOf(root.path()), QStringList());
}

void tst_Paths::removeDirectoryNeverFollowsLinksOut()
{
    QTemporaryDir root;
    const QString keep = root.filePath(QStringLiteral("keep"));
    QVERIFY(makeFile(keep + "/precious.dat", "data"));
    const QString victim = root.filePath(QStringLiteral("victim"));
    QVERIFY(makeFile(victim + "/a.txt"));
    QVERIFY(QFile::link(keep, victim + "/link-to-folder"));
    QVERIFY(QFile::link(keep + "/precious.dat", victim + "/link-to-file"));

    QVERIFY(removeDirectory(victim));
    QVERIFY(!QFileInfo::exists(victim));
    QCOMPARE(treeOf(root.path()), QStringList({ "keep", "keep/precious.dat" }));
    QCOMPARE(contentOf(keep + "/precious.dat"), QByteArray("data"));

    // Asked to remove a link to a folder: the link goes, the folder stays.
    QVERIFY(QFile::link(keep, root.filePath(QStringLiteral("alias"))));
    QVERIFY(removeDirectory(root.filePath(QStringLiteral("alias"))));
    QCOMPARE(treeOf(root.path()), QStringList({ "keep", "keep/precious.dat" }));
}

void tst_Paths::copyDirectoryCopiesTheTree()
{
    QTemporaryDir root;
    const QString from = root.filePath(QStringLiteral("from"));
    QVERIFY(makeFile(from + "/a.txt", "alpha"));
    QVERIFY(makeFile(from + "/.hidden", "h"));
    QVERIFY(makeFile(from + "/sub/deeper/b.txt", "beta"));
    QVERIFY(QFile::link(from + "/a.txt", from + "/link"));
    const QString to = root.filePath(QStringLiteral("to"));
    QVERIFY(QDir().mkdir(to));

    QVERIFY(copyDirectory(from, to));
    QCOMPARE(treeOf(to), QStringList({ ".hidden", "a.txt", "sub", "sub/deeper", "sub/deeper/b.txt" }));
    QCOMPARE(contentOf(to + "/sub/deeper/b.txt"), QByteArray("beta"));
}

void tst_Paths::copyDirectoryOntoItselfDoesNothing()
{
    QTemporaryDir root;
    QVERIFY(makeFile(root.filePath(QStringLiteral("a.txt"))));
    QVERIFY(copyDirectory(root.path(), root.path() + QStringLiteral("/./")));
    QCOMPARE(treeOf(root.path()), QStringList({ "a.txt" }));
}

void tst_Paths::copyDirectoryIntoItsOwnSubtreeIsRefused()
{
    QTemporaryDir root;
    const QString from = root.filePath(QStringLiteral("from"));
    QVERIFY(makeFile(from + "/a.txt"));
    QVERIFY(QDir().mkpath(from + "/inner"));
    QVERIFY(!copyDirectory(from, from + "/inner"));
    QVERIFY(!copyDirectory(from, from + "/inner/not-yet-made"));
    QCOMPARE(treeOf(root.path()), QStringList({ "from", "from/a.txt", "from/inner" }));
}

void tst_Paths::copyDirectoryKeepsExistingFiles()
{
    QTemporaryDir root;
    const QString from = root.filePath(QStringLiteral("from"));
    const QString to = root.filePath(QStringLiteral("to"));
    QVERIFY(makeFile(from + "/a.txt", "new"));
    QVERIFY(makeFile(from + "/b.txt", "b"));
    QVERIFY(makeFile(to + "/a.txt", "old"));

    QVERIFY(!copyDirectory(from, to)); // one file could not be copied
    QCOMPARE(contentOf(to + "/a.txt"), QByteArray("old"));
    QCOMPARE(contentOf(to + "/b.txt"), QByteArray("b"));
}

QTEST_MAIN(tst_Paths)
#include "tst_paths.moc"
