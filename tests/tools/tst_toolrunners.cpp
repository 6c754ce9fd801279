#include "argfile/argfile.h"
#include "argfile/quoting.h"
#include "argfile/traxorunner.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "summary/summarycreator.h"

#include "testcommon.h"

#include <QtTest>

using namespace traxo;

namespace {

class LogCollector : public QObject
{
    Q_OBJECT
public:
    QStringList messages;
    QList<int> levels;
    QStringList at(int level) const
    {
        QStringList found;
        for (int i = 0; i < messages.size(); ++i) {
            if (levels[i] == level)
                found << messages[i];
        }
        return found;
    }
public slots:
    void log(const QString &message, int level)
    {
        messages << message;
        levels << level;
    }
};

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

} // namespace

// The library runners drive the real tools through their python launchers,
// as a program using libtraxolib would.
class tst_ToolRunners : public QObject
{
    Q_OBJECT

private slots:
    void addThenDeleteRestoresTheContainer();
    void errorsArriveAtLevelTwo();
};

void tst_ToolRunners::addThenDeleteRestoresTheContainer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray raw = "raw,data\n1,2\n";
    const QByteArray result = QByteArray(5000, 'r') + "esult";
    QVERIFY(testcommon::writeFile(dir.filePath("raw data.csv"), raw));
    QVERIFY(testcommon::writeFile(dir.filePath("result.txt"), result));
    const QString container = dir.filePath("history.traxo");

    // A first step, so that the step under test continues a history.
    LogCollector log;
    TraxoaddRunner add(&log);
    ArgFile first(container, container);
    first.setRootIsOptional(true);
    first.setTitle("first");
    QCOMPARE(add.runProcess(first.toCommandline(true)), 0);
    const QByteArray before = testcommon::readFile(container);
    QVERIFY(before.size() > 0);

    ArgFile step;
    step.addOutputTraxofile(container);
    step.setRootfile(container);
    step.setTitle("Fit of run 7");
    step.setDescription("least squares, two parameters");
    step.setComment("it's a \"test\" # not a comment");
    step.setTool("fitter");
    step.setToolpath("/opt/fit/bin");
    step.setHost("lab-host");
    step.setUser("ann");
    step.setCommand("fitter --in 'raw data.csv'");
    step.setPdfAuthor("Ann Example");
    step.setPdfKeywords("fit; run 7");
    step.addUserAttribute("temperature", "21.5");
    step.addUserAttribute("operator", "Ann");
    WSFile in;
    in.setFilenameAndPath(dir.filePath("raw data.csv"));
    in.setFiletype("text/csv");
    in.setDescription("raw counts");
    in.setComment("from the detector");
    in.addUserAttribute("channel", "4");
    step.addFile(in);
    WSFile out;
    out.setFilenameAndPath(dir.filePath("result.txt"));
    out.setInputFile(false);
    out.setFiletype("text/plain");
    out.setCompress(true);
    step.addFile(out);

    log.messages.clear();
    log.levels.clear();
    QSignalSpy intercepts(&add, &TraxoRunner::intercept);
    QCOMPARE(add.runProcess(step.toCommandline(true)), 0);
    QVERIFY2(log.at(2).isEmpty() && log.at(1).isEmpty(), qPrintable(log.messages.join(QString())));
    QVERIFY(intercepts.count() >= 1);
    QCOMPARE(log.messages.last(), QString("Programm exited with error code: 0\n\n"));

    TraxoParser parser;
    QVERIFY(parser.open(container));
    QCOMPARE(parser.getNumSections(), 2);
    QVERIFY(testcommon::readFile(container).startsWith(before));

    const QList<FileTag> tags = parser.getFilesInSection(0);
    QCOMPARE(tags.size(), 3);
    QCOMPARE(tags[0].filename, QString("raw data.csv"));
    QCOMPARE(tags[0].compression, QString("none"));
    QCOMPARE(*parser.getFileContent(tags[0].id), raw);
    QCOMPARE(tags[1].filename, QString("result.txt"));
    QCOMPARE(tags[1].compression, QString("flate"));
    QVERIFY(tags[1].cfilesize < result.size());
    QCOMPARE(*parser.getFileContent(tags[1].id), result);

    const QList<Summary> summaries = SummaryCreator().createSummaries(parser);
    QCOMPARE(summaries.size(), 2); // oldest first, no unmatched files
    QCOMPARE(summaries[0].Title, QString("first"));
    const Summary summary = summaries[1];
    QVERIFY(summary.valid);
    QCOMPARE(summary.TagID, 0);
    QCOMPARE(summary.Title, step.title());
    QCOMPARE(summary.Description, step.description());
    QCOMPARE(summary.Comment, step.comment());
    QCOMPARE(summary.Tool, step.tool());
    QCOMPARE(summary.ToolPath, step.toolpath());
    QCOMPARE(summary.Host, step.host());
    QCOMPARE(summary.User, step.user());
    QCOMPARE(summary.Command, step.command());
    QCOMPARE(summary.PDFAuthor, step.pdfAuthor());
    QCOMPARE(summary.PDFKeywords, step.pdfKeywords());
    QCOMPARE(summary.TraxoRootFile, container);
    QCOMPARE(summary.Creator, QString("traxoadd 1.83.0.2990"));
    QCOMPARE(summary.userAttributeKeys, (QStringList { "temperature", "operator" }));
    QCOMPARE(summary.userAttributeValues.value("operator"), QString("Ann"));
    // The two declared files, tied to their markers, then the summary's own
    // marker, which the summary does not declare.
    QCOMPARE(summary.files.size(), 3);
    QCOMPARE(summary.files[0].TagID, tags[0].id);
    QCOMPARE(summary.files[1].TagID, tags[1].id);
    QCOMPARE(summary.files[2].TagID, tags[2].id);
    QCOMPARE(summary.files[2].Filename, QString("ws_summary.xml"));
    QCOMPARE(summary.files[2].FilePurpose, QString("Undefined"));
    const FileSummary inSummary = summary.files[0];
    QCOMPARE(inSummary.FilePurpose, QString("InFile"));
    QCOMPARE(inSummary.Filename, QString("raw data.csv"));
    QCOMPARE(inSummary.Filepath, QFileInfo(dir.path()).absoluteFilePath());
    QCOMPARE(inSummary.Filetype, QString("text/csv"));
    QCOMPARE(inSummary.Description, QString("raw counts"));
    QCOMPARE(inSummary.Comment, QString("from the detector"));
    QCOMPARE(inSummary.UncompressedSize, int(raw.size()));
    QCOMPARE(inSummary.UncompressedMD5, md5(raw));
    QCOMPARE(inSummary.CompressedMethod, QString("none"));
    QVERIFY(inSummary.Embedded);
    QCOMPARE(inSummary.userAttributeValues.value("channel"), QString("4"));
    const FileSummary outSummary = summary.files[1];
    QCOMPARE(outSummary.FilePurpose, QString("OutFile"));
    QCOMPARE(outSummary.UncompressedSize, int(result.size()));
    QCOMPARE(outSummary.UncompressedMD5, md5(result));
    QCOMPARE(outSummary.CompressedMethod, QString("flate"));
    QCOMPARE(outSummary.CompressedSize, tags[1].cfilesize);
    QCOMPARE(outSummary.CompressedMD5, tags[1].md5cfile);

    // Every section and every embedded file checks out against its MD5.
    ValidationQueue validation(&parser);
    QSignalSpy sections(&validation, &ValidationQueue::sectionProcessed);
    QSignalSpy files(&validation, &ValidationQueue::fileProcessed);
    validation.repopulate(&parser);
    for (int slices = 0; validation.process(); ++slices)
        QVERIFY(slices < 10000);
    QCOMPARE(sections.count(), parser.getNumSections());
    QCOMPARE(files.count(), parser.getNumFiles());
    for (const QList<QVariant> &result : sections + files)
        QVERIFY(result.at(1).toBool());

    TraxodelRunner del(&log);
    QCOMPARE(del.runProcess(step.getUndoWorkflowStep()), 0);
    QCOMPARE(testcommon::readFile(container), before);
}

void tst_ToolRunners::errorsArriveAtLevelTwo()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString container = dir.filePath("c.traxo");
    LogCollector log;
    TraxoaddRunner add(&log);
    const QString argfile = "-O " + quoteString(container, true) + " -i " + quoteString(dir.filePath("gone"), true)
        + " -i " + quoteString(dir.filePath("gone too"), true) + " -f optional";
    QCOMPARE(add.runProcess(argfile), 1);
    QCOMPARE(log.at(2), QStringList { " file \"" + dir.filePath("gone") + "\" does not exist\n" });
    QCOMPARE(log.at(1).size(), 1);
    QVERIFY(!QFileInfo::exists(container));

    TraxodelRunner del(&log);
    QCOMPARE(del.runProcess(container), 1);
    QCOMPARE(log.at(2).size(), 2);
}

QTEST_GUILESS_MAIN(tst_ToolRunners)
#include "tst_toolrunners.moc"
