#include "summary/summary.h"

#include <QtTest>

#include <functional>

using namespace traxo;

class tst_Summary : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void fileSummaryEquality_data();
    void fileSummaryEquality();
    void summaryEquality_data();
    void summaryEquality();
    void summaryIsUsableAsWorkflowstep();
};

void tst_Summary::defaults()
{
    const FileSummary file;
    QCOMPARE(file.TagID, -1);
    QCOMPARE(file.UncompressedSize, -1);
    QCOMPARE(file.CompressedSize, -1);
    QCOMPARE(file.FilePurpose, QStringLiteral("Undefined"));
    QVERIFY(!file.GenerateMD5 && !file.Embedded && !file.Preview && !file.PreviewWS && !file.Thumbnail
        && !file.ThumbnailOnly);
    QVERIFY(file.Filename.isEmpty() && file.UncompressedMD5.isEmpty() && file.CompressedMethod.isEmpty());

    const Summary summary;
    QCOMPARE(summary.TagID, 0);
    QVERIFY(!summary.valid);
    QVERIFY(summary.md5Signature.isEmpty());
    QVERIFY(summary.files.isEmpty());
    QVERIFY(summary.userAttributeKeys.isEmpty());
}

using FileChange = std::function<void(FileSummary &)>;

void tst_Summary::fileSummaryEquality_data()
{
    QTest::addColumn<FileChange>("change");
    QTest::addRow("tag id") << FileChange([](FileSummary &f) { f.TagID = 3; });
    QTest::addRow("file name") << FileChange([](FileSummary &f) { f.Filename = "a"; });
    QTest::addRow("file path") << FileChange([](FileSummary &f) { f.Filepath = "/tmp"; });
    QTest::addRow("file type") << FileChange([](FileSummary &f) { f.Filetype = "text/plain"; });
    QTest::addRow("description") << FileChange([](FileSummary &f) { f.Description = "d"; });
    QTest::addRow("comment") << FileChange([](FileSummary &f) { f.Comment = "c"; });
    QTest::addRow("last modified") << FileChange([](FileSummary &f) { f.LastModified = "today"; });
    QTest::addRow("generate md5 flag") << FileChange([](FileSummary &f) { f.GenerateMD5 = true; });
    QTest::addRow("embedded flag") << FileChange([](FileSummary &f) { f.Embedded = true; });
    QTest::addRow("preview flag") << FileChange([](FileSummary &f) { f.Preview = true; });
    QTest::addRow("preview ws flag") << FileChange([](FileSummary &f) { f.PreviewWS = true; });
    QTest::addRow("thumbnail flag") << FileChange([](FileSummary &f) { f.Thumbnail = true; });
    QTest::addRow("thumbnail only flag") << FileChange([](FileSummary &f) { f.ThumbnailOnly = true; });
    QTest::addRow("uncompressed size") << FileChange([](FileSummary &f) { f.UncompressedSize = 0; });
    QTest::addRow("uncompressed md5") << FileChange([](FileSummary &f) { f.UncompressedMD5 = "x"; });
    QTest::addRow("compression method") << FileChange([](FileSummary &f) { f.CompressedMethod = "flate"; });
    QTest::addRow("compressed size") << FileChange([](FileSummary &f) { f.CompressedSize = 0; });
    QTest::addRow("compressed md5") << FileChange([](FileSummary &f) { f.CompressedMD5 = "x"; });
    QTest::addRow("attribute value") << FileChange([](FileSummary &f) { f.userAttributeValues.insert("k", "v"); });
    QTest::addRow("attribute unit") << FileChange([](FileSummary &f) { f.userAttributeUnits.insert("k", ""); });
    QTest::addRow("attribute key order") << FileChange([](FileSummary &f) { f.userAttributeKeys << "k"; });
    QTest::addRow("file purpose") << FileChange([](FileSummary &f) { f.FilePurpose = "InFile"; });
}

void tst_Summary::fileSummaryEquality()
{
    QFETCH(FileChange, change);
    FileSummary changed;
    change(changed);
    QVERIFY(changed != FileSummary());
    QVERIFY(!(changed == FileSummary()));
    FileSummary copy = changed;
    QVERIFY(copy == changed);
}

using SummaryChange = std::function<void(Summary &)>;

void tst_Summary::summaryEquality_data()
{
    QTest::addColumn<SummaryChange>("change");
    QTest::addRow("tag id") << SummaryChange([](Summary &s) { s.TagID = 2; });
    QTest::addRow("root file") << SummaryChange([](Summary &s) { s.TraxoRootFile = "r"; });
    QTest::addRow("timestamp") << SummaryChange([](Summary &s) { s.Timestamp = "t"; });
    QTest::addRow("title") << SummaryChange([](Summary &s) { s.Title = "t"; });
    QTest::addRow("description") << SummaryChange([](Summary &s) { s.Description = "d"; });
    QTest::addRow("comment") << SummaryChange([](Summary &s) { s.Comment = "c"; });
    QTest::addRow("command") << SummaryChange([](Summary &s) { s.Command = "c"; });
    QTest::addRow("tool") << SummaryChange([](Summary &s) { s.Tool = "t"; });
    QTest::addRow("tool path") << SummaryChange([](Summary &s) { s.ToolPath = "p"; });
    QTest::addRow("host") << SummaryChange([](Summary &s) { s.Host = "h"; });
    QTest::addRow("user") << SummaryChange([](Summary &s) { s.User = "u"; });
    QTest::addRow("creator") << SummaryChange([](Summary &s) { s.Creator = "c"; });
    QTest::addRow("pdf title") << SummaryChange([](Summary &s) { s.PDFTitle = "x"; });
    QTest::addRow("pdf author") << SummaryChange([](Summary &s) { s.PDFAuthor = "x"; });
    QTest::addRow("pdf subject") << SummaryChange([](Summary &s) { s.PDFSubject = "x"; });
    QTest::addRow("pdf keywords") << SummaryChange([](Summary &s) { s.PDFKeywords = "x"; });
    QTest::addRow("pdf producer") << SummaryChange([](Summary &s) { s.PDFProducer = "x"; });
    QTest::addRow("pdf creator") << SummaryChange([](Summary &s) { s.PDFCreator = "x"; });
    QTest::addRow("one file more") << SummaryChange([](Summary &s) { s.files << FileSummary(); });
    QTest::addRow("attribute value") << SummaryChange([](Summary &s) { s.userAttributeValues.insert("k", "v"); });
    QTest::addRow("attribute unit") << SummaryChange([](Summary &s) { s.userAttributeUnits.insert("k", "m"); });
    QTest::addRow("attribute key order") << SummaryChange([](Summary &s) { s.userAttributeKeys << "k"; });
    QTest::addRow("signature") << SummaryChange([](Summary &s) { s.md5Signature = "abc"; });
    QTest::addRow("validity") << SummaryChange([](Summary &s) { s.valid = true; });
}

void tst_Summary::summaryEquality()
{
    QFETCH(SummaryChange, change);
    Summary changed;
    change(changed);
    QVERIFY(changed != Summary());
    Summary copy = changed;
    QVERIFY(copy == changed);
}

void tst_Summary::summaryIsUsableAsWorkflowstep()
{
    Summary summary;
    summary.Title = "step";
    summary.md5Signature = "sig";
    const Workflowstep &step = summary;
    QCOMPARE(step.Title, QStringLiteral("step"));

    // Two summaries differing only in signature and validity share one step.
    Summary other = summary;
    other.md5Signature.clear();
    other.valid = true;
    QVERIFY(other != summary);
    QVERIFY(static_cast<const Workflowstep &>(other) == static_cast<const Workflowstep &>(summary));
}

QTEST_GUILESS_MAIN(tst_Summary)
#include "tst_summary.moc"
