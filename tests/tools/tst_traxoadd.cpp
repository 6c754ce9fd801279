#include "argfile/argfile.h"
#include "argfile/libraryinfo.h"
#include "container/containerlock.h"
#include "container/traxoparser.h"
#include "summary/summarycreator.h"
#include "summary/summaryreader.h"

#include "containercheck.h"
#include "testcommon.h"

#include <QRandomGenerator>

#include <csignal>

#include <QtTest>

using namespace traxo;

namespace {

const QByteArray HeaderLine = "%<--! $TRAXO_PDF [version:1.0]\n";

struct ToolRun
{
    int exitCode = -1;
    QStringList lines;

    QStringList linesStartingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &line : lines) {
            if (line.startsWith(prefix))
                found << line;
        }
        return found;
    }
};

// Runs a built tool directly (not through its launcher) in a directory.
ToolRun runTool(
    const QString &tool, const QStringList &arguments, const QString &directory, const QByteArray &input = QByteArray())
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(getBinaryDir() + QLatin1Char('/') + tool, arguments);
    ToolRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromLocal8Bit(process.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

// The summary of a section, read back from the container.
Summary readSummary(TraxoParser &parser, int section)
{
    const QList<FileTag> files = parser.getFilesInSection(section);
    if (files.isEmpty() || files.last().filename != QLatin1String("ws_summary.xml"))
        return Summary();
    const QSharedPointer<QByteArray> content = parser.getFileContent(files.last().id);
    return content ? SummaryReader().readSummary(QString::fromUtf8(*content)) : Summary();
}

} // namespace

class tst_TraxoAdd : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void errorsWriteNothing_data();
    void errorsWriteNothing();
    void stepIsRecordedInFull();
    void argfileWithSyncCwd();
    void optionalMissingFileIsAWarning();
    void pretendWritesNothing();
    void helpAndVersion_data();
    void helpAndVersion();
    void pdfWithHeaderLineGrows();
    void embeddedContainerIsStoredCompressed();
    void secondStepContinuesTheChain();
    void copiesTheRootHistoryIntoANewContainer();

    void traxodelRestoresTheContainer();
    void traxodelRefuses_data();
    void traxodelRefuses();
    void traxodelTakesSeveralUndoTexts();

    void concurrentWritersKeepEveryStep();
    void traxodelRacingTraxoaddLeavesAConsistentContainer();
    void waitingWriterGivesUp();
    void killedWriterLeavesOldOrNewHistory();
    void failedWriteLeavesContainerUnchanged();
    void streamedFilesAreRecorded_data();
    void streamedFilesAreRecorded();
    void textsComeBackAsTyped();
    void describedFilesKeepSizesBeyond32Bits_data();
    void describedFilesKeepSizesBeyond32Bits();
    void pdfsStayValidPdfs_data();
    void pdfsStayValidPdfs();
    void encryptedPdfIsRefused();

private:
    QStringList strayFiles() const
    {
        QStringList names = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
        return names.filter(QRegularExpression(QStringLiteral("\\.lock$|traxoadd-new$")));
    }
    QProcess *startTool(const QString &tool, const QStringList &arguments)
    {
        auto *process = new QProcess(this);
        process->setWorkingDirectory(m_dir->path());
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(getBinaryDir() + QLatin1Char('/') + tool, arguments);
        return process;
    }

    QString path(const QString &name) const { return m_dir->filePath(name); }
    void write(const QString &name, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QVERIFY(testcommon::writeFile(path(name), content));
    }
    ToolRun traxoadd(const QStringList &arguments, const QByteArray &input = QByteArray())
    {
        return runTool("traxoadd", arguments, m_dir->path(), input);
    }
    ToolRun traxodel(const QStringList &arguments) { return runTool("traxodel", arguments, m_dir->path()); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_TraxoAdd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    write("data/in.txt", "input data\n");
    write("data/out.bin", QByteArray("\x00\x01\x02 binary", 10));
}

void tst_TraxoAdd::errorsWriteNothing_data()
{
    QTest::addColumn<QString>("argfile");
    QTest::addColumn<QString>("error");

    QTest::addRow("missing input file") << "-O out.traxo -i data/missing.txt"
                                        << "***ERROR file \"data/missing.txt\" does not exist";
    QTest::addRow("missing root container given with -I") << "-O out.traxo -I root.traxo -i data/in.txt"
                                                          << "***ERROR root container \"root.traxo\" does not exist";
    QTest::addRow("root that is no container") << "-O out.traxo -I data/in.txt"
                                               << "***ERROR root container \"data/in.txt\" is not a container";
    QTest::addRow("unterminated quote") << "-O out.traxo -s title \"open"
                                        << "***ERROR standard input cannot be read as an arg-file";
    QTest::addRow("no output container") << "-i data/in.txt"
                                         << "***ERROR no output container given: name one with -O or -A";
    QTest::addRow("unknown option") << "-O out.traxo data/in.txt"
                                    << "***ERROR unknown option found: data/in.txt";
    QTest::addRow("option without its parameters") << "-O out.traxo -s title"
                                                   << "***ERROR not enough parameters for option: -s";
    QTest::addRow("unknown file flag") << "-O out.traxo -i data/in.txt -f shiny"
                                       << "***ERROR \"shiny\" is no valid parameter for option -f";
    const QString mismatch = "***ERROR \"data/in.txt\" has the MD5 checksum " + md5("input data\n")
        + ", but \"data/in.md5\" says " + QByteArray(32, 'a');
    QTest::addRow("checksum file disagrees") << "-O out.traxo -i data/in.txt -a md5file data/in.md5" << mismatch;
    QTest::addRow("PDF that qpdf cannot read") << "-O plain.pdf -i data/in.txt"
                                               << "***ERROR PDF \"plain.pdf\" cannot be read";
    QTest::addRow("PDF output that does not exist") << "-O new.pdf -i data/in.txt"
                                                    << "***ERROR PDF \"new.pdf\" does not exist";
    QTest::addRow("existing file that is no container") << "-O data/in.txt -i data/out.bin"
                                                        << "***ERROR \"data/in.txt\" exists and is not a container";
    QTest::addRow("existing container that is not the root")
        << "-O other.traxo -J root.traxo -i data/in.txt"
        << "***ERROR output container \"other.traxo\" exists but the step continues the history of \"root.traxo\"";
    QTest::addRow("missing directory of the output") << "-O nowhere/out.traxo"
                                                     << "***ERROR the directory of output container";
    QTest::addRow("arg-file that names itself") << "-O out.traxo -c loop.vcmd"
                                                << "***ERROR arg-file \"loop.vcmd\" names itself through -c";
    QTest::addRow("arg-file that cannot be read") << "-O out.traxo -c missing.vcmd"
                                                  << "***ERROR cannot read arg-file \"missing.vcmd\"";
}

void tst_TraxoAdd::errorsWriteNothing()
{
    QFETCH(QString, argfile);
    QFETCH(QString, error);
    write("data/in.md5", QByteArray(32, 'a') + "  data/in.txt\n");
    write("plain.pdf", "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n%%EOF\n");
    write("other.traxo", HeaderLine);
    write("loop.vcmd", "-s title loop\n-c loop.vcmd\n");
    const QByteArray pdfBefore = testcommon::readFile(path("plain.pdf"));
    const QByteArray otherBefore = testcommon::readFile(path("other.traxo"));

    const ToolRun run = traxoadd({ "--stdin" }, argfile.toUtf8());
    QCOMPARE(run.exitCode, 1);
    const QStringList errors = run.linesStartingWith("***ERROR");
    QVERIFY2(!errors.isEmpty() && errors.first().startsWith(error), qPrintable(run.lines.join('\n')));
    QVERIFY(!QFileInfo::exists(path("out.traxo")));
    QVERIFY(!QFileInfo::exists(path("new.pdf")));
    QCOMPARE(testcommon::readFile(path("plain.pdf")), pdfBefore);
    QCOMPARE(testcommon::readFile(path("other.traxo")), otherBefore);
    QCOMPARE(testcommon::readFile(path("data/in.txt")), QByteArray("input data\n"));
}

void tst_TraxoAdd::stepIsRecordedInFull()
{
    const ToolRun run = traxoadd({ "-O", "out.traxo", "-s", "title", "Fit [run 3]", "-s", "tool", "fitter", "-s",
        "host", "lab-7", "-s", "user", "ann", "-U", "temperature", "21.5", "-i", "data/in.txt", "-a", "filetype",
        "text/plain", "-f", "no-embed", "-o", "data/out.bin", "-f", "compress", "-u", "unit", "counts" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.linesStartingWith("***").isEmpty());

    TraxoParser parser;
    QVERIFY(parser.open(path("out.traxo")));
    QCOMPARE(parser.getNumSections(), 1);
    QCOMPARE(parser.getSection(0)->title, QString("Fit [run 3]").replace("]", "\\]"));
    QCOMPARE(parser.getSection(0)->creator, QString("traxoadd 1.83.0.2990"));

    // Only the output is embedded, compressed, followed by the summary.
    const QList<FileTag> files = parser.getFilesInSection(0);
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0].filename, QString("out.bin"));
    QCOMPARE(files[0].compression, QString("flate"));
    QCOMPARE(files[0].md5file, QString(md5(QByteArray("\x00\x01\x02 binary", 10))));
    QCOMPARE(*parser.getFileContent(files[0].id), QByteArray("\x00\x01\x02 binary", 10));

    const Summary summary = readSummary(parser, 0);
    QVERIFY(summary.valid);
    QCOMPARE(summary.Title, QString("Fit [run 3]"));
    QCOMPARE(summary.Tool, QString("fitter"));
    QCOMPARE(summary.Host, QString("lab-7"));
    QCOMPARE(summary.User, QString("ann"));
    QCOMPARE(summary.Creator, QString("traxoadd 1.83.0.2990"));
    QVERIFY(QDateTime::fromString(summary.Timestamp, Qt::ISODate).isValid());
    QCOMPARE(summary.userAttributeKeys, QStringList { "temperature" });
    QCOMPARE(summary.userAttributeValues.value("temperature"), QString("21.5"));
    QCOMPARE(summary.files.size(), 2);

    const FileSummary in = summary.files[0];
    QCOMPARE(in.FilePurpose, QString("InFile"));
    QCOMPARE(in.Filename, QString("in.txt"));
    QCOMPARE(in.Filepath, QFileInfo(path("data")).absoluteFilePath());
    QCOMPARE(in.Filetype, QString("text/plain"));
    QVERIFY(!in.Embedded);
    QVERIFY(in.GenerateMD5);
    QCOMPARE(in.UncompressedSize, 11);
    QCOMPARE(in.UncompressedMD5, QString(md5("input data\n")));

    const FileSummary out = summary.files[1];
    QCOMPARE(out.FilePurpose, QString("OutFile"));
    QVERIFY(out.Embedded);
    QCOMPARE(out.CompressedMethod, QString("flate"));
    QCOMPARE(out.CompressedSize, files[0].cfilesize);
    QCOMPARE(out.CompressedMD5, files[0].md5cfile);
    QCOMPARE(out.UncompressedSize, 10);
    QCOMPARE(out.userAttributeValues.value("unit"), QString("counts"));
}

void tst_TraxoAdd::argfileWithSyncCwd()
{
    write("project/steps/fit.vcmd",
        "# paths are relative to this file\n--sync-cwd\n-A ../history.traxo\n-s title 'Fit $1'\n"
        "-i ../../data/in.txt\n");
    const ToolRun run = traxoadd({ "-c", "project/steps/fit.vcmd" });
    QCOMPARE(run.exitCode, 0);
    TraxoParser parser;
    QVERIFY(parser.open(path("project/history.traxo")));
    const Summary summary = readSummary(parser, 0);
    QCOMPARE(summary.Title, QString("Fit $1")); // the tokenizer's "$$" is stored as the "$" typed
    QCOMPARE(summary.files.value(0).Filename, QString("in.txt"));
}

void tst_TraxoAdd::optionalMissingFileIsAWarning()
{
    const ToolRun run = traxoadd({ "-O", "out.traxo", "-i", "data/gone.txt", "-f", "optional", "-i", "data/in.txt" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.linesStartingWith("***WARNING"),
        QStringList { "***WARNING optional file \"data/gone.txt\" is missing and is not recorded" });
    TraxoParser parser;
    QVERIFY(parser.open(path("out.traxo")));
    const Summary summary = readSummary(parser, 0);
    QCOMPARE(summary.files.size(), 1);
    QCOMPARE(summary.files[0].Filename, QString("in.txt"));
}

void tst_TraxoAdd::pretendWritesNothing()
{
    const ToolRun run = traxoadd({ "--pretend", "-O", "out.traxo", "-i", "data/in.txt" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!QFileInfo::exists(path("out.traxo")));
    QVERIFY2(run.lines.join('\n').contains("would create \"" + QFileInfo(path("out.traxo")).absoluteFilePath()),
        qPrintable(run.lines.join('\n')));
    QVERIFY(run.lines.join('\n').contains(md5("input data\n")));
}

void tst_TraxoAdd::helpAndVersion_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("expected");

    QTest::addRow("traxoadd version") << "traxoadd"
                                      << "--version"
                                      << "traxoadd 1.83.0.2990 (traxolib 1.83.0.2990 of Jun 21 2013)";
    QTest::addRow("traxoadd help") << "traxoadd"
                                   << "-h"
                                   << "usage: traxoadd [options]";
    QTest::addRow("traxodel version") << "traxodel"
                                      << "-V"
                                      << "traxodel 1.83.0.2990 (traxolib 1.83.0.2990 of Jun 21 2013)";
    QTest::addRow("traxodel help") << "traxodel"
                                   << "--help"
                                   << "usage: traxodel";
}

void tst_TraxoAdd::helpAndVersion()
{
    QFETCH(QString, tool);
    QFETCH(QString, option);
    QFETCH(QString, expected);
    const ToolRun run = runTool(tool, { option }, m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.lines.value(0).startsWith(expected), qPrintable(run.lines.value(0)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void tst_TraxoAdd::pdfWithHeaderLineGrows()
{
    const QByteArray pdf = "%PDF-1.4\n" + HeaderLine + "1 0 obj\n<< >>\nendobj\n%%EOF\n";
    write("paper.pdf", pdf);
    const ToolRun run = traxoadd({ "-A", "paper.pdf", "-s", "title", "Figure 2", "-i", "data/in.txt" });
    QCOMPARE(run.exitCode, 0);
    const QByteArray after = testcommon::readFile(path("paper.pdf"));
    QVERIFY(after.startsWith(pdf));
    TraxoParser parser;
    QVERIFY(parser.open(path("paper.pdf")));
    QCOMPARE(parser.getNumSections(), 1);
    QCOMPARE(readSummary(parser, 0).TraxoRootFile, QString("paper.pdf"));
}

void tst_TraxoAdd::embeddedContainerIsStoredCompressed()
{
    QCOMPARE(traxoadd({ "-O", "inner.traxo", "-s", "title", "inner", "-i", "data/in.txt" }).exitCode, 0);
    const ToolRun run = traxoadd({ "-O", "outer.traxo", "-i", "inner.traxo", "-f", "no-compress" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.linesStartingWith("***WARNING").size(), 1);

    TraxoParser parser;
    QVERIFY(parser.open(path("outer.traxo")));
    QCOMPARE(parser.getNumSections(), 1); // the inner section is not mistaken for one of the outer
    const QList<FileTag> files = parser.getFilesInSection(0);
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0].compression, QString("flate"));
    QCOMPARE(*parser.getFileContent(files[0].id), testcommon::readFile(path("inner.traxo")));
    QCOMPARE(readSummary(parser, 0).files.value(0).CompressedMethod, QString("flate"));
}

void tst_TraxoAdd::secondStepContinuesTheChain()
{
    QCOMPARE(traxoadd({ "-A", "h.traxo", "-s", "title", "one", "-i", "data/in.txt" }).exitCode, 0);
    QCOMPARE(traxoadd({ "-A", "h.traxo", "-s", "title", "two", "-o", "data/out.bin" }).exitCode, 0);
    TraxoParser parser;
    QVERIFY(parser.open(path("h.traxo")));
    QCOMPARE(parser.getNumSections(), 2);
    QCOMPARE(parser.getSection(0)->title, QString("two"));
    QCOMPARE(parser.getSection(1)->title, QString("one"));
    QCOMPARE(parser.getSection(0)->previousmd5, parser.getSection(1)->md5section);
    QCOMPARE(readSummary(parser, 1).Title, QString("one"));
}

void tst_TraxoAdd::copiesTheRootHistoryIntoANewContainer()
{
    QCOMPARE(traxoadd({ "-O", "root.traxo", "-s", "title", "one", "-i", "data/in.txt" }).exitCode, 0);
    const QByteArray root = testcommon::readFile(path("root.traxo"));
    const ToolRun run = traxoadd({ "-O", "derived.traxo", "-I", "root.traxo", "-s", "title", "two" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(testcommon::readFile(path("root.traxo")), root);
    QVERIFY(testcommon::readFile(path("derived.traxo")).startsWith(root));
    TraxoParser parser;
    QVERIFY(parser.open(path("derived.traxo")));
    QCOMPARE(parser.getNumSections(), 2);
    QCOMPARE(readSummary(parser, 0).TraxoRootFile, QString("root.traxo"));
}

void tst_TraxoAdd::traxodelRestoresTheContainer()
{
    QCOMPARE(traxoadd({ "-A", "h.traxo", "-s", "title", "one", "-i", "data/in.txt" }).exitCode, 0);
    const QByteArray before = testcommon::readFile(path("h.traxo"));
    QCOMPARE(traxoadd({ "-A", "h.traxo", "-s", "title", "two", "-o", "data/out.bin" }).exitCode, 0);
    QVERIFY(testcommon::readFile(path("h.traxo")) != before);

    const ToolRun pretend = traxodel({ "--pretend", "h.traxo" });
    QCOMPARE(pretend.exitCode, 0);
    QVERIFY(testcommon::readFile(path("h.traxo")) != before);

    const ToolRun run = traxodel({ "h.traxo" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(testcommon::readFile(path("h.traxo")), before);
}

void tst_TraxoAdd::traxodelRefuses_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");

    QTest::addRow("container without steps") << HeaderLine << "holds no workflow step to remove";
    QTest::addRow("file that is no container") << QByteArray("just text\n") << "is not a container";
    QTest::addRow("newest step not at the end") << QByteArray() << "is not at the end of the file";
}

void tst_TraxoAdd::traxodelRefuses()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    if (content.isEmpty()) {
        QCOMPARE(traxoadd({ "-A", "c.traxo", "-i", "data/in.txt" }).exitCode, 0);
        content = testcommon::readFile(path("c.traxo")) + "trailing bytes\n";
    }
    write("c.traxo", content);
    // A second, removable container must not lose its step either.
    QCOMPARE(traxoadd({ "-A", "ok.traxo", "-i", "data/in.txt" }).exitCode, 0);
    const QByteArray ok = testcommon::readFile(path("ok.traxo"));

    const ToolRun run = traxodel({ "<DelWorkflowStep>ok.traxo</DelWorkflowStep><DelWorkflowStep>c.traxo"
                                   "</DelWorkflowStep>" });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.linesStartingWith("***ERROR").value(0).contains(error), qPrintable(run.lines.join('\n')));
    QCOMPARE(testcommon::readFile(path("c.traxo")), content);
    QCOMPARE(testcommon::readFile(path("ok.traxo")), ok);
}

void tst_TraxoAdd::traxodelTakesSeveralUndoTexts()
{
    write("a.traxo", HeaderLine);
    write("b.traxo", HeaderLine);
    QCOMPARE(traxoadd({ "-O", "a.traxo", "-O", "b.traxo", "-i", "data/in.txt" }).exitCode, 0);
    QVERIFY(testcommon::readFile(path("a.traxo")) != HeaderLine);
    const ToolRun run = traxodel({ "<DelWorkflowStep>a.traxo</DelWorkflowStep><DelWorkflowStep>b.traxo"
                                   "</DelWorkflowStep>" });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(testcommon::readFile(path("a.traxo")), HeaderLine);
    QCOMPARE(testcommon::readFile(path("b.traxo")), HeaderLine);
}

void tst_TraxoAdd::concurrentWritersKeepEveryStep()
{
    QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", "first" }).exitCode, 0);
    QList<QProcess *> writers;
    for (int i = 0; i < 16; ++i)
        writers << startTool("traxoadd",
            { "-A", "c.traxo", "-s", "title", QString("step %1").arg(i), "-i", "data/in.txt", "-f", "embed",
                "--lock-timeout", "60" });
    for (QProcess *writer : writers) {
        QVERIFY(writer->waitForFinished(90000));
        QCOMPARE(writer->exitCode(), 0);
    }
    const testcommon::ContainerCheck check = testcommon::checkContainer(path("c.traxo"));
    QCOMPARE(check.sections, 17);
    QCOMPARE(check.invalid, 0);
    QCOMPARE(check.sectionless, 0);
    TraxoParser parser;
    QVERIFY(parser.open(path("c.traxo")));
    QSet<QString> titles;
    for (int i = 0; i < 16; ++i)
        titles << parser.getSection(i)->title;
    QCOMPARE(titles.size(), 16);
    QVERIFY(!titles.contains("first"));
    QCOMPARE(strayFiles(), QStringList());
}

void tst_TraxoAdd::traxodelRacingTraxoaddLeavesAConsistentContainer()
{
    for (int i = 0; i < 3; ++i)
        QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", QString("old %1").arg(i) }).exitCode, 0);
    QList<QProcess *> adders;
    QList<QProcess *> removers;
    for (int i = 0; i < 4; ++i) {
        adders << startTool("traxoadd",
            { "-A", "c.traxo", "-s", "title", QString("new %1").arg(i), "-i", "data/out.bin", "-f", "embed" });
        if (i < 2)
            removers << startTool("traxodel", { "c.traxo" });
    }
    int removed = 0;
    for (QProcess *process : adders + removers) {
        QVERIFY(process->waitForFinished(90000));
        QCOMPARE(process->exitCode(), 0);
        removed += removers.contains(process);
    }
    const testcommon::ContainerCheck check = testcommon::checkContainer(path("c.traxo"));
    QCOMPARE(check.sections, 3 + 4 - removed);
    QCOMPARE(check.invalid, 0);
    QCOMPARE(check.sectionless, 0);
    QCOMPARE(strayFiles(), QStringList());
}

void tst_TraxoAdd::waitingWriterGivesUp()
{
    QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", "first" }).exitCode, 0);
    const QByteArray before = testcommon::readFile(path("c.traxo"));
    ContainerLock held(path("c.traxo"));
    QVERIFY(held.acquire(1000));
    for (const QString &tool : { QString("traxoadd"), QString("traxodel") }) {
        const QStringList arguments = tool == "traxoadd"
            ? QStringList { "-A", "c.traxo", "-s", "title", "second", "--lock-timeout", "1.5" }
            : QStringList { "--lock-timeout", "1.5", "c.traxo" };
        const ToolRun run = runTool(tool, arguments, m_dir->path());
        QVERIFY2(run.exitCode > 0, qPrintable(tool));
        QCOMPARE(run.linesStartingWith("waiting for another writer of ").size(), 1);
        QCOMPARE(run.linesStartingWith("***ERROR gave up waiting for another writer of").size(), 1);
        QCOMPARE(testcommon::readFile(path("c.traxo")), before);
    }
    held.release();
    QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", "second", "--lock-timeout", "1.5" }).exitCode, 0);
    QCOMPARE(strayFiles(), QStringList());
}

void tst_TraxoAdd::killedWriterLeavesOldOrNewHistory()
{
    // Killed at random moments while it streams a large file, a writer leaves
    // the old history or the new one, and the next writer cuts its
    // unfinished tail back, so every section and file stays valid.
    QByteArray big(24 << 20, Qt::Uninitialized);
    QRandomGenerator random(20261209);
    random.fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
    write("data/big.bin", big);
    QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", "first" }).exitCode, 0);
    int steps = 1;
    for (int round = 0; round < 6; ++round) {
        QProcess *writer = startTool("traxoadd",
            { "-A", "c.traxo", "-s", "title", QString("round %1").arg(round), "-i", "data/big.bin", "-f", "embed", "-f",
                round % 2 ? "compress" : "no-compress" });
        QVERIFY(writer->waitForStarted());
        QTest::qWait(int(random.bounded(400)));
        // A writer that already ended has no process id left, and kill(0)
        // would hit the whole process group: the test runner with it.
        if (const qint64 pid = writer->processId(); pid > 0)
            ::kill(pid_t(pid), SIGKILL);
        if (writer->state() != QProcess::NotRunning)
            QVERIFY(writer->waitForFinished());
        const testcommon::ContainerCheck check = testcommon::checkContainer(path("c.traxo"));
        QVERIFY2(check.sections == steps || check.sections == steps + 1, qPrintable(QString::number(round)));
        QCOMPARE(check.invalid, 0);
        QCOMPARE(check.sectionless, 0);
        steps = check.sections;
    }
    QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", "after" }).exitCode, 0);
    const testcommon::ContainerCheck check = testcommon::checkContainer(path("c.traxo"));
    QCOMPARE(check.sections, steps + 1);
    QCOMPARE(check.invalid, 0);
    QCOMPARE(check.sectionless, 0);
    QCOMPARE(strayFiles(), QStringList());
}

void tst_TraxoAdd::failedWriteLeavesContainerUnchanged()
{
    // A full disk, played by a file-size limit whose signal is ignored: the
    // write fails with an error instead of killing the writer.
    write("data/big.bin", QByteArray(1 << 20, 'x'));
    QCOMPARE(traxoadd({ "-A", "c.traxo", "-s", "title", "first" }).exitCode, 0);
    const QByteArray before = testcommon::readFile(path("c.traxo"));
    for (const QString &target : { QString("-A c.traxo"), QString("-O fresh.traxo") }) {
        QProcess shell;
        shell.setWorkingDirectory(m_dir->path());
        shell.setProcessChannelMode(QProcess::MergedChannels);
        shell.start("/bin/sh",
            { "-c",
                QString("ulimit -f 256; trap '' XFSZ; exec '%1/traxoadd' %2 -s title second -i "
                        "data/big.bin -f embed -f no-compress")
                    .arg(getBinaryDir(), target) });
        QVERIFY(shell.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(shell.readAll());
        QVERIFY2(shell.exitStatus() == QProcess::NormalExit && shell.exitCode() != 0, qPrintable(output));
        QVERIFY2(output.contains("***ERROR"), qPrintable(output));
    }
    QCOMPARE(testcommon::readFile(path("c.traxo")), before);
    QVERIFY(!QFile::exists(path("fresh.traxo")));
    QCOMPARE(strayFiles(), QStringList());
}

void tst_TraxoAdd::streamedFilesAreRecorded_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("compression");

    QByteArray mixed;
    for (int i = 0; i < 300000; ++i)
        mixed += QByteArray::number(qint64(i) * 7919 % 100003) + ' ';
    QTest::addRow("several chunks, compressed") << mixed << "compress";
    QTest::addRow("several chunks, as is") << mixed << "no-compress";
    QTest::addRow("empty file") << QByteArray() << "no-compress";
    // The marker text straddles two reading chunks of 4 MiB.
    QByteArray marker = QByteArray((4 << 20) - 5, 'a') + "\n%<--! $TRAXO_SECTION [version:1.0]\n";
    QTest::addRow("marker text across chunks is compressed") << marker << "no-compress";
    QTest::addRow("marker text at an odd offset is compressed")
        << QByteArray(1001, 'b') + "%<--! $TRAXO_" + QByteArray(50, 'c') << "no-compress";
    QTest::addRow("marker text ending the file is compressed") << QByteArray(1000, 'b') + "%<--! $TRAXO_"
                                                               << "no-compress";
    QTest::addRow("near misses stay as they are")
        << QByteArray("%<%<--! $TRAXO %<--! $TRAX_O %<").repeated(100) << "no-compress";
}

void tst_TraxoAdd::streamedFilesAreRecorded()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, compression);
    write("data/file.dat", content);
    QCOMPARE(
        traxoadd({ "-A", "c.traxo", "-s", "title", "one", "-o", "data/file.dat", "-f", "embed", "-f", compression })
            .exitCode,
        0);
    const testcommon::ContainerCheck check = testcommon::checkContainer(path("c.traxo"));
    QCOMPARE(check.invalid, 0);
    QCOMPARE(check.files, 2);
    TraxoParser parser;
    QVERIFY(parser.open(path("c.traxo")));
    QCOMPARE(*parser.getFileContent(0), content);
    const FileSummary recorded = readSummary(parser, 0).files.value(0);
    QCOMPARE(recorded.UncompressedMD5, QString(md5(content)));
    QCOMPARE(qint64(recorded.UncompressedSize), qint64(content.size()));
    QCOMPARE(recorded.CompressedMethod, parser.getFile(0)->compression);
    QCOMPARE(qint64(recorded.CompressedSize), qint64(parser.getFile(0)->cfilesize));
    const bool markerText = content.contains("%<--! $TRAXO_");
    QCOMPARE(parser.getFile(0)->compression, QString(compression == "compress" || markerText ? "flate" : "none"));
}

void tst_TraxoAdd::textsComeBackAsTyped()
{
    const QString typed = QString::fromUtf8("cost $5 and $$ or $HOME, C:\\dir\\ \"quoted\" 'single' # not a comment "
                                            "& <tag> µ → 漢字\nsecond line");
    ArgFile step;
    step.addOutputTraxofile("texts.traxo");
    step.setTitle(typed);
    step.setDescription(typed + "!");
    step.setComment(typed.left(7));
    step.addUserAttribute("note", typed);
    write("texts.vcmd", step.toCommandline(false).toUtf8());
    QCOMPARE(traxoadd({ "-c", "texts.vcmd" }).exitCode, 0);
    TraxoParser parser;
    QVERIFY(parser.open(path("texts.traxo")));
    const QList<Summary> summaries = SummaryCreator().createSummaries(parser);
    QCOMPARE(summaries.size(), 1);
    const Summary &summary = summaries.first();
    QCOMPARE(SummaryReader::decodeText(summary.Title), typed);
    QCOMPARE(SummaryReader::decodeText(summary.Description), typed + "!");
    QCOMPARE(SummaryReader::decodeText(summary.Comment), typed.left(7));
    QCOMPARE(SummaryReader::decodeText(summary.userAttributeValues.value("note")), typed);
}

void tst_TraxoAdd::describedFilesKeepSizesBeyond32Bits_data()
{
    QTest::addColumn<qint64>("size");

    QTest::addRow("just past 2^31") << (qint64(1) << 31) + 1;
    QTest::addRow("just past 2^32") << (qint64(1) << 32) + 1;
    QTest::addRow("5 GiB") << (qint64(5) << 30);
}

void tst_TraxoAdd::describedFilesKeepSizesBeyond32Bits()
{
    // Sparse files take no disk; described without a checksum they are not
    // read, which keeps the test fast.
    QFETCH(qint64, size);
    QFile volume(path("volume.raw"));
    QVERIFY(volume.open(QIODevice::WriteOnly) && volume.resize(size));
    volume.close();
    const ToolRun run = traxoadd({ "-A", "c.traxo", "-o", "volume.raw", "-f", "no-embed", "-f", "no-automd5" });
    QVERIFY2(run.exitCode == 0, qPrintable(run.lines.join('\n')));
    TraxoParser parser;
    QVERIFY(parser.open(path("c.traxo")));
    QCOMPARE(qint64(readSummary(parser, 0).files.value(0).UncompressedSize), size);
}

namespace {

// A one-page PDF 1.4 with a classic cross-reference table, its offsets
// counted here.
QByteArray onePagePdf()
{
    const QByteArray content = "BT /F1 24 Tf 20 40 Td (Figure 2) Tj ET";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 6\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype start = pdf.size();
    return pdf + xref + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + QByteArray::number(start) + "\n%%EOF\n";
}

struct Command
{
    int exitCode = -1;
    QByteArray output;
};

Command runCommand(const QString &program, const QStringList &arguments, const QString &directory)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Command command;
    if (process.waitForStarted(10000) && process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        command.exitCode = process.exitCode();
    command.output = process.readAll();
    return command;
}

bool havePdfTools()
{
    for (const char *tool : { "qpdf", "pdfinfo", "pdftoppm" }) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return false;
    }
    return true;
}

} // namespace

void tst_TraxoAdd::pdfsStayValidPdfs_data()
{
    QTest::addColumn<QStringList>("qpdfOptions");

    QTest::addRow("classic cross-reference table") << QStringList();
    QTest::addRow("cross-reference and object streams") << QStringList { "--object-streams=generate" };
    QTest::addRow("linearized") << QStringList { "--linearize" };
}

void tst_TraxoAdd::pdfsStayValidPdfs()
{
    QFETCH(QStringList, qpdfOptions);
    if (!havePdfTools())
        QSKIP("qpdf and poppler-utils are needed (make deps installs them)");
    write("made.pdf", onePagePdf());
    if (qpdfOptions.isEmpty())
        QVERIFY(QFile::copy(path("made.pdf"), path("paper.pdf")));
    else
        QCOMPARE(runCommand("qpdf", qpdfOptions + QStringList { "made.pdf", "paper.pdf" }, m_dir->path()).exitCode, 0);
    QCOMPARE(runCommand("pdftoppm", { "-r", "40", "-f", "1", "-l", "1", "-png", "paper.pdf", "before" }, m_dir->path())
                 .exitCode,
        0);

    QCOMPARE(traxoadd({ "-A", "paper.pdf", "-s", "title", "one", "-d", "title", "A paper → µ", "-i", "data/in.txt",
                          "-f", "embed" })
                 .exitCode,
        0);
    QCOMPARE(traxoadd({ "-A", "paper.pdf", "-s", "title", "two", "-o", "data/out.bin", "-f", "embed" }).exitCode, 0);
    QCOMPARE(traxoadd({ "-A", "paper.pdf", "-s", "title", "three" }).exitCode, 0);
    QCOMPARE(traxodel({ "paper.pdf" }).exitCode, 0);

    const Command check = runCommand("qpdf", { "--check", "paper.pdf" }, m_dir->path());
    QVERIFY2(check.exitCode == 0 && !check.output.contains("WARNING"), check.output.constData());
    const Command info = runCommand("pdfinfo", { "paper.pdf" }, m_dir->path());
    QCOMPARE(info.exitCode, 0);
    QVERIFY2(QString::fromUtf8(info.output).contains(QRegularExpression("Title: +A paper → µ\n")), info.output);
    QVERIFY2(QString::fromUtf8(info.output).contains(QRegularExpression("Pages: +1\n")), info.output);
    QCOMPARE(runCommand("pdftoppm", { "-r", "40", "-f", "1", "-l", "1", "-png", "paper.pdf", "after" }, m_dir->path())
                 .exitCode,
        0);
    const QStringList before = QDir(m_dir->path()).entryList({ "before*.png" });
    const QStringList after = QDir(m_dir->path()).entryList({ "after*.png" });
    QCOMPARE(before.size(), 1);
    QCOMPARE(after.size(), 1);
    QCOMPARE(testcommon::readFile(path(after.first())), testcommon::readFile(path(before.first())));

    const testcommon::ContainerCheck container = testcommon::checkContainer(path("paper.pdf"));
    QCOMPARE(container.sections, 2);
    QCOMPARE(container.invalid, 0);
    QCOMPARE(container.sectionless, 0);
    QVERIFY(testcommon::readFile(path("paper.pdf")).endsWith("\n%%EOF\n"));
    QCOMPARE(strayFiles(), QStringList());
}

void tst_TraxoAdd::encryptedPdfIsRefused()
{
    if (!havePdfTools())
        QSKIP("qpdf is needed (make deps installs it)");
    write("made.pdf", onePagePdf());
    QCOMPARE(
        runCommand("qpdf", { "--encrypt", "", "owner", "256", "--", "made.pdf", "locked.pdf" }, m_dir->path()).exitCode,
        0);
    const QByteArray before = testcommon::readFile(path("locked.pdf"));
    const ToolRun run = traxoadd({ "-A", "locked.pdf", "-s", "title", "one" });
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.linesStartingWith("***ERROR PDF \"locked.pdf\" is encrypted").size(), 1);
    QCOMPARE(testcommon::readFile(path("locked.pdf")), before);
    QCOMPARE(strayFiles(), QStringList());
}

QTEST_GUILESS_MAIN(tst_TraxoAdd)
#include "tst_traxoadd.moc"
