#include "argfile/libraryinfo.h"
#include "containerbuilder.h"
#include "summary/summarywriter.h"
#include "testcommon.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace traxo;

// `traxo export` end to end: exit status, where the export lands and what
// the user reads. The content itself is the library's, tested there.
class tst_TraxoExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exports_data();
    void exports();

private:
    QTemporaryDir m_dir;
};

void tst_TraxoExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    Summary summary;
    summary.Title = QStringLiteral("Acquisition");
    summary.Tool = QStringLiteral("acquire");
    QVERIFY(testcommon::buildContainer(m_dir.filePath("run.traxo"),
        { testcommon::containerSection("Acquisition", { testcommon::embeddedFile("scan.dat", "data\n") },
            SummaryWriter::writeSummaryUtf8(summary)) }));
    QVERIFY(testcommon::writeFile(m_dir.filePath("notes.txt"), "no container\n"));
}

void tst_TraxoExport::exports_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("written"); // a file below the folder, empty for none
    QTest::addColumn<QString>("text"); // in that file, else in the program's output

    QTest::addRow("PROV-JSON beside the container")
        << QStringList { "run.traxo", "--format", "prov-json" } << 0 << "run.prov.json"
        << "\"traxo:step-1\"";
    QTest::addRow("PROV-N to standard output")
        << QStringList { "run.traxo", "--format", "prov-n", "-o", "-" } << 0 << ""
        << "activity(traxo:step-1";
    QTest::addRow("RO-Crate into a named folder")
        << QStringList { "run.traxo", "--format", "ro-crate", "-o", "out" } << 0 << "out/step-1/scan.dat"
        << "data";
    QTest::addRow("unknown format") << QStringList { "run.traxo", "--format", "xml" } << 2 << ""
                                    << "--format must be one of prov-json, prov-n, ro-crate";
    QTest::addRow("not a container") << QStringList { "notes.txt", "--format", "prov-n" } << 2 << ""
                                     << "is not a TRAXO container";
    QTest::addRow("a crate cannot go to standard output")
        << QStringList { "run.traxo", "--format", "ro-crate", "-o", "-" } << 2 << ""
        << "standard output";
}

void tst_TraxoExport::exports()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, written);
    QFETCH(QString, text);

    QProcess traxo;
    traxo.setWorkingDirectory(m_dir.path());
    traxo.setProcessChannelMode(QProcess::MergedChannels);
    traxo.start(getBinaryDir() + QStringLiteral("/traxo"), QStringList { "export" } + arguments);
    QVERIFY(traxo.waitForFinished(60000));
    const QString output = QString::fromUtf8(traxo.readAll());
    QCOMPARE(traxo.exitCode(), exitCode);
    const QString shown = written.isEmpty() ? output : QString::fromUtf8(testcommon::readFile(m_dir.filePath(written)));
    QVERIFY2(shown.contains(text), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_TraxoExport)
#include "tst_traxoexport.moc"
