#include "summary/summaryreader.h"
#include "summary/summarywriter.h"

#include <QtTest>

#include <limits>

using namespace traxo;

namespace {

QString document(const QString &workflowstep, const QString &tail = QString())
{
    return QStringLiteral("<trxchange><Workflowstep>%1</Workflowstep>%2</trxchange>").arg(workflowstep, tail);
}

QString inFile(const QString &children)
{
    return QStringLiteral("<InFile>%1</InFile>").arg(children);
}

FileSummary readOneFile(const QString &children)
{
    SummaryReader reader;
    const Summary summary = reader.readSummary(document(inFile(children)));
    if (summary.files.size() != 1)
        return FileSummary();
    return summary.files.first();
}

} // namespace

class tst_SummaryReader : public QObject
{
    Q_OBJECT

private slots:
    void completeDocument();
    void documentElementIsFound_data();
    void documentElementIsFound();
    void flags_data();
    void flags();
    void sizes_data();
    void sizes();
    void emptyElementGivesEmptyText();
    void attributeOnStartTagEndsTheStep();
    void entitiesAreKeptAsWritten();
    void decodeText_data();
    void decodeText();
    void decodeTextInvertsTheWritersEscape();
    void userAttributes_data();
    void userAttributes();
    void laterWorkflowstepWins();
    void filesKeepDocumentOrder();
    void unknownTagsAreReported_data();
    void unknownTagsAreReported();
    void everyTruncationIsReadWithoutHarm();
};

void tst_SummaryReader::completeDocument()
{
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<trxchange>\n"
        " <Workflowstep>\n"
        "  <TraxoRootFile>root.traxo</TraxoRootFile><Timestamp>2024-01-02 03:04:05</Timestamp>\n"
        "  <Title>Fit</Title><Description>d</Description><Comment>c</Comment><Command>fit -x</Command>\n"
        "  <Tool>fit</Tool><ToolPath>/usr/bin</ToolPath><Host>h1</Host><User>u1</User><Creator>traxoadd</Creator>\n"
        "  <PDFTitle>pt</PDFTitle><PDFAuthor>pa</PDFAuthor><PDFSubject>ps</PDFSubject>\n"
        "  <PDFKeywords>pk</PDFKeywords><PDFProducer>pp</PDFProducer><PDFCreator>pc</PDFCreator>\n"
        "  <UserAttributes><Attribute><Key>temp</Key><Value>300</Value><Unit>K</Unit></Attribute></UserAttributes>\n"
        "  <OutFile>\n"
        "   <Filename>out.dat</Filename><Filepath>/data</Filepath><Filetype>text/plain</Filetype>\n"
        "   <Description>fd</Description><Comment>fc</Comment><LastModified>yesterday</LastModified>\n"
        "   <GenerateMD5>1</GenerateMD5><Embedded>1</Embedded><UncompressedSize>120</UncompressedSize>\n"
        "   <UncompressedMD5>0123456789abcdef0123456789abcdef</UncompressedMD5>\n"
        "   <CompressedMethod>flate</CompressedMethod><CompressedSize>80</CompressedSize>\n"
        "   <CompressedMD5>fedcba9876543210fedcba9876543210</CompressedMD5>\n"
        "   <Preview>1</Preview><PreviewWS>0</PreviewWS><Thumbnail>1</Thumbnail><ThumbnailOnly>1</ThumbnailOnly>\n"
        "   <UserAttributes><Attribute><Key>rows</Key><Value>12</Value></Attribute></UserAttributes>\n"
        "  </OutFile>\n"
        " </Workflowstep>\n"
        " <MD5Signature>sig</MD5Signature>\n"
        "</trxchange>\n");

    Summary expected;
    expected.TraxoRootFile = "root.traxo";
    expected.Timestamp = "2024-01-02 03:04:05";
    expected.Title = "Fit";
    expected.Description = "d";
    expected.Comment = "c";
    expected.Command = "fit -x";
    expected.Tool = "fit";
    expected.ToolPath = "/usr/bin";
    expected.Host = "h1";
    expected.User = "u1";
    expected.Creator = "traxoadd";
    expected.PDFTitle = "pt";
    expected.PDFAuthor = "pa";
    expected.PDFSubject = "ps";
    expected.PDFKeywords = "pk";
    expected.PDFProducer = "pp";
    expected.PDFCreator = "pc";
    expected.userAttributeValues = { { "temp", "300" } };
    expected.userAttributeUnits = { { "temp", "K" } };
    expected.userAttributeKeys = { "temp" };
    FileSummary file;
    file.Filename = "out.dat";
    file.Filepath = "/data";
    file.Filetype = "text/plain";
    file.Description = "fd";
    file.Comment = "fc";
    file.LastModified = "yesterday";
    file.GenerateMD5 = true;
    file.Embedded = true;
    file.UncompressedSize = 120;
    file.UncompressedMD5 = "0123456789abcdef0123456789abcdef";
    file.CompressedMethod = "flate";
    file.CompressedSize = 80;
    file.CompressedMD5 = "fedcba9876543210fedcba9876543210";
    file.Preview = true;
    file.Thumbnail = true;
    file.ThumbnailOnly = true;
    file.userAttributeValues = { { "rows", "12" } };
    file.userAttributeKeys = { "rows" };
    file.FilePurpose = "OutFile";
    expected.files = { file };
    expected.md5Signature = "sig";
    expected.valid = true;

    SummaryReader reader;
    const Summary summary = reader.readSummary(xml);
    QCOMPARE(summary.files.size(), 1);
    QVERIFY(summary.files.first() == file);
    QVERIFY(summary == expected);
}

void tst_SummaryReader::documentElementIsFound_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("title");

    QTest::addRow("declaration and comment before the document element")
        << "<?xml version=\"1.0\"?>\n<!-- written by hand -->\n" + document("<Title>t</Title>") << true << "t";
    QTest::addRow("other top-level element first") << "<other>x</other>" + document("<Title>t</Title>") << true << "t";
    QTest::addRow("first document element is used")
        << document("<Title>first</Title>") + document("<Title>second</Title>") << true << "first";
    QTest::addRow("document element without step") << "<trxchange></trxchange>" << true << "";
    QTest::addRow("empty document element") << "<trxchange/>" << true << "";
    QTest::addRow("no document element") << "<other><Workflowstep><Title>t</Title></Workflowstep></other>" << false
                                         << "";
    QTest::addRow("empty text") << "" << false << "";
    QTest::addRow("document element not closed")
        << "<trxchange><Workflowstep><Title>t</Title></Workflowstep>" << false << "";
    QTest::addRow("step not closed keeps the document valid")
        << "<trxchange><Workflowstep><Title>t</Title></trxchange>" << true << "";
    QTest::addRow("not xml at all") << "%TRAXO binary \x01\x02" << false << "";
}

void tst_SummaryReader::documentElementIsFound()
{
    QFETCH(QString, xml);
    QFETCH(bool, valid);
    QFETCH(QString, title);
    SummaryReader reader;
    const Summary summary = reader.readSummary(xml);
    QCOMPARE(summary.valid, valid);
    QCOMPARE(summary.Title, title);
    if (!valid)
        QVERIFY(summary == Summary());
}

void tst_SummaryReader::flags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("value");

    QTest::addRow("one is true") << "1" << true;
    QTest::addRow("zero is false") << "0" << false;
    QTest::addRow("any other number is true") << "7" << true;
    QTest::addRow("negative number is true") << "-1" << true;
    QTest::addRow("the word true is not a number") << "true" << false;
    QTest::addRow("yes is not a number") << "yes" << false;
    QTest::addRow("number followed by text") << "1x" << false;
    QTest::addRow("empty text") << "" << false;
}

void tst_SummaryReader::flags()
{
    QFETCH(QString, text);
    QFETCH(bool, value);
    const char *const names[] = { "GenerateMD5", "Embedded", "Preview", "PreviewWS", "Thumbnail", "ThumbnailOnly" };
    for (const char *name : names) {
        const FileSummary file = readOneFile(QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name), text));
        const bool read = QLatin1String(name) == QLatin1String("GenerateMD5") ? file.GenerateMD5
            : QLatin1String(name) == QLatin1String("Embedded")                ? file.Embedded
            : QLatin1String(name) == QLatin1String("Preview")                 ? file.Preview
            : QLatin1String(name) == QLatin1String("PreviewWS")               ? file.PreviewWS
            : QLatin1String(name) == QLatin1String("Thumbnail")               ? file.Thumbnail
                                                                              : file.ThumbnailOnly;
        QVERIFY2(read == value, name);
        // A flag never sets another one.
        const int set
            = file.GenerateMD5 + file.Embedded + file.Preview + file.PreviewWS + file.Thumbnail + file.ThumbnailOnly;
        QCOMPARE(set, value ? 1 : 0);
    }
}

void tst_SummaryReader::sizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("size");

    QTest::addRow("decimal number") << "12" << qint64(12);
    QTest::addRow("zero") << "0" << qint64(0);
    QTest::addRow("empty text is unknown") << "" << qint64(-1);
    QTest::addRow("number followed by letters is unknown") << "12x" << qint64(-1);
    QTest::addRow("hexadecimal is unknown") << "0x10" << qint64(-1);
    QTest::addRow("decimal fraction is unknown") << "1.5" << qint64(-1);
    QTest::addRow("past 2^32") << "4294967296" << qint64(4294967296);
    QTest::addRow("largest 64-bit size") << "9223372036854775807" << std::numeric_limits<qint64>::max();
    QTest::addRow("beyond the 64-bit range is unknown") << "9223372036854775808" << qint64(-1);
}

void tst_SummaryReader::sizes()
{
    QFETCH(QString, text);
    QFETCH(qint64, size);
    const FileSummary file
        = readOneFile(QStringLiteral("<UncompressedSize>%1</UncompressedSize><CompressedSize>%1</CompressedSize>"
                                     "<Filename>f</Filename>")
                          .arg(text));
    QCOMPARE(file.Filename, QStringLiteral("f"));
    QCOMPARE(file.UncompressedSize, size);
    QCOMPARE(file.CompressedSize, size);
}

void tst_SummaryReader::emptyElementGivesEmptyText()
{
    SummaryReader reader;
    const Summary summary
        = reader.readSummary(document("<Comment>old</Comment><Comment/><Title>t</Title>" + inFile("<Comment/>")));
    QVERIFY(summary.Comment.isEmpty());
    QCOMPARE(summary.Title, QStringLiteral("t"));
    QCOMPARE(summary.files.size(), 1);
    QVERIFY(summary.files.first().Comment.isEmpty());
}

void tst_SummaryReader::attributeOnStartTagEndsTheStep()
{
    SummaryReader reader;
    const Summary summary = reader.readSummary(
        document("<Tool>t1</Tool><Title lang=\"en\">x</Title><Host>h</Host>", "<MD5Signature>s</MD5Signature>"));
    QCOMPARE(summary.Tool, QStringLiteral("t1"));
    QVERIFY(summary.Title.isEmpty());
    QVERIFY(summary.Host.isEmpty());
    // Only the step's level ends; the document around it is read on.
    QVERIFY(summary.valid);
    QCOMPARE(summary.md5Signature, QStringLiteral("s"));
}

void tst_SummaryReader::entitiesAreKeptAsWritten()
{
    SummaryReader reader;
    const Summary summary = reader.readSummary(document(
        "<Title>a &amp; b &lt;c&gt;</Title><UserAttributes><Attribute><Key>k</Key><Value>R&amp;D &#x263A;</Value>"
        "</Attribute></UserAttributes>"));
    QCOMPARE(summary.Title, QStringLiteral("a &amp; b &lt;c&gt;"));
    QCOMPARE(summary.userAttributeValues.value("k"), QStringLiteral("R&amp;D &#x263A;"));
}

void tst_SummaryReader::decodeText_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("decoded");
    QTest::addRow("predefined entities") << "A &amp; &lt;b&gt; &quot;q&quot; &apos;"
                                         << "A & <b> \"q\" '";
    QTest::addRow("decimal and hex references, astral too")
        << "&#181;m &#x2192; &#X6E2C;&#x8A66; &#128512;" << QString::fromUtf8("µm → 測試 😀");
    QTest::addRow("decoded once: an escaped entity stays an entity") << "&amp;amp; &amp;lt;"
                                                                     << "&amp; &lt;";
    QTest::addRow("unknown names and bare ampersands are kept") << "R&D &nbsp; a&b; &;"
                                                                << "R&D &nbsp; a&b; &;";
    QTest::addRow("references that name no character are kept") << "&#0; &#xD800; &#x110000; &#12a; &#x; &# 1; &#-5;"
                                                                << "&#0; &#xD800; &#x110000; &#12a; &#x; &# 1; &#-5;";
    QTest::addRow("an unterminated reference at the end") << "cost &amp"
                                                          << "cost &amp";
}

void tst_SummaryReader::decodeText()
{
    QFETCH(QString, written);
    QFETCH(QString, decoded);
    QCOMPARE(SummaryReader::decodeText(written), decoded);
}

void tst_SummaryReader::decodeTextInvertsTheWritersEscape()
{
    const QString typed = QString::fromUtf8("A & <b>bold</b> \"q\" $5 Müller µm → 測試 &amp; \\ #\nline");
    QCOMPARE(SummaryReader::decodeText(SummaryWriter::escape(typed)), typed);
}

void tst_SummaryReader::userAttributes_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("units");

    QTest::addRow("attribute without unit is not in the units")
        << "<Attribute><Key>a</Key><Value>1</Value></Attribute>" << QStringList { "a" } << QStringList { "a=1" }
        << QStringList();
    QTest::addRow("empty unit is a unit") << "<Attribute><Key>a</Key><Value>1</Value><Unit></Unit></Attribute>"
                                          << QStringList { "a" } << QStringList { "a=1" } << QStringList { "a=" };
    QTest::addRow("empty-element unit is a unit")
        << "<Attribute><Key>a</Key><Value>1</Value><Unit/></Attribute>" << QStringList { "a" } << QStringList { "a=1" }
        << QStringList { "a=" };
    QTest::addRow("children in any order") << "<Attribute><Unit>m</Unit><Value>2</Value><Key>b</Key></Attribute>"
                                           << QStringList { "b" } << QStringList { "b=2" } << QStringList { "b=m" };
    QTest::addRow("repeated key listed twice, last value kept")
        << "<Attribute><Key>a</Key><Value>1</Value><Unit>s</Unit></Attribute>"
           "<Attribute><Key>b</Key><Value>2</Value></Attribute>"
           "<Attribute><Key>a</Key><Value>3</Value><Unit>ms</Unit></Attribute>"
        << QStringList { "a", "b", "a" } << QStringList { "a=3", "b=2" } << QStringList { "a=ms" };
    QTest::addRow("repeated key without unit the second time keeps the first unit")
        << "<Attribute><Key>a</Key><Value>1</Value><Unit>s</Unit></Attribute>"
           "<Attribute><Key>a</Key><Value>2</Value></Attribute>"
        << QStringList { "a", "a" } << QStringList { "a=2" } << QStringList { "a=s" };
    QTest::addRow("value kept raw with whitespace")
        << "<Attribute><Key>k</Key><Value> 1 2 </Value></Attribute>" << QStringList { "k" } << QStringList { "k= 1 2 " }
        << QStringList();
    QTest::addRow("unknown children skipped") << "<Note>x</Note><Attribute><Key>k</Key><Value>v</Value><Extra/>"
                                                 "</Attribute>"
                                              << QStringList { "k" } << QStringList { "k=v" } << QStringList();
    QTest::addRow("no attributes") << "" << QStringList() << QStringList() << QStringList();
}

void tst_SummaryReader::userAttributes()
{
    QFETCH(QString, xml);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, values);
    QFETCH(QStringList, units);

    const auto flatten = [](const QHash<QString, QString> &hash) {
        QStringList list;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            list << it.key() + QLatin1Char('=') + it.value();
        list.sort();
        return list;
    };

    SummaryReader reader;
    const SummaryReader::UserAttributes direct = reader.parseUserAttributes(xml);
    QCOMPARE(direct.keys, keys);
    QCOMPARE(flatten(direct.values), values);
    QCOMPARE(flatten(direct.units), units);

    // The same attributes on the step and on a file of it.
    const QString block = QStringLiteral("<UserAttributes>%1</UserAttributes>").arg(xml);
    const Summary summary = reader.readSummary(document(block + inFile(block)));
    QCOMPARE(summary.userAttributeKeys, keys);
    QCOMPARE(flatten(summary.userAttributeValues), values);
    QCOMPARE(flatten(summary.userAttributeUnits), units);
    QCOMPARE(summary.files.size(), 1);
    QCOMPARE(summary.files.first().userAttributeKeys, keys);
    QCOMPARE(flatten(summary.files.first().userAttributeValues), values);
    QCOMPARE(flatten(summary.files.first().userAttributeUnits), units);
}

void tst_SummaryReader::laterWorkflowstepWins()
{
    SummaryReader reader;
    const QString xml = QStringLiteral(
        "<trxchange><Workflowstep><Title>first</Title><Host>h</Host><InFile><Filename>a</Filename></InFile>"
        "</Workflowstep><MD5Signature>sig</MD5Signature><Workflowstep><Title>second</Title></Workflowstep>"
        "</trxchange>");
    const Summary summary = reader.readSummary(xml);
    QCOMPARE(summary.Title, QStringLiteral("second"));
    // The later step replaces the earlier one as a whole.
    QVERIFY(summary.Host.isEmpty());
    QVERIFY(summary.files.isEmpty());
    QCOMPARE(summary.md5Signature, QStringLiteral("sig"));
    QVERIFY(summary.valid);
}

void tst_SummaryReader::filesKeepDocumentOrder()
{
    SummaryReader reader;
    const Summary summary
        = reader.readSummary(document("<InFile><Filename>1</Filename></InFile><OutFile><Filename>2</Filename></OutFile>"
                                      "<Title>t</Title><InFile><Filename>3</Filename></InFile>"));
    QCOMPARE(summary.files.size(), 3);
    QStringList seen;
    for (const FileSummary &file : summary.files) {
        seen << file.Filename + QLatin1Char(':') + file.FilePurpose;
        QCOMPARE(file.TagID, -1);
    }
    QCOMPARE(seen, (QStringList { "1:InFile", "2:OutFile", "3:InFile" }));

    // Read directly, a file has no purpose yet.
    QCOMPARE(reader.parseFile("<Filename>x</Filename>").FilePurpose, QStringLiteral("Undefined"));
}

void tst_SummaryReader::unknownTagsAreReported_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("message");

    QTest::addRow("in the step") << document("<Colour>red</Colour>")
                                 << "unknown tag (parseWorkflowstep): \"Colour\" : \"red\"";
    QTest::addRow("in a file") << document(inFile("<Size>3</Size>")) << "unknown tag (ParseFile): \"Size\" : \"3\"";
    QTest::addRow("in user attributes") << document("<UserAttributes><Attr>x</Attr></UserAttributes>")
                                        << "unknown tag (parseUserAttributes): \"Attr\" : \"x\"";
    QTest::addRow("in an attribute") << document(
        "<UserAttributes><Attribute><Key>k</Key><Name>n</Name></Attribute></UserAttributes>")
                                     << "unknown tag (parseAttribute): \"Name\" : \"n\"";
}

void tst_SummaryReader::unknownTagsAreReported()
{
    QFETCH(QString, xml);
    QFETCH(QString, message);
    // A filter rather than rules, because QT_LOGGING_RULES from the test
    // environment would override rules set here.
    static QLoggingCategory::CategoryFilter previous = nullptr;
    previous = QLoggingCategory::installFilter([](QLoggingCategory *category) {
        if (previous)
            previous(category);
        if (qstrcmp(category->categoryName(), "traxo.summary") == 0)
            category->setEnabled(QtDebugMsg, true);
    });
    QTest::ignoreMessage(QtDebugMsg, message.toUtf8().constData());
    SummaryReader reader;
    const Summary summary = reader.readSummary(xml);
    QLoggingCategory::installFilter(previous);
    QVERIFY(summary.valid);
}

void tst_SummaryReader::everyTruncationIsReadWithoutHarm()
{
    // Cutting a step anywhere must neither crash nor invent data: every field
    // read is the complete document's, and a field is only read when all
    // fields before it were.
    const QString step = QStringLiteral(
        "<Title>T</Title><Host>H</Host>"
        "<UserAttributes><Attribute><Key>k</Key><Value>v</Value><Unit>u</Unit></Attribute></UserAttributes>"
        "<InFile><Filename>F</Filename><Embedded>1</Embedded><UncompressedSize>5</UncompressedSize></InFile>"
        "<User>U</User>");
    SummaryReader reader;
    const Workflowstep complete = reader.parseWorkflowstep(step);
    QCOMPARE(complete.User, QStringLiteral("U"));
    QCOMPARE(complete.files.size(), 1);
    int previousRank = 0;
    for (int length = 0; length <= step.size(); ++length) {
        const Workflowstep part = reader.parseWorkflowstep(step.left(length));
        const QByteArray where = QByteArray::number(length);
        const int rank = !part.User.isEmpty()   ? 5
            : !part.files.isEmpty()             ? 4
            : !part.userAttributeKeys.isEmpty() ? 3
            : !part.Host.isEmpty()              ? 2
            : !part.Title.isEmpty()             ? 1
                                                : 0;
        QVERIFY2(rank >= previousRank, where);
        previousRank = rank;
        QVERIFY2(part.Title == (rank >= 1 ? complete.Title : QString()), where);
        QVERIFY2(part.Host == (rank >= 2 ? complete.Host : QString()), where);
        if (rank >= 3) {
            QVERIFY2(part.userAttributeKeys == complete.userAttributeKeys, where);
            QVERIFY2(part.userAttributeUnits == complete.userAttributeUnits, where);
        }
        if (rank >= 4)
            QVERIFY2(part.files == complete.files, where);
    }
    QCOMPARE(previousRank, 5);

    // A document cut anywhere before its end tag holds no document element.
    const QString xml = QStringLiteral("<?xml version=\"1.0\"?><trxchange><Workflowstep>%1</Workflowstep>"
                                       "</trxchange>")
                            .arg(step);
    for (int length = 0; length < xml.size(); ++length)
        QVERIFY(reader.readSummary(xml.left(length)) == Summary());
    QVERIFY(reader.readSummary(xml).valid);
}

QTEST_GUILESS_MAIN(tst_SummaryReader)
#include "tst_summaryreader.moc"
