#include "findfixture.h"
#include "shared/traxofinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Paths below root, relative and sorted: the walk keeps the listing order of
// the file system, which no test may rely on.
QStringList relative(const QString &root, const QStringList &paths)
{
    QStringList result;
    const QDir dir(root);
    for (const QString &path : paths)
        result.append(dir.relativeFilePath(path));
    result.sort();
    return result;
}

} // namespace

class tst_TraxoFinder : public QObject
{
    Q_OBJECT

private slots:
    void gatherTraxoFiles_data();
    void gatherTraxoFiles();
    void gatherTraxoFilesSortedByNameIgnoringCase();
    void gatherTraxoFilesSkipsWhatCannotBeOpenedByName();
    void unreadableContainerIsNotSearched_data();
    void unreadableContainerIsNotSearched();
    void findNext_data();
    void findNext();
    void queryWithAnErrorChecksNothing();
    void newSearchReplacesTheOld();
};

void tst_TraxoFinder::gatherTraxoFiles_data()
{
    // Layout entries: "path" a file, "path/" a directory, "target>link" a
    // symbolic link (target relative to the root).
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QString>("root");
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("containers and pdfs, any case, nothing else") << QStringList { "a.traxo", "b.pdf", "C.TRAXO",
        "notes.txt", "a.traxo.bak" } << "." << true << QStringList { "C.TRAXO", "a.traxo", "b.pdf" };
    QTest::addRow("subdirectories searched, whatever their names") << QStringList { "a.traxo", "sub/deeper/b.traxo",
        "x.traxo/c.pdf", "empty/" } << "." << true << QStringList { "a.traxo", "sub/deeper/b.traxo", "x.traxo/c.pdf" };
    QTest::addRow("symbolic links neither followed nor listed")
        << QStringList { "a.traxo", "sub/b.pdf", "a.traxo>sub/link.traxo", ".>sub/loop", "sub>up" } << "." << true
        << QStringList { "a.traxo", "sub/b.pdf" };
    QTest::addRow("not recursive: the directory alone")
        << QStringList { "a.traxo", "sub/b.traxo" } << "." << false << QStringList { "a.traxo" };
    QTest::addRow("missing directory") << QStringList { "a.traxo" } << "missing" << true << QStringList();
    QTest::addRow("a container named as the directory")
        << QStringList { "a.traxo" } << "a.traxo" << true << QStringList();
    QTest::addRow("empty path is not the working directory")
        << QStringList { "a.traxo" } << "" << true << QStringList();
    QTest::addRow("names beyond ASCII as they are") << QStringList { "\u00fcber.traxo", "a.traxo",
        "\u6e2c/b.pdf" } << "." << true << QStringList { "a.traxo", "\u00fcber.traxo", "\u6e2c/b.pdf" };
    QTest::addRow("hidden files and directories left out")
        << QStringList { ".a.traxo", ".git/b.traxo", ".pdf", "c.pdf" } << "." << true << QStringList { "c.pdf" };
    QTest::addRow("not recursive: a link stands for its file, a broken one for nothing")
        << QStringList { "a.traxo", "a.traxo>link.traxo", "missing>broken.traxo", "sub/", "sub>dir.pdf" } << "."
        << false << QStringList { "a.traxo", "link.traxo" };
}

void tst_TraxoFinder::gatherTraxoFilesSortedByNameIgnoringCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Byte order would put "B.pdf" and "C0.traxo" before "_z.pdf" and a
    // directory's files after all plain files.
    for (const char *name : { "C0.traxo", "c/one.pdf", "B.pdf", "a.traxo", "_z.pdf" })
        QVERIFY(findfixture::writeBytes(dir.filePath(name), "x"));
    QStringList found = TraxoFinder::gatherTraxoFiles(dir.path(), true);
    for (QString &path : found)
        path = QDir(dir.path()).relativeFilePath(path);
    QCOMPARE(found, (QStringList { "_z.pdf", "a.traxo", "B.pdf", "c/one.pdf", "C0.traxo" }));
}

void tst_TraxoFinder::gatherTraxoFilesSkipsWhatCannotBeOpenedByName()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(findfixture::writeBytes(dir.filePath("a.traxo"), "x"));
    // A pipe would block its reader; a name that is no UTF-8 cannot be
    // given back as a path.
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.traxo")).constData(), 0600), 0);
    const QByteArray badName = QFile::encodeName(dir.path()) + "/bad\xff.traxo";
    const int fd = ::open(badName.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    // QTemporaryDir removes by QString paths, which cannot name this file.
    const auto removeBadName = qScopeGuard([&badName] { ::unlink(badName.constData()); });
    for (bool recursive : { true, false })
        QCOMPARE(TraxoFinder::gatherTraxoFiles(dir.path(), recursive), QStringList { dir.filePath("a.traxo") });
#else
    QSKIP("pipes and byte file names are Unix matters");
#endif
}

void tst_TraxoFinder::gatherTraxoFiles()
{
    QFETCH(QStringList, layout);
    QFETCH(QString, root);
    QFETCH(bool, recursive);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &entry : layout) {
        const int arrow = int(entry.indexOf('>'));
        if (arrow > 0)
            QVERIFY(QFile::link(dir.filePath(entry.left(arrow)), dir.filePath(entry.mid(arrow + 1))));
        else if (entry.endsWith('/'))
            QVERIFY(QDir().mkpath(dir.filePath(entry)));
        else
            QVERIFY(findfixture::writeBytes(dir.filePath(entry), "x"));
    }
    const QString path = root.isEmpty() ? QString() : dir.filePath(root);
    QCOMPARE(relative(dir.path(), TraxoFinder::gatherTraxoFiles(path, recursive)), expected);
}

void tst_TraxoFinder::unreadableContainerIsNotSearched_data()
{
    QTest::addColumn<bool>("paths");
    QTest::addColumn<int>("listed");

    QTest::addRow("the window's search leaves it out") << false << 2;
    QTest::addRow("a search over paths lists it, and it fails to open") << true << 3;
}

void tst_TraxoFinder::unreadableContainerIsNotSearched()
{
    QFETCH(bool, paths);
    QFETCH(int, listed);

    QTemporaryDir dir;
    QVERIFY(findfixture::writeThreeContainers(dir.path()));
    const QString locked = dir.filePath("fit.traxo");
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    if (QFileInfo(locked).isReadable())
        QSKIP("this user reads files without read permission");

    TraxoFinder finder;
    const QString query = QStringLiteral("s:tool == nobody");
    QVERIFY(!traxo::containsErrors(
        paths ? finder.initPaths(query, { dir.path() }, true) : finder.init(query, dir.path(), true)));
    QCOMPARE(finder.numberOfFiles(), listed);
    QStringList hits;
    while (finder.hasMoreFiles()) {
        const EvaluationResult result = finder.findNext();
        if (result.matched)
            hits.append(QDir(dir.path()).relativeFilePath(result.fileName));
    }
    hits.sort();
    // Inverted, a miss of every readable container is a hit; the locked one
    // never is.
    QCOMPARE(finder.nextFileNumber(), listed);
    QCOMPARE(hits, (QStringList { "smooth.traxo", "sub/plot.pdf" }));
}

void tst_TraxoFinder::findNext_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<QStringList>("hits");
    QTest::addColumn<QStringList>("bindings"); // "<hit>: <name> = <description>"

    QTest::addRow("one of three matches, with its binding")
        << "s:tool == fitter" << false << QStringList { "fit.traxo" }
        << QStringList { "fit.traxo: s = workflowstep: Fit the curve" };
    QTest::addRow("inverted miss: every readable container")
        << "s:tool == nobody" << true << QStringList { "fit.traxo", "smooth.traxo", "sub/plot.pdf" } << QStringList();
    QTest::addRow("word in stored and compressed summaries")
        << "POSTprocessing" << false << QStringList { "smooth.traxo", "sub/plot.pdf" } << QStringList();
    QTest::addRow("inverted word: the container ruled out by its bytes")
        << "postprocessing" << true << QStringList { "fit.traxo" } << QStringList();
}

void tst_TraxoFinder::findNext()
{
    QFETCH(QString, query);
    QFETCH(bool, invert);
    QFETCH(QStringList, hits);
    QFETCH(QStringList, bindings);

    QTemporaryDir dir;
    QVERIFY(findfixture::writeThreeContainers(dir.path()));
    QVERIFY(findfixture::writeDamagedFile(dir.filePath("broken.pdf")));
    QVERIFY(findfixture::writeBytes(dir.filePath("cut.traxo"), "%<--! $TRAXO_P"));

    TraxoFinder finder;
    QVERIFY(!traxo::containsErrors(finder.init(query, dir.path(), invert)));
    QVERIFY(finder.initialized());
    QCOMPARE(finder.numberOfFiles(), 5);

    QStringList found;
    QStringList bound;
    for (int checked = 1; finder.hasMoreFiles(); ++checked) {
        const EvaluationResult result = finder.findNext();
        QCOMPARE(finder.nextFileNumber(), checked);
        const QString name = QDir(dir.path()).relativeFilePath(result.fileName);
        if (!result.matched) {
            QVERIFY(result.bindings.isEmpty());
            continue;
        }
        found.append(name);
        for (auto it = result.bindings.cbegin(); it != result.bindings.cend(); ++it)
            bound.append(QStringLiteral("%1: %2 = %3").arg(name, it.key(), it.value()));
    }
    found.sort();
    bound.sort();
    QCOMPARE(found, hits);
    QCOMPARE(bound, bindings);

    const EvaluationResult past = finder.findNext();
    QVERIFY(past.fileName.isEmpty());
    QVERIFY(!past.matched);
    QCOMPARE(finder.nextFileNumber(), 5);
}

void tst_TraxoFinder::queryWithAnErrorChecksNothing()
{
    QTemporaryDir dir;
    QVERIFY(findfixture::writeThreeContainers(dir.path()));

    TraxoFinder finder;
    const QList<traxo::QueryError> errors = finder.init(QStringLiteral("tool == 'open"), dir.path(), true);
    QVERIFY(traxo::containsErrors(errors));
    QVERIFY(!finder.initialized());
    QCOMPARE(finder.numberOfFiles(), 0);
    QVERIFY(!finder.findNext().matched);
}

void tst_TraxoFinder::newSearchReplacesTheOld()
{
    QTemporaryDir dir;
    QVERIFY(findfixture::writeThreeContainers(dir.path()));

    TraxoFinder finder;
    finder.init(QStringLiteral("s:tool == fitter"), dir.path(), false);
    QCOMPARE(finder.numberOfFiles(), 3);
    finder.findNext();
    finder.init(QStringLiteral("plotter"), dir.filePath("sub"), false);
    QCOMPARE(finder.nextFileNumber(), 0);
    QCOMPARE(finder.files(), QStringList { dir.filePath("sub/plot.pdf") });
    QVERIFY(finder.findNext().matched);

    finder.init(QStringLiteral("fitter"), dir.path(), false);
    finder.stop();
    QVERIFY(!finder.hasMoreFiles());
    QVERIFY(finder.findNext().fileName.isEmpty());
}

QTEST_GUILESS_MAIN(tst_TraxoFinder)
#include "tst_traxofinder.moc"
