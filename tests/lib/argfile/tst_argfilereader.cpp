#include "argfile/argfile.h"
#include "argfile/argfilereader.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace traxo;

namespace {

// Collects every message with its level.
class LogCollector : public QObject
{
    Q_OBJECT
public:
    QStringList messages;
    QList<int> levels;
public slots:
    void log(const QString &message, int level)
    {
        messages << message;
        levels << level;
    }
};

// Random models for the round trip. Texts draw from characters that mean
// something to the tokenizer or the quoting: quotes, backslashes, comments,
// dollars, whitespace and line breaks, option-like dashes and non-ASCII.
class ModelGenerator
{
public:
    ModelGenerator(quint32 seed, bool withDollars)
        : m_random(seed)
        , m_alphabet(QStringLiteral("ab Z09-_.:/\\\"'`#\t\n\r{}=,äß€"))
    {
        if (withDollars)
            m_alphabet += QStringLiteral("$$$");
    }

    QString text(int maxLength, bool allowEmpty = true)
    {
        const int length = int(m_random.bounded(allowEmpty ? 0 : 1, maxLength + 1));
        QString result;
        for (int i = 0; i < length; ++i)
            result += m_alphabet.at(int(m_random.bounded(m_alphabet.size())));
        return result;
    }
    // Empty half of the time, so that skipped fields are exercised too.
    QString maybeText() { return chance(2) ? QString() : text(12, false); }
    bool chance(int oneIn) { return m_random.bounded(oneIn) == 0; }
    int upTo(int n) { return int(m_random.bounded(n + 1)); }

    // A path of non-empty segments that are neither "." nor "..".
    QString path()
    {
        QString result = chance(3) ? QStringLiteral("/") : QString();
        const int segments = 1 + upTo(2);
        for (int i = 0; i < segments; ++i) {
            QString segment;
            do
                segment = text(8, false).remove(QLatin1Char('/'));
            while (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."));
            result += (i ? QStringLiteral("/") : QString()) + segment;
        }
        return result;
    }

    WSFile file()
    {
        WSFile file;
        file.setFilenameAndPath(path());
        file.setInputFile(chance(2));
        file.setFiletype(maybeText());
        file.setDescription(maybeText());
        file.setComment(maybeText());
        file.setMD5File(maybeText());
        file.setAutoMD5(chance(2));
        file.setEmbed(chance(2));
        file.setOptional(chance(2));
        file.setCompress(chance(2));
        file.setPreviewWS(chance(2));
        file.setPreview(chance(2));
        file.setThumbnail(chance(2));
        file.setThumbnailOnly(chance(2));
        const int attributes = upTo(3);
        for (int i = 0; i < attributes; ++i)
            file.addUserAttribute(chance(3) ? QStringLiteral("same") : text(6), text(10, false));
        return file;
    }

    ArgFile model()
    {
        ArgFile step;
        step.setVerbosity(ArgFile::Verbosity(upTo(2)));
        step.setPretend(chance(2));
        step.setDebugMode(chance(3));
        step.setShowHelp(chance(4));
        step.setShowVersion(chance(4));
        step.setFirstpage(maybeText());
        step.setReadme(maybeText());
        const int outputs = upTo(2);
        for (int i = 0; i < outputs; ++i)
            step.addOutputTraxofile(text(10));
        step.setRootfile(maybeText());
        step.setRootIsOptional(!step.rootfile().isEmpty() && chance(2));
        for (auto setter : { &ArgFile::setTitle, &ArgFile::setDescription, &ArgFile::setComment, &ArgFile::setTool,
                 &ArgFile::setToolpath, &ArgFile::setHost, &ArgFile::setUser, &ArgFile::setCommand,
                 &ArgFile::setPdfTitle, &ArgFile::setPdfProducer, &ArgFile::setPdfCreator, &ArgFile::setPdfAuthor,
                 &ArgFile::setPdfKeywords, &ArgFile::setPdfSubject })
            (step.*setter)(maybeText());
        const int attributes = upTo(3);
        for (int i = 0; i < attributes; ++i)
            step.addUserAttribute(chance(3) ? QStringLiteral("dup") : text(6), text(10, false));
        const int files = upTo(3);
        for (int i = 0; i < files; ++i)
            step.addFile(file());
        return step;
    }

private:
    QRandomGenerator m_random;
    QString m_alphabet;
};

} // namespace

class tst_ArgfileReader : public QObject
{
    Q_OBJECT

private slots:
    void messages_data();
    void messages();
    void onlyCommentsGiveADefaultModel();
    void unterminatedQuoteGivesADefaultModelSilently();
    void signatureCheckKeepsCompleteGroups();
    void interpretation();
    void fileFlags_data();
    void fileFlags();
    void appendToContainer();
    void lastValueWinsListsGrow();
    void variablesReachTheModel();
    void randomRoundTripKeepingVariables();
    void randomRoundTripWithLiteralDollars();
    void literalDollarsArriveDoubled();
};

void tst_ArgfileReader::messages_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<QString>("title");

    QTest::addRow("missing parameter at the end")
        << "-s title T -v -s title" << QStringList { "not enough parameters for option: -s" } << QList<int> { 2 }
        << "T";
    QTest::addRow("bare file name in option position")
        << "-s title T data.txt -s title U" << QStringList { "unknown option found: data.txt" } << QList<int> { 2 }
        << "T";
    QTest::addRow("options with units are unknown")
        << "-s title T -W unit k v" << QStringList { "unknown option found: -W" } << QList<int> { 2 } << "T";
    QTest::addRow("option words are case-sensitive")
        << "-S title T" << QStringList { "unknown option found: -S" } << QList<int> { 2 } << "";
    QTest::addRow("no equals-sign form") << "--readme=x" << QStringList { "unknown option found: --readme=x" }
                                         << QList<int> { 2 } << "";
    QTest::addRow("unknown step key") << "-s colour red -s title T"
                                      << QStringList { "first parameter (colour) of option -s is invalid" }
                                      << QList<int> { 2 } << "T";
    QTest::addRow("unknown document key")
        << "--doc date today" << QStringList { "first parameter (date) of option --doc is invalid" } << QList<int> { 2 }
        << "";
    QTest::addRow("unknown file key") << "-i a -a size 3"
                                      << QStringList { "first parameter (size) of option -a is invalid" }
                                      << QList<int> { 2 } << "";
    QTest::addRow("unknown file flag keeps the word as written")
        << "-i a --file-flag no-shout" << QStringList { "\"no-shout\" is no valid parameter for option --file-flag" }
        << QList<int> { 2 } << "";
    QTest::addRow("tool-only options are reported at level 0")
        << "--sync-cwd -c other.vcmd -s title T"
        << QStringList { "invalid option (--sync-cwd) found", "invalid option (-c) found",
               "invalid option (other.vcmd) found" }
        << QList<int> { 0, 0, 0 } << "T";
    QTest::addRow("file options before any file are skipped silently")
        << "-a filetype text/plain -f no-embed -u k v -s title T" << QStringList() << QList<int>() << "T";
    QTest::addRow("parameters may look like options") << "-s title -v" << QStringList() << QList<int>() << "-v";
}

void tst_ArgfileReader::messages()
{
    QFETCH(QString, text);
    QFETCH(QStringList, messages);
    QFETCH(QList<int>, levels);
    QFETCH(QString, title);

    ArgfileReader reader;
    LogCollector collector;
    reader.publishToLogSlot(&collector);
    const ArgFile step = reader.readArgfile(text);
    QCOMPARE(collector.messages, messages);
    QCOMPARE(collector.levels, levels);
    QCOMPARE(step.title(), title);
}

void tst_ArgfileReader::onlyCommentsGiveADefaultModel()
{
    ArgfileReader reader;
    LogCollector collector;
    reader.publishToLogSlot(&collector);
    QCOMPARE(reader.readArgfile("# nothing here\n   \n# at all"), ArgFile());
    QVERIFY(collector.messages.isEmpty());
}

void tst_ArgfileReader::unterminatedQuoteGivesADefaultModelSilently()
{
    ArgfileReader reader;
    LogCollector collector;
    reader.publishToLogSlot(&collector);
    QCOMPARE(reader.readArgfile("-s title T -s comment \"never closed"), ArgFile());
    QVERIFY(collector.messages.isEmpty());
}

void tst_ArgfileReader::signatureCheckKeepsCompleteGroups()
{
    ArgfileReader reader;
    QCOMPARE(reader.checkOptionSignatures({ "-v", "-O", "a", "-s", "title" }), (QStringList { "-v", "-O", "a" }));
    QCOMPARE(reader.checkOptionSignatures({ "-U", "-v", "-q", "-p" }), (QStringList { "-U", "-v", "-q", "-p" }));
    QCOMPARE(reader.checkOptionSignatures({}), QStringList());
    QCOMPARE(ArgfileReader::optionSignatures().size(), 13 + 16 + 10);
}

void tst_ArgfileReader::interpretation()
{
    ArgfileReader reader;
    const ArgFile step = reader.readArgfile(R"(
        # a complete step
        --verbose --pretend --debug --help --version --stdin
        --firstpage cover.pdf -r notes.txt
        -O out.traxo -I root.traxo
        -s title "Reconstruction" -s toolversion 2.1 -s toolpath /opt/bin -s host lab1 -s user ann
        -s command "recon --fast" -s description D -s comment C
        -d title T -d producer P -d creator Cr -d author A -d keywords K -d subject S
        -U temperature 20 --step-user pressure 1bar
        -i raw/scan.dat -a filetype application/octet-stream -a description "raw scan"
        -a comment c -a md5file scan.md5 -f no-automd5 -f compress -u operator bob
        --outfile result.png --file-attr filetype image/png
    )");
    QCOMPARE(step.verbosity(), ArgFile::Verbose);
    QVERIFY(step.pretend() && step.debugMode() && step.showHelp() && step.showVersion());
    QCOMPARE(step.firstpage(), QString("cover.pdf"));
    QCOMPARE(step.readme(), QString("notes.txt"));
    QCOMPARE(step.outputTraxofile(0), QString("out.traxo"));
    QCOMPARE(step.rootfile(), QString("root.traxo"));
    QVERIFY(!step.rootIsOptional());
    QCOMPARE(step.title(), QString("Reconstruction"));
    QCOMPARE(step.tool(), QString("2.1"));
    QCOMPARE(step.toolpath(), QString("/opt/bin"));
    QCOMPARE(step.host(), QString("lab1"));
    QCOMPARE(step.user(), QString("ann"));
    QCOMPARE(step.command(), QString("recon --fast"));
    QCOMPARE(step.description(), QString("D"));
    QCOMPARE(step.comment(), QString("C"));
    QCOMPARE(QStringList({ step.pdfTitle(), step.pdfProducer(), step.pdfCreator(), step.pdfAuthor(), step.pdfKeywords(),
                 step.pdfSubject() }),
        (QStringList { "T", "P", "Cr", "A", "K", "S" }));
    QCOMPARE(step.userAttributeKeys(), (QStringList { "temperature", "pressure" }));
    QCOMPARE(step.userAttribute("pressure"), QString("1bar"));

    QCOMPARE(step.numFiles(), 2);
    const WSFile in = step.getConstFile(0);
    QVERIFY(in.inputFile());
    QCOMPARE(in.filename(), QString("raw/scan.dat"));
    QCOMPARE(in.filepath(), QString("raw/"));
    QCOMPARE(in.filetype(), QString("application/octet-stream"));
    QCOMPARE(in.description(), QString("raw scan"));
    QCOMPARE(in.comment(), QString("c"));
    QCOMPARE(in.md5File(), QString("scan.md5"));
    QVERIFY(!in.autoMD5());
    QVERIFY(in.compress());
    QVERIFY(in.embed());
    QCOMPARE(in.userAttribute("operator"), QString("bob"));
    const WSFile out = step.getConstFile(1);
    QCOMPARE(out.filePurpose(), WSFile::Output);
    QCOMPARE(out.filename(), QString("./result.png"));
    QCOMPARE(out.filetype(), QString("image/png"));
}

void tst_ArgfileReader::fileFlags_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("value");

    const QStringList names { "optional", "compress", "thumbnailonly", "previewws", "embed", "preview", "automd5",
        "thumbnail" };
    for (const QString &name : names) {
        QTest::addRow("%s sets", qPrintable(name)) << name << name << true;
        QTest::addRow("no-%s clears", qPrintable(name)) << "no-" + name << name << false;
    }
}

void tst_ArgfileReader::fileFlags()
{
    QFETCH(QString, flag);
    QFETCH(QString, field);
    QFETCH(bool, value);

    // Start from the opposite so that each row proves a change.
    const QString start = (value ? "no-" : "") + field;
    ArgfileReader reader;
    const WSFile file = reader.readArgfile("-i x -f " + start + " -f " + flag).getConstFile(0);
    const QHash<QString, bool> flags { { "optional", file.optional() }, { "compress", file.compress() },
        { "thumbnailonly", file.thumbnailOnly() }, { "previewws", file.previewWS() }, { "embed", file.embed() },
        { "preview", file.preview() }, { "automd5", file.autoMD5() }, { "thumbnail", file.thumbnail() } };
    QCOMPARE(flags.value(field), value);
}

void tst_ArgfileReader::appendToContainer()
{
    ArgfileReader reader;
    const ArgFile step = reader.readArgfile("-A history.traxo");
    QCOMPARE(step.numOutputTraxofiles(), 1);
    QCOMPARE(step.outputTraxofile(0), QString("history.traxo"));
    QCOMPARE(step.rootfile(), QString("history.traxo"));
    QVERIFY(step.rootIsOptional());
}

void tst_ArgfileReader::lastValueWinsListsGrow()
{
    ArgfileReader reader;
    const ArgFile step = reader.readArgfile("-s title A -s title B -O x -O y -J r1 -I r2 -q -v -q");
    QCOMPARE(step.title(), QString("B"));
    QCOMPARE(step.numOutputTraxofiles(), 2);
    QCOMPARE(step.rootfile(), QString("r2"));
    QVERIFY(!step.rootIsOptional());
    QCOMPARE(step.verbosity(), ArgFile::Quiet);
}

void tst_ArgfileReader::variablesReachTheModel()
{
    ArgfileReader reader;
    const QHash<QString, QString> variables { { "RUN", "7" }, { "DIR", "/data/run 7" } };
    const ArgFile expanded = reader.readArgfile("-s title \"Run $RUN\" -i $DIR/scan.dat", &variables);
    QCOMPARE(expanded.title(), QString("Run 7"));
    QCOMPARE(expanded.getConstFile(0).filename(), QString("/data/run 7/scan.dat"));
    const ArgFile kept = reader.readArgfile("-s title \"Run $RUN\"");
    QCOMPARE(kept.title(), QString("Run $RUN"));
}

void tst_ArgfileReader::randomRoundTripKeepingVariables()
{
    // Fixed seeds keep failures reproducible; the row number names the seed.
    for (quint32 seed = 1; seed <= 400; ++seed) {
        ModelGenerator generator(seed, true);
        const ArgFile model = generator.model();
        const QString line = model.toCommandline(true);
        ArgfileReader reader;
        LogCollector collector;
        reader.publishToLogSlot(&collector);
        const ArgFile read = reader.readArgfile(line);
        if (read != model) {
            QFAIL(qPrintable(QString("seed %1:\n%2\nread back as\n%3").arg(seed).arg(line, read.toCommandline(true))));
        }
        QVERIFY2(collector.messages.isEmpty(), qPrintable(collector.messages.join('\n')));
    }
}

void tst_ArgfileReader::randomRoundTripWithLiteralDollars()
{
    for (quint32 seed = 1000; seed <= 1200; ++seed) {
        ModelGenerator generator(seed, false);
        const ArgFile model = generator.model();
        const QString line = model.toCommandline(false);
        ArgfileReader reader;
        const ArgFile read = reader.readArgfile(line);
        if (read != model)
            QFAIL(qPrintable(QString("seed %1:\n%2\nread back as\n%3").arg(seed).arg(line, read.toCommandline(false))));
    }
}

void tst_ArgfileReader::literalDollarsArriveDoubled()
{
    ArgFile model;
    model.setTitle("costs $5 or $$x");
    ArgfileReader reader;
    QCOMPARE(reader.readArgfile(model.toCommandline(false)).title(), QString("costs $$5 or $$$$x"));
    QCOMPARE(reader.readArgfile(model.toCommandline(true)).title(), QString("costs $5 or $$x"));
}

QTEST_GUILESS_MAIN(tst_ArgfileReader)
#include "tst_argfilereader.moc"
