#include "shared/parsetemplate.h"

#include "container/traxoparser.h"
#include "shared/paths.h"
#include "summary/summarycreator.h"
#include "testcommon.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

using traxo::FileSummary;
using traxo::Summary;
using Variables = ParseTemplate::Variables;

namespace {

class LogReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList messages;
public slots:
    void log(const QString &message) { messages << message; }
};

// Parses text and renders its main block against the given variable table.
QString renderMain(const QString &text, const Variables &variables, const Variables &indexVars = Variables())
{
    ParseTemplate engine;
    if (!engine.parseTemplate(text))
        return QStringLiteral("<parse failed>");
    engine.setVariables(variables);
    return engine.generateOneBlock(ParseTemplate::m_szMAINBLOCKNAME, indexVars);
}

FileSummary makeFile(const QString &name, int tagId, const QString &type = QString())
{
    FileSummary file;
    file.Filename = name;
    file.TagID = tagId;
    file.Filetype = type;
    return file;
}

// Two steps: one with two files, step attributes and file attributes, one
// with previews and thumbnails.
QList<Summary> makeHistory()
{
    Summary first;
    first.TagID = 1;
    first.Title = QStringLiteral("Reconstruct");
    first.Tool = QStringLiteral("recon");
    first.userAttributeKeys = QStringList { "dose", "frames" };
    first.userAttributeValues = { { "dose", "370" }, { "frames", "24" } };
    first.userAttributeUnits = { { "dose", "MBq" } };
    FileSummary raw = makeFile("raw.v", 7, "ECAT7");
    raw.FilePurpose = QStringLiteral("InFile");
    raw.Embedded = true;
    raw.UncompressedSize = 1024;
    raw.userAttributeKeys = QStringList { "scanner" };
    raw.userAttributeValues = { { "scanner", "HR+" } };
    FileSummary image = makeFile("image.v", 8, "ECAT7");
    image.FilePurpose = QStringLiteral("OutFile");
    image.userAttributeKeys = QStringList { "voxel", "unit" };
    image.userAttributeValues = { { "voxel", "2" }, { "unit", "Bq/ml" } };
    image.userAttributeUnits = { { "voxel", "mm" } };
    first.files = { raw, image };

    Summary second;
    second.TagID = 0;
    second.Title = QStringLiteral("Report");
    FileSummary report = makeFile("report.pdf", 3, "application/pdf");
    FileSummary page1 = makeFile("page1.png", 4, "image/png");
    page1.Preview = true;
    FileSummary page2 = makeFile("page2.png", 5, "image/png");
    page2.Preview = true;
    FileSummary stepPreview = makeFile("overview.png", 6, "image/png");
    stepPreview.PreviewWS = true;
    FileSummary thumbOnly = makeFile("thumb.png", 9, "image/png");
    thumbOnly.ThumbnailOnly = true;
    FileSummary notes = makeFile("notes.txt", -1, "TXT");
    FileSummary selfThumb = makeFile("photo.png", 11, "image/png");
    selfThumb.Thumbnail = true;
    second.files = { report, page1, page2, stepPreview, thumbOnly, notes, selfThumb };
    return { first, second };
}

QString templatesDir()
{
    return getTemplatesDir();
}

// With TRAXO_SAVE_RENDERINGS set to a folder, renderings are kept there for a
// look in a browser.
void saveRendering(const QString &name, const QString &html)
{
    const QString folder = qEnvironmentVariable("TRAXO_SAVE_RENDERINGS");
    if (!folder.isEmpty())
        testcommon::writeFile(QDir(folder).filePath(name), html.toUtf8());
}

// What every rendering of a shipped template must hold: no engine error or
// unresolved variable, and the anchor the outline jumps to for each section
// and file row.
void verifyRendering(const QString &html, const QList<Summary> &history)
{
    QVERIFY2(!html.contains("*** ERROR"), qPrintable(html));
    QVERIFY2(!html.contains("<i>$"), qPrintable(html));
    QVERIFY2(!html.contains("NOT FOUND"), qPrintable(html));
    for (const Summary &summary : history) {
        QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(makeSectionAnchor(summary.TagID))),
            qPrintable(makeSectionAnchor(summary.TagID)));
        for (int j = 0; j < summary.files.size(); ++j)
            QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(makeFileAnchor(summary.TagID, j))),
                qPrintable(makeFileAnchor(summary.TagID, j)));
    }
}

} // namespace

class tst_ParseTemplate : public QObject
{
    Q_OBJECT

private slots:
    void contentNodes_data();
    void contentNodes();
    void nodeLevels_data();
    void nodeLevels();
    void conditionals_data();
    void conditionals();
    void argumentErrors_data();
    void argumentErrors();
    void missingBlocks();
    void blocksThatShowThemselves_data();
    void blocksThatShowThemselves();
    void expandKeyword_data();
    void expandKeyword();
    void expandContents_data();
    void expandContents();
    void evenOdd_data();
    void evenOdd();
    void escaping_data();
    void escaping();
    void recordedTextsAreDecodedOnce_data();
    void recordedTextsAreDecodedOnce();
    void parserFailures_data();
    void parserFailures();
    void namedBlocks();
    void showBlocksOverFilesAndAttributes();
    void previewAndThumbnailVariables();
    void sectionAndDocumentVariables();
    void fileVariables_data();
    void fileVariables();
    void dumpAll();
    void goldenRendering();
    void logMessages();
    void anchors();
    void shippedTemplates_data();
    void shippedTemplates();
    void demoContainer_data();
    void demoContainer();
};

void tst_ParseTemplate::contentNodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("contents");

    QTest::addRow("whitespace between two directives gives an empty node")
        << "a<!-- #x --> \n\t <!-- #y -->b" << QStringList { "a\n", "", "b\n" };
    QTest::addRow("content is trimmed and ends with one line feed")
        << "  <p>text</p>  \n\n<!-- #x -->" << QStringList { "<p>text</p>\n", "" };
    QTest::addRow("inner line breaks are kept") << "a\n\nb" << QStringList { "a\n\nb\n" };
    QTest::addRow("empty template is one empty node") << "" << QStringList { "" };
    QTest::addRow("template ending with a directive is accepted") << "x<!-- #endif -->" << QStringList { "x\n", "" };
}

void tst_ParseTemplate::contentNodes()
{
    QFETCH(QString, text);
    QFETCH(QStringList, contents);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(text));
    const Block *main = engine.block(ParseTemplate::m_szMAINBLOCKNAME);
    QVERIFY(main);
    QStringList found;
    for (const HNode &node : main->nodes) {
        if (node.isContent())
            found << node.content;
    }
    QCOMPARE(found, contents);
}

void tst_ParseTemplate::nodeLevels_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("levels");

    // A condition sits at the level outside it; its branches, its else and
    // its endif one deeper.
    QTest::addRow("one condition with else")
        << "a<!-- #ifdef $A -->b<!-- #else -->c<!-- #endif -->d" << QList<int> { 0, 0, 1, 1, 1, 1, 0 };
    QTest::addRow("nested conditions") << "<!-- #ifdef $A --><!-- #ifndef $B -->x<!-- #endif --><!-- #endif -->"
                                       << QList<int> { 0, 0, 1, 1, 2, 2, 1, 1, 0 };
    QTest::addRow("a named block keeps its own levels")
        << "<!-- #ifdef $A --><!-- #begin(b) -->x<!-- #end -->y<!-- #endif -->" << QList<int> { 0, 0, 1, 1, 1, 0 };
}

void tst_ParseTemplate::nodeLevels()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, levels);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(text));
    QList<int> found;
    for (const HNode &node : engine.block(ParseTemplate::m_szMAINBLOCKNAME)->nodes)
        found << node.level;
    QCOMPARE(found, levels);
    // Every node knows where it came from.
    for (const HNode &node : engine.block(ParseTemplate::m_szMAINBLOCKNAME)->nodes) {
        if (!node.isContent())
            QCOMPARE(engine.templateText().mid(node.start, node.end - node.start),
                ParseTemplate::m_szMarker + node.directive + ParseTemplate::m_szMEND);
    }
}

void tst_ParseTemplate::conditionals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Variables>("variables");
    QTest::addColumn<QString>("expected");

    const QString ifElse = QStringLiteral("<!-- #ifdef $A -->x<!-- #else -->y<!-- #endif -->z");
    QTest::addRow("ifdef with a value takes the first branch") << ifElse << Variables { { "$A", "1" } } << "x\nz\n";
    QTest::addRow("ifdef with an empty value takes the else branch")
        << ifElse << Variables { { "$A", "" } } << "y\nz\n";
    QTest::addRow("ifdef on an undefined variable takes the else branch") << ifElse << Variables() << "y\nz\n";
    QTest::addRow("ifndef on an undefined variable renders")
        << "<!-- #ifndef $A -->x<!-- #else -->y<!-- #endif -->" << Variables() << "x\n";
    QTest::addRow("ifndef on a value takes the else branch")
        << "<!-- #ifndef $A -->x<!-- #else -->y<!-- #endif -->" << Variables { { "$A", "v" } } << "y\n";
    QTest::addRow("ifequal with the same text") << "<!-- #ifequal $P InFile -->in<!-- #else -->out<!-- #endif -->"
                                                << Variables { { "$P", "InFile" } } << "in\n";
    QTest::addRow("ifequal with another text") << "<!-- #ifequal $P InFile -->in<!-- #else -->out<!-- #endif -->"
                                               << Variables { { "$P", "OutFile" } } << "out\n";
    QTest::addRow("ifequal compares case-sensitively")
        << "<!-- #ifequal $P InFile -->in<!-- #endif -->" << Variables { { "$P", "infile" } } << "";
    QTest::addRow("runs of spaces separate arguments like one space")
        << "<!-- #ifequal   $P    yes -->in<!-- #endif -->" << Variables { { "$P", "yes" } } << "in\n";

    const QString nested = QStringLiteral("<!-- #ifdef $A --><!-- #ifdef $B -->x<!-- #else -->y<!-- #endif -->"
                                          "<!-- #else -->w<!-- #endif -->");
    QTest::addRow("else inside a failed outer branch renders neither branch")
        << nested << Variables { { "$B", "1" } } << "w\n";
    QTest::addRow("else inside a failed outer branch, inner condition false too") << nested << Variables() << "w\n";
    QTest::addRow("inner if taken inside taken outer") << nested << Variables { { "$A", "1" }, { "$B", "1" } } << "x\n";
    QTest::addRow("inner else taken inside taken outer") << nested << Variables { { "$A", "1" } } << "y\n";
    QTest::addRow("three levels deep, innermost taken")
        << "<!-- #ifdef $A -->a<!-- #ifdef $B -->b<!-- #ifdef $C -->c<!-- #endif -->B<!-- #endif -->A<!-- #endif "
           "-->."
        << Variables { { "$A", "1" }, { "$B", "1" }, { "$C", "1" } } << "a\nb\nc\nB\nA\n.\n";
    QTest::addRow("three levels deep, middle failed")
        << "<!-- #ifdef $A -->a<!-- #ifdef $B -->b<!-- #ifdef $C -->c<!-- #endif -->B<!-- #else -->nb<!-- #endif "
           "-->A<!-- #endif -->."
        << Variables { { "$A", "1" }, { "$C", "1" } } << "a\nnb\nA\n.\n";
    QTest::addRow("conditional on an indexed variable")
        << "<!-- #ifdef $FILENAME[*] -->has<!-- #endif -->" << Variables { { "$FILENAME[2]", "f" } } << "";
}

void tst_ParseTemplate::conditionals()
{
    QFETCH(QString, text);
    QFETCH(Variables, variables);
    QFETCH(QString, expected);
    QCOMPARE(renderMain(text, variables), expected);
}

void tst_ParseTemplate::argumentErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString ifdefError = QStringLiteral("*** ERROR: [ifdef] needs one parameter: $keyword\n");
    QTest::addRow("ifdef without an argument replaces the block's output")
        << "before<!-- #ifdef -->x<!-- #endif -->after" << ifdefError;
    QTest::addRow("ifdef with two arguments") << "<!-- #ifdef $A $B -->x<!-- #endif -->" << ifdefError;
    QTest::addRow("ifndef without an argument") << "a<!-- #ifndef -->x<!-- #endif -->"
                                                << "*** ERROR: [ifndef] needs one parameter: $keyword\n";
    QTest::addRow("ifequal with one argument") << "a<!-- #ifequal $A -->x<!-- #endif -->"
                                               << "*** ERROR: [ifequal] needs parameters: $keyword test";
    QTest::addRow("ifequal with three arguments") << "a<!-- #ifequal $A b c -->x<!-- #endif -->"
                                                  << "*** ERROR: [ifequal] needs parameters: $keyword test";
    QTest::addRow("a bad directive in a branch not taken is never checked")
        << "a<!-- #ifdef $NONE --><!-- #ifdef --><!-- #endif --><!-- #endif -->b"
        << "a\nb\n";
}

void tst_ParseTemplate::argumentErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(renderMain(text, Variables { { "$A", "1" } }), expected);
}

void tst_ParseTemplate::missingBlocks()
{
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate("<!-- #begin(__top__) -->top<!-- #end -->main"));
    QCOMPARE(
        engine.generateOneBlock("nowhere", Variables()), QStringLiteral("*** ERROR: Block \"nowhere\" not found."));

    // The bottom block is missing: its error stands where it would be.
    const QString html = engine.generateHtml("none.traxo", "t.htm", QList<Summary> { Summary() }, false);
    QCOMPARE(html, QStringLiteral("top\nmain\n*** ERROR: Block \"__bottom__\" not found."));

    // An error inside a show-block replaces only that nested rendering.
    QVERIFY(engine.parseTemplate("<!-- #begin(__top__) --><!-- #end --><!-- #begin(__bottom__) --><!-- #end -->"
                                 "[<!-- #showblock(__files__) -->]"
                                 "<!-- #begin(__files__) --><!-- #ifequal $X -->f<!-- #endif --><!-- #end -->"));
    Summary step;
    step.files = { makeFile("a", 1) };
    QCOMPARE(engine.generateHtml("none.traxo", "t.htm", { step }, false),
        QStringLiteral("[\n*** ERROR: [ifequal] needs parameters: $keyword test]\n"));
}

void tst_ParseTemplate::blocksThatShowThemselves_data()
{
    QTest::addColumn<QString>("blocks");
    QTest::addColumn<QString>("expected");
    QTest::addRow("the files block shows itself")
        << "<!-- #begin(__files__) -->f<!-- #showblock(__files__) --><!-- #end -->"
        << "[\nf\n*** ERROR: Block \"__files__\" shows itself.]\n";
    QTest::addRow("files and file attributes show each other")
        << "<!-- #begin(__files__) -->f<!-- #showblock(__userfileattributes__) --><!-- #end -->"
           "<!-- #begin(__userfileattributes__) -->u<!-- #showblock(__files__) --><!-- #end -->"
        << "[\nf\nu\n*** ERROR: Block \"__files__\" shows itself.]\n";
    // A begin without its end swallows the show directive that follows it.
    QTest::addRow("an unclosed files block") << "<!-- #begin(__files__) -->f<!-- #showblock(__files__) -->"
                                             << "[\nf\n*** ERROR: Block \"__files__\" shows itself.]\n";
}

void tst_ParseTemplate::blocksThatShowThemselves()
{
    QFETCH(QString, blocks);
    QFETCH(QString, expected);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate("<!-- #begin(__top__) --><!-- #end --><!-- #begin(__bottom__) --><!-- #end -->"
                                 "[<!-- #showblock(__files__) -->]"
        + blocks));
    Summary step;
    step.files = { makeFile("a", 1) };
    step.files[0].userAttributeKeys = QStringList { "k" };
    step.files[0].userAttributeValues.insert("k", "v");
    QCOMPARE(engine.generateHtml("none.traxo", "t.htm", { step }, false), expected);
}

void tst_ParseTemplate::expandKeyword_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<Variables>("indexVars");
    QTest::addColumn<QString>("expected");

    const Variables both { { "[*]", "3" }, { "[**]", "0" } };
    QTest::addRow("plain name is unchanged") << "$TITLE" << both << "$TITLE";
    QTest::addRow("file index") << "$FILENAME[*]" << both << "$FILENAME[3]";
    QTest::addRow("file and attribute index") << "$USRKEY[*][**]" << both << "$USRKEY[3][0]";
    QTest::addRow("attribute index alone") << "$USRKEY[**]" << both << "$USRKEY[0]";
    QTest::addRow("index outside any show-block") << "$USRKEY[*]" << Variables() << "$USRKEY[[*] NOT FOUND]";
    QTest::addRow("three stars have no value") << "$X[***]" << both << "$X[[***] NOT FOUND]";
    QTest::addRow("numbers stay numbers") << "$FILENAME[2]" << both << "$FILENAME[2]";
}

void tst_ParseTemplate::expandKeyword()
{
    QFETCH(QString, keyword);
    QFETCH(Variables, indexVars);
    QFETCH(QString, expected);
    ParseTemplate engine;
    QCOMPARE(engine.expandKeyword(keyword, indexVars), expected);
}

void tst_ParseTemplate::expandContents_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Variables>("variables");
    QTest::addColumn<Variables>("indexVars");
    QTest::addColumn<QString>("expected");

    const Variables vars { { "$TITLE", "Scan" }, { "$A", "$B" }, { "$B", "b" }, { "$FILENAME[1]", "x.v" } };
    QTest::addRow("known variable") << "<h1>$TITLE</h1>" << vars << Variables() << "<h1>Scan</h1>";
    QTest::addRow("letters after a name make one unknown variable")
        << "$TITLEx" << vars << Variables() << "<i>$TITLEx</i>";
    QTest::addRow("unknown variable renders as its name in italics")
        << "a $NOPE b" << vars << Variables() << "a <i>$NOPE</i> b";
    QTest::addRow("replacements are not scanned again") << "$A" << vars << Variables() << "$B";
    QTest::addRow("a closing bracket belongs to the name") << "[$TITLE]" << vars << Variables() << "[<i>$TITLE]</i>";
    QTest::addRow("two variables side by side") << "$B$B" << vars << Variables() << "bb";
    QTest::addRow("indexed variable inside a show-block")
        << "$FILENAME[*]" << vars << Variables { { "[*]", "1" } } << "x.v";
    QTest::addRow("user key outside a show-block")
        << "$USRKEY[*]" << vars << Variables() << "<i>$USRKEY[[*] NOT FOUND]</i>";
    QTest::addRow("a lone dollar sign stays") << "costs 5 $ or $" << vars << Variables() << "costs 5 $ or $";
    QTest::addRow("even/odd outside its switch is unknown") << "$EVENODD" << vars << Variables() << "<i>$EVENODD</i>";
}

void tst_ParseTemplate::expandContents()
{
    QFETCH(QString, text);
    QFETCH(Variables, variables);
    QFETCH(Variables, indexVars);
    QFETCH(QString, expected);
    ParseTemplate engine;
    engine.setVariables(variables);
    QCOMPARE(engine.expandContents(text, indexVars), expected);
}

void tst_ParseTemplate::evenOdd_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("three in a row give odd, even, odd") << "<!-- #evenodd begin -->$EVENODD $EVENODD $EVENODD"
                                                        << "odd even odd\n";
    QTest::addRow("begin again restarts with odd")
        << "<!-- #evenodd begin -->$EVENODD $EVENODD<!-- #evenodd begin -->$EVENODD"
        << "odd even\nodd\n";
    QTest::addRow("after the end the name is unknown again")
        << "<!-- #evenodd begin -->$EVENODD<!-- #evenodd end -->$EVENODD"
        << "odd\n<i>$EVENODD</i>\n";
    QTest::addRow("rows of a show-block alternate")
        << "<!-- #evenodd begin --><!-- #showblock(__files__) --><!-- #begin(__files__) -->$EVENODD<!-- #end -->"
        << "odd\neven\nodd\n";
}

void tst_ParseTemplate::evenOdd()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(QStringLiteral("<!-- #begin(__top__) --><!-- #end -->"
                                                "<!-- #begin(__bottom__) --><!-- #end -->")
        + text));
    Summary step;
    step.files = { makeFile("a", 1), makeFile("b", 2), makeFile("c", 3) };
    QCOMPARE(engine.generateHtml("none.traxo", "t.htm", { step }, false), expected);
}

void tst_ParseTemplate::escaping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("values are inserted as written by default") << "$TITLE"
                                                               << "<b>x</b> & \"y\"\nz\n";
    QTest::addRow("escape switch makes values safe") << "<!-- #escape begin --><p>$TITLE</p>"
                                                     << "<p>&lt;b&gt;x&lt;/b&gt; &amp; &quot;y&quot;<br />z</p>\n";
    QTest::addRow("escape end restores raw values") << "<!-- #escape begin --><!-- #escape end -->$TITLE"
                                                    << "<b>x</b> & \"y\"\nz\n";
    QTest::addRow("conditions compare the unescaped value")
        << "<!-- #escape begin --><!-- #ifequal $COMMENT a&b -->same<!-- #endif -->"
        << "same\n";
    QTest::addRow("a nested block inherits the switch") << "<!-- #escape begin --><!-- #showblock(__files__) -->"
                                                           "<!-- #begin(__files__) -->$FILENAME[*]<!-- #end -->"
                                                        << "a&lt;1\n";
    QTest::addRow("a nested block's own switch ends with it")
        << "<!-- #showblock(__files__) -->$TITLE"
           "<!-- #begin(__files__) --><!-- #escape begin -->$FILENAME[*]<!-- #end -->"
        << "a&lt;1\n<b>x</b> & \"y\"\nz\n";
    QTest::addRow("the next section starts unescaped") << "$FILENAME[0]<!-- #escape begin -->"
                                                       << "a<1\n";
}

void tst_ParseTemplate::escaping()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(QStringLiteral("<!-- #begin(__top__) --><!-- #end -->"
                                                "<!-- #begin(__bottom__) --><!-- #end -->")
        + text));
    Summary step;
    step.Title = QStringLiteral("<b>x</b> & \"y\"\nz");
    step.Comment = QStringLiteral("a&b");
    step.files = { makeFile("a<1", 1) };
    const QString once = engine.generateHtml("none.traxo", "t.htm", { step }, false);
    QCOMPARE(once, expected);
    if (QByteArray(QTest::currentDataTag()) == "the next section starts unescaped")
        QCOMPARE(engine.generateHtml("none.traxo", "t.htm", { step, step }, false), expected + expected);
}

void tst_ParseTemplate::recordedTextsAreDecodedOnce_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored"); // the title as a summary keeps it
    QTest::addColumn<QString>("expected");

    // "A & <b>bold</b> \"q\" $5 Müller µm → 測試" as written into ws_summary.xml
    const QString title = QStringLiteral("A &amp; &lt;b&gt;bold&lt;/b&gt; &quot;q&quot; $5 Müller µm → 測試");
    QTest::addRow("escaped once for the page") << "<!-- #escape begin -->$TITLE" << title
                                               << "A &amp; &lt;b&gt;bold&lt;/b&gt; &quot;q&quot; $5 Müller µm → 測試\n";
    QTest::addRow("the recorded text without the switch")
        << "$TITLE" << title << "A & <b>bold</b> \"q\" $5 Müller µm → 測試\n";
    QTest::addRow("numeric references too") << "$TITLE"
                                            << "caf&#233; &#x6E2C;"
                                            << "café 測\n";
    QTest::addRow("an unknown entity stays as written, then is escaped") << "<!-- #escape begin -->$TITLE"
                                                                         << "a&nbsp;b"
                                                                         << "a&amp;nbsp;b\n";
    QTest::addRow("conditions compare the recorded text") << "<!-- #ifequal $TITLE R&D -->same<!-- #endif -->"
                                                          << "R&amp;D"
                                                          << "same\n";
}

void tst_ParseTemplate::recordedTextsAreDecodedOnce()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(QStringLiteral("<!-- #begin(__top__) --><!-- #end -->"
                                                "<!-- #begin(__bottom__) --><!-- #end -->")
        + text));
    Summary step;
    step.Title = stored;
    QCOMPARE(engine.generateHtml("none.traxo", "t.htm", { step }, false), expected);
}

void tst_ParseTemplate::parserFailures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("debugLine");

    QTest::addRow("directive without its end") << "a<!-- #ifdef $A"
                                               << "[addMarker] \" -->\" not found after pos: 1";
    QTest::addRow("directive end without the leading space") << "a<!-- #endif-->"
                                                             << "[addMarker] \" -->\" not found after pos: 1";
    QTest::addRow("begin without an opening bracket") << "<!-- #begin -->x<!-- #end -->"
                                                      << "[addNamedBlock] szBracketOpen not found after pos: 0";
    QTest::addRow("begin borrows no bracket from a later directive")
        << "<!-- #begin -->x<!-- #showblock(__files__) -->"
        << "[addNamedBlock] szBracketOpen not found after pos: 0";
    QTest::addRow("begin without a closing bracket") << "ab<!-- #begin(__top__ -->x<!-- #end -->"
                                                     << "[addNamedBlock] szBracketClose not found after pos: 2";
    QTest::addRow("begin without its end") << "<!-- #begin(__top__)"
                                           << "[addNamedBlock] \" -->\" not found in szTemplate";
    QTest::addRow("end without an open block")
        << "x<!-- #end -->"
        << "[parser] iblock < 0: syntax error with named Groups around markerpos: 1";
    QTest::addRow("one end too many") << "<!-- #begin(a) --><!-- #end --><!-- #end -->"
                                      << "[parser] iblock < 0: syntax error with named Groups around markerpos: 31";
}

void tst_ParseTemplate::parserFailures()
{
    QFETCH(QString, text);
    QFETCH(QString, debugLine);
    // A filter rather than rules: QT_LOGGING_RULES of the test environment
    // would override rules set here.
    static QLoggingCategory::CategoryFilter previous = nullptr;
    previous = QLoggingCategory::installFilter([](QLoggingCategory *category) {
        if (previous)
            previous(category);
        if (qstrcmp(category->categoryName(), "traxo.template") == 0)
            category->setEnabled(QtDebugMsg, true);
    });
    QTest::ignoreMessage(QtDebugMsg, qPrintable(debugLine));
    ParseTemplate engine;
    const bool parsed = engine.parseTemplate(text);
    QLoggingCategory::installFilter(previous);
    QVERIFY(!parsed);
    QVERIFY(!engine.hasBlock(ParseTemplate::m_szMAINBLOCKNAME));
    QCOMPARE(engine.generateHtml("c.traxo", "t.htm", { Summary() }, false),
        QStringLiteral("*** ERROR: Block \"__top__\" not found.*** ERROR: Block \"__main__\" not found."
                       "*** ERROR: Block \"__bottom__\" not found."));
}

void tst_ParseTemplate::namedBlocks()
{
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate("m1<!-- #begin(outer) -->o1<!-- #begin(inner) -->i<!-- #end -->o2<!-- #end -->m2"
                                 "<!-- #begin(second) -->s<!-- #end -->"));
    QCOMPARE(engine.generateOneBlock("__main__", Variables()), QStringLiteral("m1\nm2\n"));
    QCOMPARE(engine.generateOneBlock("outer", Variables()), QStringLiteral("o1\no2\n"));
    QCOMPARE(engine.generateOneBlock("inner", Variables()), QStringLiteral("i\n"));
    QCOMPARE(engine.generateOneBlock("second", Variables()), QStringLiteral("s\n"));
    const Block *inner = engine.block("inner");
    QVERIFY(inner);
    const HNode &begin = inner->nodes.front();
    QCOMPARE(begin.directive, QStringLiteral("begin(inner)"));
    QCOMPARE(
        engine.templateText().mid(begin.start, begin.beginEnd - begin.start), QStringLiteral("<!-- #begin(inner) -->"));

    // Reparsing forgets the blocks of the former template.
    QVERIFY(engine.parseTemplate("only main"));
    QVERIFY(!engine.hasBlock("outer"));
    QCOMPARE(engine.generateOneBlock("__main__", Variables()), QStringLiteral("only main\n"));
}

void tst_ParseTemplate::showBlocksOverFilesAndAttributes()
{
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(
        "<!-- #begin(__top__) --><!-- #end --><!-- #begin(__bottom__) --><!-- #end -->"
        "S$SECTIONNUM:<!-- #showblock(__userattributes__) --><!-- #showblock(__files__) -->;"
        "<!-- #begin(__userattributes__) -->$USRKEY[**]=$USRVALUE[**]$USRUNIT[**]<!-- #end -->"
        "<!-- #begin(__files__) -->F$POSINSECTION[*]($FILENAME[*])"
        "<!-- #showblock(__userfileattributes__) --><!-- #end -->"
        "<!-- #begin(__userfileattributes__) -->[*]=$USRKEY[*][**]:$USRVALUE[*][**]<!-- #end -->"));
    const QString html = engine.generateHtml("none.traxo", "t.htm", makeHistory(), false);
    const QString expected = QStringLiteral(
        "S0:\n"
        "dose=370MBq\nframes=24\n"
        "F0(raw.v)\n[*]=scanner:HR+\n"
        "F1(image.v)\n[*]=voxel:2\n[*]=unit:Bq/ml\n"
        ";\n"
        "S1:\n"
        "F0(report.pdf)\nF1(page1.png)\nF2(page2.png)\nF3(overview.png)\nF4(thumb.png)\nF5(notes.txt)\n"
        "F6(photo.png)\n;\n");
    QCOMPARE(html, expected);
}

void tst_ParseTemplate::previewAndThumbnailVariables()
{
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate("<!-- #begin(__top__) --><!-- #end --><!-- #begin(__bottom__) --><!-- #end -->"
                                 "<!-- #showblock(__previewsWS__) --><!-- #showblock(__files__) -->"
                                 "<!-- #begin(__previewsWS__) -->ws$WSPREVIEWID[**]<!-- #end -->"
                                 "<!-- #begin(__files__) --><!-- #ifdef $HASPREVIEWS[*] -->$FILENAME[*]:"
                                 "<!-- #showblock(__previewsFile__) --><!-- #endif --><!-- #end -->"
                                 "<!-- #begin(__previewsFile__) -->p$PREVIEWID[*][**]<!-- #end -->"));
    const QList<Summary> history = makeHistory();
    const QString html = engine.generateHtml("none.traxo", "t.htm", { history.at(1) }, false);
    QCOMPARE(html, QStringLiteral("ws6\nreport.pdf:\np4\np5\n"));

    const Variables &vars = engine.variables();
    const Variables expected {
        { "$PREVIEWID[0][0]", "4" },
        { "$PREVIEWID[0][1]", "5" },
        { "$HASPREVIEWS[0]", "TRUE" },
        { "$WSPREVIEWID[0]", "6" },
        { "$HASWSPREVIEWS", "TRUE" },
        { "$THUMBNAILONLY[4]", "TRUE" },
        { "$THUMBNAILID[5]", "9" }, // a thumbnail-only file stands for the file after it
        { "$THUMBNAILID[6]", "11" },
    };
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(vars.value(it.key(), "<absent>"), it.value());
    QVERIFY(!vars.contains("$HASPREVIEWS[1]"));
    QVERIFY(!vars.contains("$THUMBNAILID[4]"));
    QVERIFY(!vars.contains("$PREVIEWID[3][0]"));

    // A preview of a file that is not embedded has no tag to show.
    Summary step;
    FileSummary orphan = makeFile("p.png", -1);
    orphan.Preview = true;
    step.files = { makeFile("data.v", 2), orphan };
    engine.generateHtml("none.traxo", "t.htm", { step }, false);
    QCOMPARE(engine.variables().value("$PREVIEWID[0][0]", "<absent>"), QString());

    // A preview before any ordinary file belongs to nobody and is left out.
    step.files = { orphan, makeFile("data.v", 2) };
    QCOMPARE(engine.generateHtml("none.traxo", "t.htm", { step }, false), QString());
    const QStringList keys = engine.variables().keys();
    QVERIFY2(keys.filter("PREVIEW").isEmpty(), qPrintable(keys.join(' ')));
}

void tst_ParseTemplate::sectionAndDocumentVariables()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString container = dir.filePath("history.traxo");
    QVERIFY(testcommon::writeFile(container, QByteArray(3 * 1024 * 1024 / 2, 'x')));

    ParseTemplate engine;
    QVERIFY(engine.parseTemplate("<!-- #begin(__top__) -->$TRAXOFILE $TRAXOFILESIZEINBYTES $TRAXOFILESIZEINMB "
                                 "$TEMPLATEFILE <!-- #ifdef $ISPDFGEN -->pdf<!-- #endif --><!-- #end -->"
                                 "<!-- #begin(__bottom__) -->end<!-- #end -->"
                                 "$SECTIONNUM/$SECTIONID $TITLE=$SECTION "
                                 "<!-- #ifdef $ISFIRSTSECTION -->first<!-- #endif -->"
                                 "<!-- #ifdef $ISLASTSECTION -->last<!-- #endif -->"
                                 "<!-- #ifdef $WSHASFILES -->files<!-- #endif -->"
                                 "<!-- #ifdef $WSHASUSRATTRIBUTES -->attrs<!-- #endif -->"
                                 "<!-- #ifdef $TRAXOFILESIZEINBYTES -->size<!-- #endif -->"));
    QList<Summary> history = makeHistory();
    Summary unmatched;
    unmatched.Title = QStringLiteral("<unmatched files>");
    history << unmatched;
    const QString html = engine.generateHtml(container, "/some/where/orange.htm", history, true);
    QCOMPARE(html,
        QStringLiteral("history.traxo 1572864 1.50 orange.htm\npdf\n"
                       "0/1 Reconstruct=Reconstruct\nfirst\nfiles\nattrs\n"
                       "1/0 Report=Report\nfiles\n"
                       "2/0 <unmatched files>=<unmatched files>\nlast\n"
                       "end\n"));

    const QString single = engine.generateHtml(container, "t.htm", { history.first() }, false);
    QVERIFY2(!single.contains("last"), qPrintable(single)); // the only section is the first, not the last
    QVERIFY(!single.contains("pdf"));

    QVERIFY(engine.parseTemplate("<!-- #begin(__top__) -->$TRAXOFILELASTMODIFIED|$UNTRAXOTIME|$TRAXOBENCHVERSION"
                                 "<!-- #end --><!-- #begin(__bottom__) --><!-- #end -->"));
    const QString top = engine.generateHtml(container, "t.htm", {}, false);
    // "Jun 21 2013 14:05:09": month name, day, year and time.
    const QRegularExpression date(QStringLiteral("^[A-Z][a-z][a-z] \\d\\d \\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    const QStringList parts = top.trimmed().split('|');
    QCOMPARE(parts.size(), 3);
    QVERIFY2(date.match(parts.at(0)).hasMatch(), qPrintable(parts.at(0)));
    QVERIFY2(date.match(parts.at(1)).hasMatch(), qPrintable(parts.at(1)));
    QVERIFY2(!parts.at(2).isEmpty() && !parts.at(2).startsWith("<i>"), qPrintable(parts.at(2)));
}

void tst_ParseTemplate::fileVariables_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");

    QTest::addRow("name") << "$FILENAME[0]"
                          << "raw.v";
    QTest::addRow("purpose") << "$FILEPURPOSE[0]"
                             << "InFile";
    QTest::addRow("embedded flag") << "$EMBEDDED[0]"
                                   << "yes";
    QTest::addRow("not embedded") << "$EMBEDDED[1]"
                                  << "no";
    QTest::addRow("md5 requested") << "$GENERATEMD5[0]"
                                   << "no";
    QTest::addRow("known size") << "$UNCOMPRESSEDSIZE[0]"
                                << "1024";
    QTest::addRow("unknown size is empty") << "$UNCOMPRESSEDSIZE[1]"
                                           << "";
    QTest::addRow("unknown stored size is empty") << "$COMPRESSEDSIZE[0]"
                                                  << "";
    QTest::addRow("position") << "$POSINSECTION[1]"
                              << "1";
    QTest::addRow("ecat icon") << "$AUTOTHUMBNAIL32[0]"
                               << "icon-pet-32.png";
    QTest::addRow("file has attributes") << "$FILEHASUSRATTRIBUTES[1]"
                                         << "TRUE";
    QTest::addRow("second attribute of the second file") << "$USRKEY[1][1]"
                                                         << "unit";
    QTest::addRow("unit of a file attribute") << "$USRUNIT[1][0]"
                                              << "mm";
    QTest::addRow("attribute without a unit has an empty unit") << "$USRUNIT[1][1]"
                                                                << "";
    QTest::addRow("step attribute in document order") << "$USRKEY[1]"
                                                      << "frames";
    QTest::addRow("step attribute unit") << "$USRUNIT[0]"
                                         << "MBq";
}

void tst_ParseTemplate::fileVariables()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(""));
    engine.generateHtml("none.traxo", "t.htm", { makeHistory().first() }, false);
    QCOMPARE(engine.variables().value(variable, "<absent>"), value);
}

void tst_ParseTemplate::dumpAll()
{
    const QString frame = QStringLiteral("<!-- #begin(__top__) --><!-- #end --><!-- #begin(__bottom__) --><!-- #end -->"
                                         "($TITLE)");
    Summary step;
    step.Title = QStringLiteral("T");

    ParseTemplate engine;
    QVERIFY(engine.parseTemplate(frame));
    QCOMPARE(engine.generateHtml("c.traxo", "t.htm", { step }, false), QStringLiteral("(T)\n"));

    QVERIFY(engine.parseTemplate(frame
        + "<!-- #begin(__dumpall__) --><dl>$DUMPTABLECONTENTS</dl><!-- #end -->"
          "<!-- #begin(__dumpentry__) --><!-- #escape begin -->$KEY=$VALUE;<!-- #end -->"));
    step.Description = QStringLiteral("<a & b>");
    const QString html = engine.generateHtml("c.traxo", "t.htm", { step }, false);
    QVERIFY2(html.startsWith("(T)\n<dl>"), qPrintable(html));
    // Every variable once, in key order, values escaped by the entry block.
    QRegularExpression entry(QStringLiteral("(\\$[A-Z0-9#\\[\\]]+)="));
    QStringList keys;
    for (auto it = entry.globalMatch(html); it.hasNext();)
        keys << it.next().captured(1);
    QVERIFY(keys.contains("$TITLE"));
    QVERIFY(keys.contains("$TRAXOFILE"));
    QVERIFY(keys.contains("$DESCRIPTION"));
    QVERIFY(!keys.contains("$KEY"));
    QStringList sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(keys, sorted);
    QCOMPARE(keys.size(), engine.variables().size() - 3); // without $KEY, $VALUE and $DUMPTABLECONTENTS
    QVERIFY2(html.contains("$DESCRIPTION=&lt;a &amp; b&gt;;"), qPrintable(html));
}

void tst_ParseTemplate::goldenRendering()
{
    const QString templatePath = QFINDTESTDATA("testdata/golden-template.htm");
    const QString goldenPath = QFINDTESTDATA("testdata/golden-history.html");
    QVERIFY(!templatePath.isEmpty());

    ParseTemplate engine;
    QVERIFY(engine.loadTemplateFile(templatePath));
    QList<Summary> history = makeHistory();
    history[0].Description = QStringLiteral("Line one\nline <two> & more");
    history[0].Timestamp = QStringLiteral("2013-06-21 14:05:09");
    const QString html = engine.generateHtml("demo.traxo", templatePath, history, false);

    if (qEnvironmentVariableIsSet("TRAXO_UPDATE_GOLDEN")) {
        QVERIFY(testcommon::writeFile(QFileInfo(templatePath).dir().filePath("golden-history.html"), html.toUtf8()));
        QSKIP("golden file rewritten");
    }
    QVERIFY(!goldenPath.isEmpty());
    QCOMPARE(html, QString::fromUtf8(testcommon::readFile(goldenPath)));
}

void tst_ParseTemplate::logMessages()
{
    LogReceiver receiver;
    ParseTemplate engine(&receiver);
    QVERIFY(!engine.loadTemplateFile("/no/such/template.htm"));
    QCOMPARE(receiver.messages.size(), 1);
    QCOMPARE(receiver.messages.first(),
        QStringLiteral("*** ERROR: template file: /no/such/template.htm could not be opened for reading."));

    receiver.messages.clear();
    const QString templatePath = QFINDTESTDATA("testdata/golden-template.htm");
    QVERIFY(engine.loadTemplateFile(templatePath));
    engine.generateHtml("demo.traxo", templatePath, makeHistory(), false);
    QCOMPARE(receiver.messages.size(), 2);
    const QRegularExpression load(QStringLiteral("^\\[loadTemplateFile\\] finished in: \\d+\\.\\d\\ds$"));
    const QRegularExpression render(QStringLiteral("^\\[generateHtml\\] finished in: \\d+\\.\\d\\ds$"));
    QVERIFY2(load.match(receiver.messages.at(0)).hasMatch(), qPrintable(receiver.messages.at(0)));
    QVERIFY2(render.match(receiver.messages.at(1)).hasMatch(), qPrintable(receiver.messages.at(1)));
}

void tst_ParseTemplate::anchors()
{
    QCOMPARE(makeSectionAnchor(0), QStringLiteral("sec:0"));
    QCOMPARE(makeSectionAnchor(12), QStringLiteral("sec:12"));
    QCOMPARE(makeFileAnchor(3, 0), QStringLiteral("file:3:0"));
    QCOMPARE(makeFileAnchor(0, 11), QStringLiteral("file:0:11"));
}

void tst_ParseTemplate::shippedTemplates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("orange.htm, the default") << "orange.htm";
    QTest::addRow("black-and-white.htm for print") << "black-and-white.htm";
    QTest::addRow("variables.htm for template authors") << "variables.htm";
}

void tst_ParseTemplate::shippedTemplates()
{
    QFETCH(QString, name);
    const QDir dir(templatesDir());
    QVERIFY2(dir.exists(name), qPrintable(dir.filePath(name)));

    ParseTemplate engine;
    QVERIFY(engine.loadTemplateFile(dir.filePath(name)));
    QList<Summary> history = makeHistory();
    // As summaries keep it: with the entities it was written with.
    history[0].Title = QStringLiteral("Fit &lt;k1&gt; &amp; &quot;k2&quot;");
    history[0].Comment = QStringLiteral("</table></div><script>");
    const QString html = engine.generateHtml("demo.traxo", dir.filePath(name), history, false);
    saveRendering(name, html);

    verifyRendering(html, history);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(!html.contains("<script>"), "a free text broke out of the markup");
    QVERIFY(html.contains("Fit &lt;k1&gt; &amp; &quot;k2&quot;"));
    QVERIFY2(!html.contains("&amp;lt;") && !html.contains("&amp;amp;"), "a text was escaped twice");

    // Every template:// resource the rendering asks for lies in the templates folder.
    const QRegularExpression resource(QStringLiteral("template://([^\"')\\s]+)"));
    for (auto it = resource.globalMatch(html); it.hasNext();) {
        const QString file = it.next().captured(1);
        QVERIFY2(dir.exists(file), qPrintable(file));
    }
}

void tst_ParseTemplate::demoContainer_data()
{
    shippedTemplates_data();
}

// The demo container made by the build from the example arg-files, read by
// the real parser: a history as users have them.
void tst_ParseTemplate::demoContainer()
{
    QFETCH(QString, name);
    const QString demo = QDir(getExamplesDir()).filePath("demo.traxo");
    QVERIFY2(QFileInfo::exists(demo), qPrintable(demo));

    traxo::TraxoParser parser(traxo::ParseTolerant);
    QVERIFY(parser.open(demo));
    traxo::SummaryCreator creator;
    const QList<Summary> summaries = creator.createSummaries(parser);
    QVERIFY(summaries.size() >= 2);

    const QDir dir(templatesDir());
    ParseTemplate engine;
    QVERIFY(engine.loadTemplateFile(dir.filePath(name)));
    const QString html = engine.generateHtml(demo, dir.filePath(name), summaries, false);
    saveRendering(QStringLiteral("demo-") + name, html);

    verifyRendering(html, summaries);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(html.contains(QStringLiteral("demo.traxo")));

    QSet<int> fileIds;
    for (const traxo::FileTag &tag : parser.getFiles())
        fileIds.insert(tag.id);
    // Every embedded image the rendering asks for is a file of the container.
    const QRegularExpression image(QStringLiteral("traxotag://([^\"]*)\""));
    for (auto it = image.globalMatch(html); it.hasNext();) {
        const QString id = it.next().captured(1);
        QVERIFY2(fileIds.contains(id.toInt()), qPrintable(id));
    }
}

QTEST_MAIN(tst_ParseTemplate)
#include "tst_parsetemplate.moc"
