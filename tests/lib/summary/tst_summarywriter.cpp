#include "summary/summaryreader.h"
#include "summary/summarywriter.h"

#include <QRandomGenerator>
#include <QXmlStreamReader>
#include <QtTest>

using namespace traxo;

namespace {

// Texts the generator draws from: empty, blanks, Unicode from several
// planes, the three characters that need entities, and look-alikes of the
// document's own tags, which must not confuse the reader.
QString randomText(QRandomGenerator &random)
{
    static const QStringList pieces = {
        QString(),
        QStringLiteral(" "),
        QStringLiteral("\n\t"),
        QStringLiteral("plain"),
        QString::fromUtf8("Grüße"),
        QString::fromUtf8("μm²"),
        QString::fromUtf8("日本語"),
        QString::fromUtf8("😀 emoji"),
        QStringLiteral("a&b"),
        QStringLiteral("<Title>"),
        QStringLiteral("</Workflowstep>"),
        QStringLiteral("x > y"),
        QStringLiteral("&amp;"),
        QStringLiteral("<!-- no comment -->"),
        QStringLiteral("\"quoted\" 'single'"),
        QStringLiteral("/usr/local/bin"),
        QStringLiteral("C:\\data\\run 1"),
        QStringLiteral("$HOME"),
    };
    QString text;
    const int count = random.bounded(4);
    for (int i = 0; i < count; ++i)
        text += pieces.at(random.bounded(int(pieces.size())));
    return text;
}

void randomAttributes(
    QRandomGenerator &random, QHash<QString, QString> &values, QHash<QString, QString> &units, QStringList &keys)
{
    const int count = random.bounded(5);
    for (int i = 0; i < count; ++i) {
        // A small key space makes repeated keys common.
        const QString key
            = random.bounded(3) == 0 ? randomText(random) : QStringLiteral("key%1").arg(random.bounded(4));
        values.insert(key, randomText(random));
        keys.append(key);
        const int unitChoice = random.bounded(3);
        if (unitChoice == 1)
            units.insert(key, randomText(random));
        else if (unitChoice == 2)
            units.insert(key, QString(QLatin1String("")));
    }
}

Summary randomSummary(QRandomGenerator &random)
{
    Summary summary;
    QString *const texts[] = { &summary.TraxoRootFile, &summary.Timestamp, &summary.Title, &summary.Description,
        &summary.Comment, &summary.Command, &summary.Tool, &summary.ToolPath, &summary.Host, &summary.User,
        &summary.Creator, &summary.PDFTitle, &summary.PDFAuthor, &summary.PDFSubject, &summary.PDFKeywords,
        &summary.PDFProducer, &summary.PDFCreator, &summary.md5Signature };
    for (QString *text : texts)
        *text = randomText(random);
    randomAttributes(random, summary.userAttributeValues, summary.userAttributeUnits, summary.userAttributeKeys);
    const int files = random.bounded(4);
    for (int i = 0; i < files; ++i) {
        FileSummary file;
        QString *const fileTexts[] = { &file.Filename, &file.Filepath, &file.Filetype, &file.Description, &file.Comment,
            &file.LastModified, &file.UncompressedMD5, &file.CompressedMethod, &file.CompressedMD5 };
        for (QString *text : fileTexts)
            *text = randomText(random);
        bool *const flags[] = { &file.GenerateMD5, &file.Embedded, &file.Preview, &file.PreviewWS, &file.Thumbnail,
            &file.ThumbnailOnly };
        for (bool *flag : flags)
            *flag = random.bounded(2) == 1;
        file.UncompressedSize = random.bounded(-1, 1 << 30);
        file.CompressedSize
            = random.bounded(3) == 0 ? -1 : random.bounded(qint64(0), std::numeric_limits<qint64>::max());
        file.FilePurpose = random.bounded(2) ? QStringLiteral("InFile") : QStringLiteral("OutFile");
        randomAttributes(random, file.userAttributeValues, file.userAttributeUnits, file.userAttributeKeys);
        summary.files.append(file);
    }
    summary.valid = true;
    return summary;
}

// What the reader gives back: every text as it stands in the document.
QHash<QString, QString> escaped(const QHash<QString, QString> &hash)
{
    QHash<QString, QString> result;
    for (auto it = hash.cbegin(); it != hash.cend(); ++it)
        result.insert(SummaryWriter::escape(it.key()), SummaryWriter::escape(it.value()));
    return result;
}

QStringList escaped(const QStringList &list)
{
    QStringList result;
    for (const QString &text : list)
        result << SummaryWriter::escape(text);
    return result;
}

Summary asWritten(Summary summary)
{
    QString *const texts[] = { &summary.TraxoRootFile, &summary.Timestamp, &summary.Title, &summary.Description,
        &summary.Comment, &summary.Command, &summary.Tool, &summary.ToolPath, &summary.Host, &summary.User,
        &summary.Creator, &summary.PDFTitle, &summary.PDFAuthor, &summary.PDFSubject, &summary.PDFKeywords,
        &summary.PDFProducer, &summary.PDFCreator, &summary.md5Signature };
    for (QString *text : texts)
        *text = SummaryWriter::escape(*text);
    summary.userAttributeValues = escaped(summary.userAttributeValues);
    summary.userAttributeUnits = escaped(summary.userAttributeUnits);
    summary.userAttributeKeys = escaped(summary.userAttributeKeys);
    for (FileSummary &file : summary.files) {
        QString *const fileTexts[] = { &file.Filename, &file.Filepath, &file.Filetype, &file.Description, &file.Comment,
            &file.LastModified, &file.UncompressedMD5, &file.CompressedMethod, &file.CompressedMD5 };
        for (QString *text : fileTexts)
            *text = SummaryWriter::escape(*text);
        file.userAttributeValues = escaped(file.userAttributeValues);
        file.userAttributeUnits = escaped(file.userAttributeUnits);
        file.userAttributeKeys = escaped(file.userAttributeKeys);
    }
    return summary;
}

// Element texts in document order, decoded by Qt's own XML reader, which
// also proves the document well-formed.
QStringList decodedTexts(const QString &xml, QString *error)
{
    QStringList texts;
    QXmlStreamReader reader(xml);
    QString current;
    bool leaf = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            current.clear();
            leaf = true;
            break;
        case QXmlStreamReader::Characters:
            current += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (leaf)
                texts << current;
            leaf = false;
            current.clear();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        *error = reader.errorString();
    return texts;
}

} // namespace

class tst_SummaryWriter : public QObject
{
    Q_OBJECT

private slots:
    void escape_data();
    void escape();
    void documentShape();
    void emptySummary();
    void unitsOnlyWhereGiven();
    void keysMissingFromTheListAreNotLost();
    void unknownPurposeIsWrittenAsInput();
    void documentIsWellFormedAndDecodesToTheOriginal();
    void controlCharactersLeaveTheDocumentReadable();
    void roundTripOfGeneratedSummaries();
};

void tst_SummaryWriter::escape_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addRow("plain text unchanged") << "abc"
                                          << "abc";
    QTest::addRow("empty stays empty") << ""
                                       << "";
    QTest::addRow("ampersand") << "R&D"
                               << "R&amp;D";
    QTest::addRow("less and greater") << "a<b>c"
                                      << "a&lt;b&gt;c";
    QTest::addRow("an entity is escaped again") << "&amp;"
                                                << "&amp;amp;";
    QTest::addRow("quotes stay") << "\"'"
                                 << "\"'";
    QTest::addRow("unicode stays") << QString::fromUtf8("µ✓😀") << QString::fromUtf8("µ✓😀");
    QTest::addRow("control characters are dropped") << QString::fromUtf8("a\x01"
                                                                         "b\x1f\x7f")
                                                    << "ab\x7f";
    QTest::addRow("tab, line feed and carriage return stay") << "a\tb\nc\r"
                                                             << "a\tb\nc\r";
    QTest::addRow("a lone surrogate is dropped") << QString(QChar(0xD800)) + "x" + QChar(0xDC00) << "x";
    QTest::addRow("the two non-characters are dropped") << QString(QChar(0xFFFE)) + "y" + QChar(0xFFFF) << "y";
}

void tst_SummaryWriter::escape()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(SummaryWriter::escape(text), expected);
}

void tst_SummaryWriter::documentShape()
{
    Summary summary;
    summary.Title = "a<b";
    FileSummary file;
    file.Filename = "x.txt";
    file.Embedded = true;
    file.UncompressedSize = 12;
    file.FilePurpose = "OutFile";
    summary.files << file;
    summary.md5Signature = "sig";
    const QString xml = SummaryWriter::writeSummary(summary);

    QVERIFY(xml.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<trxchange>")));
    QVERIFY(xml.trimmed().endsWith(QStringLiteral("</trxchange>")));
    QVERIFY(xml.contains(QStringLiteral("<Title>a&lt;b</Title>")));
    QVERIFY(xml.contains(QStringLiteral("<OutFile>")));
    QVERIFY(!xml.contains(QStringLiteral("<InFile>")));
    QVERIFY(xml.contains(QStringLiteral("<Embedded>1</Embedded>")));
    QVERIFY(xml.contains(QStringLiteral("<GenerateMD5>0</GenerateMD5>")));
    QVERIFY(xml.contains(QStringLiteral("<UncompressedSize>12</UncompressedSize>")));
    QVERIFY(xml.contains(QStringLiteral("<CompressedSize>-1</CompressedSize>")));
    QVERIFY(xml.contains(QStringLiteral("<MD5Signature>sig</MD5Signature>")));
    QVERIFY(!xml.contains(QStringLiteral("UserAttributes")));
    QCOMPARE(SummaryWriter::writeSummaryUtf8(summary), xml.toUtf8());
}

void tst_SummaryWriter::emptySummary()
{
    const QString xml = SummaryWriter::writeSummary(Summary());
    QVERIFY(!xml.contains(QStringLiteral("MD5Signature")));
    SummaryReader reader;
    Summary expected;
    expected.valid = true;
    QVERIFY(reader.readSummary(xml) == expected);
}

void tst_SummaryWriter::unitsOnlyWhereGiven()
{
    Summary summary;
    summary.userAttributeKeys = { "with", "empty", "without" };
    summary.userAttributeValues = { { "with", "1" }, { "empty", "2" }, { "without", "3" } };
    summary.userAttributeUnits = { { "with", "kg" }, { "empty", "" } };
    const QString xml = SummaryWriter::writeSummary(summary);
    QCOMPARE(xml.count(QStringLiteral("<Unit>")), 2);
    QVERIFY(xml.contains(QStringLiteral("<Unit>kg</Unit>")));
    QVERIFY(xml.contains(QStringLiteral("<Unit></Unit>")));

    SummaryReader reader;
    const Summary read = reader.readSummary(xml);
    QCOMPARE(read.userAttributeKeys, summary.userAttributeKeys);
    QCOMPARE(read.userAttributeValues, summary.userAttributeValues);
    QCOMPARE(read.userAttributeUnits, summary.userAttributeUnits);
}

void tst_SummaryWriter::keysMissingFromTheListAreNotLost()
{
    Summary summary;
    summary.userAttributeKeys = { "listed" };
    summary.userAttributeValues = { { "listed", "1" }, { "b-unlisted", "2" }, { "a-unlisted", "3" } };
    SummaryReader reader;
    const Summary read = reader.readSummary(SummaryWriter::writeSummary(summary));
    QCOMPARE(read.userAttributeValues, summary.userAttributeValues);
    QCOMPARE(read.userAttributeKeys, (QStringList { "listed", "a-unlisted", "b-unlisted" }));
}

void tst_SummaryWriter::unknownPurposeIsWrittenAsInput()
{
    Summary summary;
    FileSummary file;
    file.Filename = "extra";
    summary.files << file;
    SummaryReader reader;
    const Summary read = reader.readSummary(SummaryWriter::writeSummary(summary));
    QCOMPARE(read.files.size(), 1);
    QCOMPARE(read.files.first().Filename, QStringLiteral("extra"));
    QCOMPARE(read.files.first().FilePurpose, QStringLiteral("InFile"));
}

void tst_SummaryWriter::documentIsWellFormedAndDecodesToTheOriginal()
{
    QRandomGenerator random(20240611);
    for (int i = 0; i < 200; ++i) {
        const Summary summary = randomSummary(random);
        QString error;
        const QStringList texts = decodedTexts(SummaryWriter::writeSummary(summary), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // The step's texts come first, in the order of the document.
        QVERIFY(texts.size() >= 17);
        QCOMPARE(texts.at(0), summary.TraxoRootFile);
        QCOMPARE(texts.at(2), summary.Title);
        QCOMPARE(texts.at(16), summary.PDFCreator);
        QVERIFY(texts.contains(summary.Command));
        for (const FileSummary &file : summary.files) {
            QVERIFY(texts.contains(file.Filename));
            QVERIFY(texts.contains(file.Description));
        }
        if (!summary.md5Signature.isEmpty())
            QCOMPARE(texts.last(), summary.md5Signature);
    }
}

void tst_SummaryWriter::controlCharactersLeaveTheDocumentReadable()
{
    Summary summary;
    summary.Title = QStringLiteral("step\x01one");
    summary.userAttributeValues.insert(QStringLiteral("key\x02"), QStringLiteral("value\x1b[0m"));
    summary.userAttributeKeys << QStringLiteral("key\x02");
    QString error;
    const QStringList texts = decodedTexts(SummaryWriter::writeSummary(summary), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(texts.contains(QStringLiteral("stepone")));
    QVERIFY(texts.contains(QStringLiteral("key")));
    QVERIFY(texts.contains(QStringLiteral("value[0m")));
    QVERIFY(SummaryReader().readSummary(SummaryWriter::writeSummary(summary)).valid);
}

void tst_SummaryWriter::roundTripOfGeneratedSummaries()
{
    QRandomGenerator random(4711);
    SummaryReader reader;
    int withEntities = 0;
    int withUnits = 0;
    int withRepeatedKeys = 0;
    for (int i = 0; i < 1000; ++i) {
        const Summary summary = randomSummary(random);
        const Summary read = reader.readSummary(QString::fromUtf8(SummaryWriter::writeSummaryUtf8(summary)));
        const Summary expected = asWritten(summary);
        if (read != expected) {
            qWarning().noquote() << SummaryWriter::writeSummary(summary);
            QFAIL(qPrintable(QStringLiteral("summary %1 did not survive the round trip").arg(i)));
        }
        withEntities += expected != summary;
        withUnits += !summary.userAttributeUnits.isEmpty();
        withRepeatedKeys += summary.userAttributeKeys.size() > summary.userAttributeValues.size();
    }
    // The generator did cover the interesting cases.
    QVERIFY(withEntities > 100);
    QVERIFY(withUnits > 100);
    QVERIFY(withRepeatedKeys > 50);
}

QTEST_GUILESS_MAIN(tst_SummaryWriter)
#include "tst_summarywriter.moc"
