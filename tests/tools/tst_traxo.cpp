#include "argfile/libraryinfo.h"
#include "container/containerwriter.h"
#include "summary/summary.h"
#include "summary/summarywriter.h"

#include "containerbuilder.h"
#include "testcommon.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtTest>

using traxo::ContainerWriter;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTraxo(const QStringList &arguments, const QString &directory, const QByteArray &input = QByteArray())
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(traxo::getBinaryDir() + QStringLiteral("/traxo"), arguments);
    Run run;
    if (!process.waitForStarted(10000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

traxo::FileSummary declared(const QString &path, const QString &name, const QByteArray &content)
{
    traxo::FileSummary file;
    file.Filepath = path;
    file.Filename = name;
    file.Embedded = true;
    file.FilePurpose = QStringLiteral("OutFile");
    file.UncompressedSize = int(content.size());
    file.UncompressedMD5 = QString::fromLatin1(md5(content));
    return file;
}

// One step whose files are embedded and declared under the given paths.
bool writeStep(
    const QString &path, const QString &title, const QList<QPair<QString, QByteArray>> &files, bool create = true)
{
    traxo::Summary summary;
    summary.Title = title;
    summary.Tool = QStringLiteral("fitter 2.1");
    ContainerWriter::Section section;
    section.title = QStringLiteral("step");
    for (const auto &file : files) {
        const QString name = file.first.section(QLatin1Char('/'), -1);
        const QString directory = file.first.left(file.first.size() - name.size());
        summary.files.append(declared(directory, name, file.second));
        section.files.append(testcommon::embeddedFile(name, file.second, ContainerWriter::None));
    }
    section.summary = traxo::SummaryWriter::writeSummaryUtf8(summary);
    ContainerWriter writer;
    return (!create || writer.create(path)) && writer.appendSection(path, section);
}

QStringList filesBelow(const QString &directory)
{
    QStringList files;
    QDirIterator it(directory, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(directory).relativeFilePath(it.next());
    files.sort();
    return files;
}

QStringList sortedLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace

class tst_Traxo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void showJson();
    void extractStaysInside();
    void extractKeepsAndReplaces();
    void validateFanOutMatchesOneRun();
    void renderIsSelfContained_data();
    void renderIsSelfContained();
    void startsWithoutGui();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// good.traxo: two steps; damaged.traxo: the same with one stored byte
// flipped; plain.txt is no container; "two words ü.traxo" a copy of good.traxo.
void tst_Traxo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeStep(path("good.traxo"), QStringLiteral("Calibrate"), { { "raw/scan.dat", "scan data 1234" } }));
    QVERIFY(writeStep(
        path("good.traxo"), QStringLiteral("A & <b>bold</b> ä → 測試"), { { "out/fit.csv", "x,y\n1,2\n" } }, false));
    QByteArray bytes = testcommon::readFile(path("good.traxo"));
    const qsizetype at = bytes.indexOf("scan data 1234");
    QVERIFY(at > 0);
    bytes[at] = 'S';
    QVERIFY(testcommon::writeFile(path("damaged.traxo"), bytes));
    QVERIFY(testcommon::writeFile(path("plain.txt"), "just text\n"));
    QVERIFY(QFile::copy(path("good.traxo"), path(QStringLiteral("two words \u00fc.traxo"))));
}

void tst_Traxo::commands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QByteArray none;
    QTest::addRow("show decodes texts once")
        << QStringList { "show", "good.traxo" } << none << 0 << "A & <b>bold</b> ä → 測試"
        << "";
    QTest::addRow("show of a non-container") << QStringList { "show", "plain.txt" } << none << 2 << ""
                                             << "traxo: plain.txt: not a readable container";
    QTest::addRow("validate valid") << QStringList { "validate", "good.traxo" } << none << 0
                                    << "good.traxo: valid (2 sections, 4 files)"
                                    << "";
    QTest::addRow("validate names the damaged file")
        << QStringList { "validate", "damaged.traxo" } << none << 1 << "damaged.traxo: INVALID: "
        << "";
    QTest::addRow("validate names the damaged part")
        << QStringList { "validate", "damaged.traxo" } << none << 1 << "file 0 \"scan.dat\""
        << "";
    QTest::addRow("validate non-container") << QStringList { "validate", "plain.txt" } << none << 2 << ""
                                            << "traxo: plain.txt: not a readable container";
    QTest::addRow("validate worst wins") << QStringList { "validate", "damaged.traxo", "plain.txt", "good.traxo" }
                                         << none << 2 << "good.traxo: valid"
                                         << "plain.txt";
    QTest::addRow("validate list with NULs")
        << QStringList { "validate", "--files-from", "-", "-0", "--json" }
        << QByteArray("good.traxo\0damaged.traxo\0", 25) << 1 << "{\"file\":\"damaged.traxo\",\"files\":"
        << "";
    QTest::addRow("find a hit with bindings")
        << QStringList { "find", "x:tool %contains fitter", "." } << none << 0 << "  x = workflowstep: "
        << "";
    QTest::addRow("find names only") << QStringList { "find", "-l", "x:title %contains calibrate", "good.traxo" }
                                     << none << 0 << "good.traxo\n"
                                     << "";
    QTest::addRow("find nothing") << QStringList { "find", "x:title %contains nowhere", "." } << none << 1 << ""
                                  << "";
    QTest::addRow("find inverted") << QStringList { "find", "--invert", "-l", "x:title %contains nowhere",
        "good.traxo" } << none << 0 << "good.traxo"
                                   << "";
    QTest::addRow("find query error with position")
        << QStringList { "find", "x:title %contains", "." } << none << 2 << ""
        << "at position ";
    QTest::addRow("find unreadable directory") << QStringList { "find", "fit", "missing/" } << none << 2 << ""
                                               << "traxo: missing/: cannot be read";
    QTest::addRow("extract damaged data")
        << QStringList { "extract", "damaged.traxo", "-o", "bad", "*.dat" } << none << 1 << ""
        << "MD5 mismatch";
    QTest::addRow("extract invalid mask")
        << QStringList { "extract", "good.traxo", "--mask", "100%" } << none << 2 << ""
        << "mask";
    QTest::addRow("render text") << QStringList { "render", "good.traxo", "--format", "text" } << none << 0
                                 << "Calibrate"
                                 << "";
    QTest::addRow("render a name with spaces and umlauts")
        << QStringList { "render", "two words \u00fc.traxo", "--format", "text" } << none << 0 << "Calibrate"
        << "";
    // Commands that read containers run without an application object,
    // which leaves the C library's locale alone: names must still arrive.
    QTest::addRow("show a name with spaces and umlauts")
        << QStringList { "show", "two words \u00fc.traxo" } << none << 0 << "Calibrate"
        << "";
    QTest::addRow("validate a name with spaces and umlauts")
        << QStringList { "validate", "two words \u00fc.traxo" } << none << 0 << "two words \u00fc.traxo: valid"
        << "";
    QTest::addRow("find lists a name with spaces and umlauts")
        << QStringList { "find", "-l", "x:title %contains calibrate", "." } << none << 0 << "two words \u00fc.traxo\n"
        << "";
    QTest::addRow("render no container") << QStringList { "render", "plain.txt", "--format", "text" } << none << 2 << ""
                                         << "traxo: plain.txt: not a readable container";
    QTest::addRow("render help") << QStringList { "render", "--help" } << none << 0 << "usage: traxo render"
                                 << "";
    QTest::addRow("render unknown template")
        << QStringList { "render", "good.traxo", "--template", "nosuch" } << none << 2 << ""
        << "traxo: no template \"nosuch\"";
    QTest::addRow("unknown command") << QStringList { "frobnicate" } << none << 2 << ""
                                     << "traxo: unknown command \"frobnicate\"";
    QTest::addRow("unknown option") << QStringList { "show", "--colour", "good.traxo" } << none << 2 << ""
                                    << "traxo: show: Unknown option 'colour'";
    QTest::addRow("command help") << QStringList { "validate", "--help" } << none << 0 << "usage: traxo validate"
                                  << "";
    QTest::addRow("general help lists commands") << QStringList { "--help" } << none << 0 << "  render"
                                                 << "";
    QTest::addRow("version") << QStringList { "--version" } << none << 0 << "traxo "
                             << "";
}

void tst_Traxo::commands()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const Run run = runTraxo(arguments, m_dir.path(), input);
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
    // Errors stay off standard output, results off standard error.
    if (err.isEmpty() && exitCode == 0)
        QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, exitCode);
}

void tst_Traxo::showJson()
{
    const Run run = runTraxo({ "show", "--json", "good.traxo" }, m_dir.path());
    QCOMPARE(run.exitCode, 0);
    QJsonParseError error;
    const QJsonObject history = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(history.value("file").toString(), QString("good.traxo"));
    const QJsonArray steps = history.value("steps").toArray();
    QCOMPARE(steps.size(), 2);
    QCOMPARE(steps.at(0).toObject().value("title").toString(), QString("Calibrate"));
    QCOMPARE(steps.at(1).toObject().value("title").toString(), QString("A & <b>bold</b> ä → 測試"));
    const QJsonObject file = steps.at(0).toObject().value("files").toArray().at(0).toObject();
    QCOMPARE(file.value("path").toString(), QString("raw/scan.dat"));
    QCOMPARE(file.value("role").toString(), QString("output"));
    QCOMPARE(file.value("size").toInt(), 14);
    QCOMPARE(file.value("md5").toString(), QString::fromLatin1(md5("scan data 1234")));
    QCOMPARE(file.value("embedded").toBool(), true);
}

// Whatever names a container records, extraction writes below DIR only.
void tst_Traxo::extractStaysInside()
{
    QTemporaryDir sandbox;
    QVERIFY(writeStep(sandbox.filePath("evil.traxo"), QStringLiteral("evil"),
        { { "../../x", "one" }, { "/tmp/x", "two" }, { "a/../../x", "three" } }));
    const QFileInfo tmpX(QStringLiteral("/tmp/x"));
    const QDateTime tmpXModified = tmpX.lastModified();
    const QString target = sandbox.filePath("d1/d2/out");

    const Run run = runTraxo({ "extract", "evil.traxo", "-o", target }, sandbox.path());
    QCOMPARE(run.exitCode, 0);
    const QStringList inside = filesBelow(target);
    QCOMPARE(inside.size(), 3);
    QStringList contents;
    for (const QString &name : inside)
        contents << QString::fromUtf8(testcommon::readFile(target + "/" + name));
    contents.sort();
    QCOMPARE(contents, QStringList({ "one", "three", "two" }));
    // Nothing beside the container and DIR's own files anywhere in the sandbox.
    QCOMPARE(filesBelow(sandbox.path()).size(), 1 + inside.size());
    QCOMPARE(QFileInfo(QStringLiteral("/tmp/x")).lastModified(), tmpXModified);
}

void tst_Traxo::extractKeepsAndReplaces()
{
    QTemporaryDir target;
    const QStringList arguments { "extract", path("good.traxo"), "-o", target.path(), "--mask", "%*d-%f", "*.csv" };
    QCOMPARE(runTraxo(arguments, m_dir.path()).exitCode, 0);
    // The one file chosen lands in DIR itself: the folders all share go.
    const QString extracted = target.filePath("1-fit.csv");
    QCOMPARE(testcommon::readFile(extracted), QByteArray("x,y\n1,2\n"));

    QVERIFY(testcommon::writeFile(extracted, "edited"));
    const Run kept = runTraxo(arguments, m_dir.path());
    QCOMPARE(kept.exitCode, 1);
    QVERIFY2(kept.err.contains("exists, kept"), qPrintable(kept.err));
    QCOMPARE(testcommon::readFile(extracted), QByteArray("edited"));

    QCOMPARE(runTraxo(arguments + QStringList { "--force" }, m_dir.path()).exitCode, 0);
    QCOMPARE(testcommon::readFile(extracted), QByteArray("x,y\n1,2\n"));
}

// GNU parallel cuts the list into pieces of 50; the pieces' JSON lines
// together must be exactly those of one run.
void tst_Traxo::validateFanOutMatchesOneRun()
{
    if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
        QSKIP("GNU parallel is not installed (make deps installs it)");
    QTemporaryDir tree;
    const QByteArray good = testcommon::readFile(path("good.traxo"));
    const QByteArray damaged = testcommon::readFile(path("damaged.traxo"));
    for (int i = 0; i < 7; ++i)
        QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("d%1").arg(i)));
    for (int i = 0; i < 120; ++i)
        QVERIFY(testcommon::writeFile(
            tree.filePath(QStringLiteral("d%1/c%2.traxo").arg(i % 7).arg(i)), i % 11 == 0 ? damaged : good));

    const QString traxo = traxo::getBinaryDir() + QStringLiteral("/traxo");
    QProcess shell;
    shell.setWorkingDirectory(tree.path());
    shell.start(QStringLiteral("sh"),
        { "-c",
            QStringLiteral("find . -name '*.traxo' | parallel --pipe -N 50 '%1' validate --files-from - --json")
                .arg(traxo) });
    QVERIFY(shell.waitForFinished(120000));
    const QStringList fannedOut = sortedLines(QString::fromUtf8(shell.readAllStandardOutput()));

    QStringList all = filesBelow(tree.path());
    for (QString &file : all)
        file.prepend(QStringLiteral("./"));
    const Run one = runTraxo(QStringList { "validate", "--json" } + all, tree.path());
    QCOMPARE(one.exitCode, 1);
    QCOMPARE(fannedOut.size(), 120);
    QCOMPARE(fannedOut, sortedLines(one.out));
}

void tst_Traxo::renderIsSelfContained_data()
{
    QTest::addColumn<QString>("format");
    QTest::addRow("html") << "html";
    QTest::addRow("text") << "text";
}

void tst_Traxo::renderIsSelfContained()
{
    QFETCH(QString, format);
    const QString output = path("render." + format);
    const Run run = runTraxo({ "render", "good.traxo", "--format", format, "-o", output }, m_dir.path());
    QCOMPARE(run.exitCode, 0);
    const QByteArray bytes = testcommon::readFile(output);
    QVERIFY(bytes.contains(QStringLiteral("ä → 測試").toUtf8()));
    QVERIFY(!bytes.contains("template://"));
    QVERIFY(!bytes.contains("traxotag://"));
    if (format == "html") {
        QVERIFY(bytes.contains("<meta charset=\"utf-8\">"));
        QVERIFY(bytes.contains("<style"));
        QVERIFY(bytes.contains("src=\"data:image/png;base64,"));
    }
}

QTEST_GUILESS_MAIN(tst_Traxo)
// Loading QtGui and what it pulls in took most of a command's start-up;
// only traxo-render may bring it.
void tst_Traxo::startsWithoutGui()
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), { traxo::getBinaryDir() + QStringLiteral("/traxo") });
    QVERIFY(ldd.waitForFinished(30000));
    const QByteArray libraries = ldd.readAllStandardOutput();
    QVERIFY2(libraries.contains("libQt6Core"), libraries.constData());
    QVERIFY2(!libraries.contains("libQt6Gui"), libraries.constData());
}

#include "tst_traxo.moc"
