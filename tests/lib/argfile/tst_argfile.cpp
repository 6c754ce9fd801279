#include "argfile/argfile.h"
#include "argfile/argfileparser.h"
#include "argfile/quoting.h"
#include "argfile/wsfile.h"

#include <QtTest>

using namespace traxo;

class tst_ArgFile : public QObject
{
    Q_OBJECT

private slots:
    void quoteWord_data();
    void quoteWord();
    void quotedWordReadsBack_data();
    void quotedWordReadsBack();
    void listHelpers();
    void defaultFileLine();
    void fileLineWithAttributes();
    void filePaths_data();
    void filePaths();
    void fileUserAttributesRepeat();
    void emptyStepRendersNothing();
    void stepLine_data();
    void stepLine();
    void filesFollowTheStepWords();
    void emptyNamesKeepTheirPlace();
    void fileAccessOutOfRange();
    void pointersIntoTheList();
    void clearVariablesKeepsRootAndLists();
    void undoWorkflowStep();
    void constructorWithContainerAndRoot();
    void equality();
};

void tst_ArgFile::quoteWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("keepVariables");
    QTest::addColumn<QString>("expected");

    QTest::addRow("empty text gives an empty word") << "" << false << "";
    QTest::addRow("plain word unchanged") << "abc" << false << "abc";
    QTest::addRow("space encloses in double quotes") << "two words" << false << "\"two words\"";
    QTest::addRow("tab encloses in double quotes") << "a\tb" << false << "\"a\tb\"";
    QTest::addRow("line feed encloses in double quotes") << "a\nb" << true << "\"a\nb\"";
    QTest::addRow("carriage return encloses in double quotes") << "a\rb" << true << "\"a\rb\"";
    QTest::addRow("double quote escaped without enclosing quotes") << "say\"hi" << false << "say\\\"hi";
    QTest::addRow("windows path doubles every backslash") << "C:\\data\\run1" << false << "C:\\\\data\\\\run1";
    QTest::addRow("backquote escaped") << "a`b`" << false << "a\\`b\\`";
    QTest::addRow("variable made literal") << "$HOME/x" << false << "\\$HOME/x";
    QTest::addRow("variable kept") << "$HOME/x" << true << "$HOME/x";
    QTest::addRow("doubled dollar kept as one literal") << "$$1" << true << "\\$1";
    QTest::addRow("doubled dollar made literal twice") << "$$1" << false << "\\$\\$1";
    QTest::addRow("three dollars kept") << "$$$a" << true << "\\$$a";
    QTest::addRow("hash sign protected by quotes") << "run#3" << false << "\"run#3\"";
    QTest::addRow("single quote protected by quotes") << "it's" << true << "\"it's\"";
    QTest::addRow("quote, space and backslash together") << "a \"b\\" << false << "\"a \\\"b\\\\\"";
}

void tst_ArgFile::quoteWord()
{
    QFETCH(QString, text);
    QFETCH(bool, keepVariables);
    QFETCH(QString, expected);
    QCOMPARE(quoteString(text, keepVariables), expected);
}

// Whatever quoteString writes, the tokenizer must read back as one word; a
// literal dollar reads back as "$$" either way.
void tst_ArgFile::quotedWordReadsBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("keepVariables");
    QTest::addColumn<QString>("word");

    QTest::addRow("hash inside a word") << "a#b" << false << "a#b";
    QTest::addRow("word starting with a hash") << "#1" << true << "#1";
    QTest::addRow("single quote") << "'" << false << "'";
    QTest::addRow("backslash at the end") << "dir\\" << false << "dir\\";
    QTest::addRow("line break inside") << "line1\r\nline2" << false << "line1\r\nline2";
    QTest::addRow("literal dollar without variables") << "5$" << false << "5$$";
    QTest::addRow("reference kept with variables") << "${a}b" << true << "${a}b";
    QTest::addRow("literal dollar with variables") << "$$a" << true << "$$a";
    QTest::addRow("escaped backslash before reference") << "\\$a" << true << "\\$a";
}

void tst_ArgFile::quotedWordReadsBack()
{
    QFETCH(QString, text);
    QFETCH(bool, keepVariables);
    QFETCH(QString, word);
    QCOMPARE(ArgfileParser::parseArgfile(quoteString(text, keepVariables)), QStringList { word });
}

void tst_ArgFile::listHelpers()
{
    QCOMPARE(quoteStringList({ "a b", "c", "$x" }, false), (QStringList { "\"a b\"", "c", "\\$x" }));

    QStringList list { "start" };
    appendAttributeToList(QString(), "-s", "title", list);
    QCOMPARE(list, QStringList { "start" });
    appendAttributeToList("T", "-s", "title", list);
    appendFlagToList(true, "-f", "embed", list);
    appendFlagToList(false, "-f", "compress", list);
    QCOMPARE(list, (QStringList { "start", "-s", "title", "T", "-f", "embed", "-f", "no-compress" }));
}

void tst_ArgFile::defaultFileLine()
{
    WSFile file;
    file.setFilenameAndPath("data/raw.dat");
    QCOMPARE(file.toCommandline(false),
        QString("-i data/raw.dat -f no-optional -f no-compress -f embed -f automd5 -f no-previewws"
                " -f no-preview -f no-thumbnail -f no-thumbnailonly"));
}

void tst_ArgFile::fileLineWithAttributes()
{
    WSFile file;
    file.setFilenameAndPath("/tmp/out put/result.png");
    file.setInputFile(false);
    file.setFiletype("image/png");
    file.setComment("final");
    file.setMD5File("result.md5");
    file.setCompress(true);
    file.setEmbed(false);
    file.setThumbnailOnly(true);
    file.addUserAttribute("dpi", "300");
    file.addUserAttribute("empty", "");
    QCOMPARE(file.toCommandline(false),
        QString("-o \"/tmp/out put/result.png\" -a filetype image/png -a comment final -a md5file result.md5"
                " -f no-optional -f compress -f no-embed -f automd5 -f no-previewws -f no-preview"
                " -f no-thumbnail -f thumbnailonly -u dpi 300"));
}

void tst_ArgFile::filePaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("filepath");
    QTest::addColumn<QString>("filename");

    QTest::addRow("bare name lies in the current directory") << "a.txt"
                                                             << "./"
                                                             << "./a.txt";
    QTest::addRow("relative path") << "sub/dir/a.txt"
                                   << "sub/dir/"
                                   << "sub/dir/a.txt";
    QTest::addRow("absolute path") << "/data/a.txt"
                                   << "/data/"
                                   << "/data/a.txt";
    QTest::addRow("file in the root") << "/a.txt"
                                      << "/"
                                      << "/a.txt";
    QTest::addRow("name that Qt would take for a resource") << "d/:x"
                                                            << "d/"
                                                            << "d/:x";
    QTest::addRow("a path ending in a slash keeps it") << "raw/"
                                                       << "raw/"
                                                       << "raw/";
}

void tst_ArgFile::filePaths()
{
    QFETCH(QString, path);
    QFETCH(QString, filepath);
    QFETCH(QString, filename);
    WSFile file;
    file.setFilenameAndPath(path);
    QCOMPARE(file.filepath(), filepath);
    QCOMPARE(file.filename(), filename);
    QCOMPARE(file.toCommandline(false).section(' ', 1, 1), filename);
    QCOMPARE(file.toCommandline(false).section(' ', 1, 1), filename);

    WSFile explicitPath;
    explicitPath.setFilepath("x");
    QCOMPARE(explicitPath.filepath(), QString("x/"));
    explicitPath.setFilepath("");
    QCOMPARE(explicitPath.filepath(), QString("/"));
    explicitPath.setFilepath("y/");
    QCOMPARE(explicitPath.filepath(), QString("y/"));
}

void tst_ArgFile::fileUserAttributesRepeat()
{
    WSFile file;
    file.setFilenameAndPath("a");
    file.addUserAttribute("k", "1");
    file.addUserAttribute("k", "2");
    QCOMPARE(file.userAttributeKeys(), (QStringList { "k", "k" }));
    QCOMPARE(file.userAttribute("k"), QString("2"));
    QCOMPARE(file.userAttribute("missing"), QString());
    QVERIFY(file.toCommandline(false).endsWith("-u k 2 -u k 2"));
    file.clearUserAttributes();
    QVERIFY(file.userAttributeKeys().isEmpty());
    QCOMPARE(file.userAttribute("k"), QString());
}

void tst_ArgFile::emptyStepRendersNothing()
{
    QCOMPARE(ArgFile().toCommandline(false), QString());
    QCOMPARE(ArgFile().toCommandline(true), QString());
}

void tst_ArgFile::stepLine_data()
{
    QTest::addColumn<ArgFile>("step");
    QTest::addColumn<QString>("expected");

    ArgFile title;
    title.setTitle("two words");
    QTest::addRow("title with a space") << title << "-s title \"two words\"";

    ArgFile flags;
    flags.setVerbosity(ArgFile::Quiet);
    flags.setShowVersion(true);
    flags.setPretend(true);
    flags.setDebugMode(true);
    flags.setShowHelp(true);
    QTest::addRow("flags in fixed order") << flags << "--quiet --pretend --debug --help --version";

    ArgFile full;
    full.setVerbosity(ArgFile::Verbose);
    full.setReadme("read me.txt");
    full.setFirstpage("cover.pdf");
    full.addOutputTraxofile("a.traxo");
    full.addOutputTraxofile("b.traxo");
    full.setRootfile("root.traxo");
    full.setRootIsOptional(true);
    full.setCommand("run -x");
    full.setTool("runner");
    full.setUser("ann");
    full.setPdfSubject("physics");
    full.setPdfAuthor("Ann");
    full.addUserAttribute("temperature", "20 C");
    full.addUserAttribute("blank", "");
    QTest::addRow("every group in order")
        << full
        << "--verbose --firstpage cover.pdf --readme \"read me.txt\" -O a.traxo -O b.traxo -J root.traxo"
           " -s tool runner -s user ann -s command \"run -x\" -d author Ann -d subject physics"
           " -U temperature \"20 C\"";

    ArgFile required;
    required.setRootfile("root.traxo");
    required.setDescription("$SAMPLE");
    QTest::addRow("required root") << required << "-I root.traxo -s description \\$SAMPLE";
}

void tst_ArgFile::stepLine()
{
    QFETCH(ArgFile, step);
    QFETCH(QString, expected);
    QCOMPARE(step.toCommandline(false), expected);
}

void tst_ArgFile::filesFollowTheStepWords()
{
    ArgFile step;
    step.setTitle("t");
    WSFile in;
    in.setFilenameAndPath("in.dat");
    step.addFile(in);
    WSFile out = in;
    out.setInputFile(false);
    step.addFile(out);
    const QString line = step.toCommandline(true);
    QCOMPARE(line, "-s title t " + in.toCommandline(true) + " " + out.toCommandline(true));
    QVERIFY(!line.contains('\n'));
}

void tst_ArgFile::emptyNamesKeepTheirPlace()
{
    ArgFile step;
    step.addOutputTraxofile("");
    step.addUserAttribute("", "v");
    QCOMPARE(step.toCommandline(false), QString("-O \"\" -U \"\" v"));
    QCOMPARE(ArgfileParser::parseArgfile(step.toCommandline(false)), (QStringList { "-O", "", "-U", "", "v" }));
}

void tst_ArgFile::fileAccessOutOfRange()
{
    ArgFile step;
    QVERIFY(!step.lastFile());
    QVERIFY(!step.getFile(0));
    WSFile file;
    file.setDescription("only");
    step.addFile(file);
    QVERIFY(!step.getFile(-1));
    QVERIFY(!step.getFile(step.numFiles()));
    QCOMPARE(step.getFile(0)->description(), QString("only"));
    QCOMPARE(step.getConstFile(5), WSFile());
    QCOMPARE(step.getConstFile(0), file);
    step.removeFile(3);
    step.removeFile(-1);
    QCOMPARE(step.numFiles(), 1);
    step.removeFile(0);
    QCOMPARE(step.numFiles(), 0);

    step.addOutputTraxofile("c.traxo");
    QCOMPARE(step.outputTraxofile(0), QString("c.traxo"));
    QCOMPARE(step.outputTraxofile(1), QString());
    QCOMPARE(step.outputTraxofile(-1), QString());
    step.clearOutputTraxofiles();
    QCOMPARE(step.numOutputTraxofiles(), 0);
}

void tst_ArgFile::pointersIntoTheList()
{
    ArgFile step;
    WSFile *added = step.addFile(WSFile());
    added->setComment("changed through the pointer");
    QCOMPARE(step.getConstFile(0).comment(), QString("changed through the pointer"));
    step.addFile(WSFile());
    step.lastFile()->setInputFile(false);
    QCOMPARE(step.getConstFile(1).filePurpose(), WSFile::Output);
    QCOMPARE(step.getConstFile(0).filePurpose(), WSFile::Input);
    step.clearFilelist();
    QCOMPARE(step.numFiles(), 0);
}

void tst_ArgFile::clearVariablesKeepsRootAndLists()
{
    ArgFile step("out.traxo", "root.traxo");
    step.setTitle("t");
    step.setPdfKeywords("k");
    step.setReadme("r");
    step.setVerbosity(ArgFile::Quiet);
    step.setPretend(true);
    step.setRootIsOptional(true);
    step.addUserAttribute("a", "1");
    step.addFile(WSFile());
    step.clearVariables();

    ArgFile expected("out.traxo", "root.traxo");
    expected.addUserAttribute("a", "1");
    expected.addFile(WSFile());
    QCOMPARE(step, expected);

    step.clearRootTraxofiles();
    QCOMPARE(step.rootfile(), QString());
    QCOMPARE(step.numOutputTraxofiles(), 1);
}

void tst_ArgFile::undoWorkflowStep()
{
    ArgFile step;
    QCOMPARE(step.getUndoWorkflowStep(), QString());
    step.addOutputTraxofile("a.traxo");
    step.addOutputTraxofile("b.pdf");
    QCOMPARE(step.getUndoWorkflowStep(),
        QString("<DelWorkflowStep>a.traxo</DelWorkflowStep><DelWorkflowStep>b.pdf</DelWorkflowStep>"));
}

void tst_ArgFile::constructorWithContainerAndRoot()
{
    const ArgFile step("out.traxo", "in.traxo");
    QCOMPARE(step.numOutputTraxofiles(), 1);
    QCOMPARE(step.outputTraxofile(0), QString("out.traxo"));
    QCOMPARE(step.rootfile(), QString("in.traxo"));
    QCOMPARE(step.rootIsOptional(), false);
    QCOMPARE(step.verbosity(), ArgFile::Normal);
}

void tst_ArgFile::equality()
{
    WSFile a;
    WSFile b;
    QVERIFY(a == b);
    b.setPreviewWS(true);
    QVERIFY(a != b);
    b = a;
    a.addUserAttribute("x", "1");
    a.addUserAttribute("y", "2");
    b.addUserAttribute("y", "2");
    b.addUserAttribute("x", "1");
    QVERIFY2(a != b, "the order of the attribute names counts");

    ArgFile s;
    ArgFile t;
    QVERIFY(s == t);
    t.setPdfProducer("p");
    QVERIFY(s != t);
}

QTEST_GUILESS_MAIN(tst_ArgFile)
#include "tst_argfile.moc"
