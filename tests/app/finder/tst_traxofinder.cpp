#include "finder/traxofinder.h"
#include "findfixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
