#include "container/containermarkers.h"
#include "container/containerwriter.h"
#include "container/traxoparser.h"

#include "containerbuilder.h"
#include "containercheck.h"
#include "testcommon.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace traxo;
using testcommon::embeddedFile;

class tst_ContainerWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void createWritesLeadingAndHeader_data();
    void createWritesLeadingAndHeader();
    void createRefusesExistingFile();
    void markerTextIsEscaped();
    void refusesWhatCannotBeWritten_data();
    void refusesWhatCannotBeWritten();
    void appendGrowsTheFileInPlace();
    void appendLeavesNoTemporaryFiles();
    void appendToReadOnlyContainerKeepsIt();
    void appendAfterMissingLineFeed();
    void blockLayout();
    void chainsToTheNewestSection();
    void streamedFileKeepsItsBytes_data();
    void streamedFileKeepsItsBytes();
    void sourceChangedWhileReadIsRefused_data();
    void sourceChangedWhileReadIsRefused();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ContainerWriter::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_ContainerWriter::createWritesLeadingAndHeader_data()
{
    QTest::addColumn<QByteArray>("leading");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("plain container") << QByteArray() << QByteArray("%<--! $TRAXO_PDF [version:1.0]\n");
    QTest::addRow("pdf header line first")
        << QByteArray("%PDF-1.4\n") << QByteArray("%PDF-1.4\n%<--! $TRAXO_PDF [version:1.0]\n");
    QTest::addRow("leading text without line feed gets one")
        << QByteArray("%PDF-1.4") << QByteArray("%PDF-1.4\n%<--! $TRAXO_PDF [version:1.0]\n");
}

void tst_ContainerWriter::createWritesLeadingAndHeader()
{
    QFETCH(QByteArray, leading);
    QFETCH(QByteArray, expected);

    ContainerWriter writer;
    QVERIFY(writer.create(path(QStringLiteral("new.traxo")), leading));
    QCOMPARE(testcommon::readFile(path(QStringLiteral("new.traxo"))), expected);
    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(path(QStringLiteral("new.traxo"))));
}

void tst_ContainerWriter::createRefusesExistingFile()
{
    const QString file = path(QStringLiteral("data.pdf"));
    QVERIFY(testcommon::writeFile(file, "precious"));
    ContainerWriter writer;
    QSignalSpy spy(&writer, qOverload<const QString &, int>(&ContainerWriter::log));
    QVERIFY(!writer.create(file));
    QVERIFY(!writer.errorString().isEmpty());
    QCOMPARE(spy.size(), 1);
    QVERIFY(spy.at(0).at(0).toString().startsWith(QStringLiteral("*** ERROR:")));
    QCOMPARE(spy.at(0).at(1).toInt(), 2);
    QCOMPARE(testcommon::readFile(file), QByteArray("precious"));
}

void tst_ContainerWriter::markerTextIsEscaped()
{
    const QString file = path(QStringLiteral("escape.traxo"));
    auto section
        = testcommon::containerSection(QStringLiteral("a]b\\c\nd"), { embeddedFile(QStringLiteral("x]y"), "z") });
    section.creator = QStringLiteral("tool [v1]");
    QVERIFY(testcommon::buildContainer(file, { section }));
    const QByteArray bytes = testcommon::readFile(file);
    QVERIFY(bytes.contains("[title:a\\]b\\\\c\\nd]"));
    QVERIFY(bytes.contains("[creator:tool [v1\\]]"));
    QVERIFY(bytes.contains("[filename:x\\]y]"));
    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getSection(0)->title, QStringLiteral("a\\]b\\\\c\\nd"));
    QCOMPARE(unescapeMarkerText(parser.getSection(0)->title), QStringLiteral("a]b\\c\nd"));
    QCOMPARE(unescapeMarkerText(parser.getFile(0)->filename), QStringLiteral("x]y"));
}

void tst_ContainerWriter::refusesWhatCannotBeWritten_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filename");

    QTest::addRow("NUL in the title") << QStringLiteral("a") + QChar(0) << QStringLiteral("f.txt");
    QTest::addRow("NUL in a file name") << QStringLiteral("t") << QStringLiteral("f") + QChar(0);
    QTest::addRow("file name with a directory") << QStringLiteral("t") << QStringLiteral("../etc/passwd");
    QTest::addRow("empty file name") << QStringLiteral("t") << QString();
}

void tst_ContainerWriter::refusesWhatCannotBeWritten()
{
    QFETCH(QString, title);
    QFETCH(QString, filename);

    const QString file = path(QStringLiteral("refuse.traxo"));
    QVERIFY(testcommon::buildContainer(file, {}));
    const QByteArray before = testcommon::readFile(file);
    ContainerWriter writer;
    QVERIFY(!writer.appendSection(file, testcommon::containerSection(title, { embeddedFile(filename, "data") })));
    QVERIFY(!writer.errorString().isEmpty());
    QCOMPARE(testcommon::readFile(file), before);
}

void tst_ContainerWriter::appendGrowsTheFileInPlace()
{
    // A second name for the file sees the new step too: the bytes were added
    // to the same file, and the old ones stand as they were.
    const QString file = path(QStringLiteral("linked.traxo"));
    const QString oldName = path(QStringLiteral("old.traxo"));
    QVERIFY(testcommon::buildContainer(file, { testcommon::containerSection(QStringLiteral("one"), {}) }));
    const QByteArray before = testcommon::readFile(file);
    QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(oldName).constData()), 0);
    ContainerWriter writer;
    QVERIFY(writer.appendSection(file, testcommon::containerSection(QStringLiteral("two"), {})));
    const QByteArray after = testcommon::readFile(oldName);
    QVERIFY(after.size() > before.size());
    QVERIFY(after.startsWith(before));
}

void tst_ContainerWriter::appendLeavesNoTemporaryFiles()
{
    const QString file = path(QStringLiteral("clean.traxo"));
    QVERIFY(testcommon::buildContainer(file,
        { testcommon::containerSection(QStringLiteral("one"), {}),
            testcommon::containerSection(QStringLiteral("two"), {}) }));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "clean.traxo" });
}

void tst_ContainerWriter::appendToReadOnlyContainerKeepsIt()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only files");
    const QString file = path(QStringLiteral("ro.traxo"));
    QVERIFY(testcommon::buildContainer(file, { testcommon::containerSection(QStringLiteral("one"), {}) }));
    const QByteArray before = testcommon::readFile(file);
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
    ContainerWriter writer;
    const bool appended = writer.appendSection(file, testcommon::containerSection(QStringLiteral("two"), {}));
    QVERIFY(!appended);
    QVERIFY(!writer.errorString().isEmpty());
    QCOMPARE(testcommon::readFile(file), before);
}

void tst_ContainerWriter::appendAfterMissingLineFeed()
{
    // A container cut after its header text (no line feed): the section must
    // still start on a line of its own.
    const QString file = path(QStringLiteral("nolf.traxo"));
    QVERIFY(testcommon::writeFile(file, "%<--! $TRAXO_PDF [version:1.0]"));
    ContainerWriter writer;
    QVERIFY(writer.appendSection(
        file, testcommon::containerSection(QStringLiteral("one"), { embeddedFile(QStringLiteral("a"), "a") })));
    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getNumSections(), 1);
    QCOMPARE(parser.getNumFiles(), 2);
    const SectionTag section = *parser.getSection(0);
    QCOMPARE(section.position - section.left, 31); // right after the inserted line feed
    QCOMPARE(*parser.getFileContent(0), QByteArray("a"));
}

void tst_ContainerWriter::blockLayout()
{
    // Marker line, a line feed, the stored bytes, a line feed: offset 1 and
    // blocksize = cfilesize + 2, so the next marker starts the next line.
    const QByteArray block
        = ContainerWriter::fileBlock(embeddedFile(QStringLiteral("a.txt"), "hello", ContainerWriter::None));
    QCOMPARE(block,
        QByteArray("%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:text/plain][filename:a.txt][desc:test file a.txt]"
                   "[comment:][compression:none][filesize:5][cfilesize:5][blocksize:7][offset:1]"
                   "[md5file:5d41402abc4b2a76b9719d911017c592][md5cfile:]-->\nhello\n"));
}

void tst_ContainerWriter::chainsToTheNewestSection()
{
    const QString file = path(QStringLiteral("chain.traxo"));
    QVERIFY(testcommon::buildContainer(file, { testcommon::containerSection(QStringLiteral("one"), {}) }));
    ContainerWriter writer;
    QVERIFY(writer.appendFiles(file, { embeddedFile(QStringLiteral("loose"), "l") }));
    QVERIFY(writer.appendSection(file, testcommon::containerSection(QStringLiteral("two"), {})));
    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getNumSections(), 2);
    const SectionTag newest = *parser.getSection(0);
    const SectionTag oldest = *parser.getSection(1);
    QCOMPARE(newest.previousmarker, newest.position - oldest.position);
    QCOMPARE(newest.previousmd5, oldest.md5section);
    QCOMPARE(newest.index, 1);
    QCOMPARE(oldest.index, 0);
    // The loose file lies between the sections and belongs to neither.
    QCOMPARE(parser.getSectionlessFiles().size(), 1);
    QCOMPARE(parser.getSectionlessFiles().at(0).filename, QStringLiteral("loose"));
    QCOMPARE(newest.position - newest.left,
        oldest.position - oldest.left + oldest.size + parser.getFile(1)->taglen + parser.getFile(1)->blocksize + 1);
}

namespace {

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random { quint32(size) };
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

QByteArray withMarkerTextAt(QByteArray bytes, qsizetype at)
{
    return bytes.replace(at, 13, "%<--! $TRAXO_");
}

} // namespace

void tst_ContainerWriter::streamedFileKeepsItsBytes_data()
{
    // The data of a file stored as it is is copied and scanned by a second
    // thread while this one hashes it; a pipe, which cannot be read twice, is
    // scanned and copied by the reading thread.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("pipe");
    QTest::addColumn<QString>("stored"); // compression, or empty when refused

    const QByteArray large = randomBytes((9 << 20) + 5);
    QTest::addRow("many pieces, as it is") << large << false << "none";
    QTest::addRow("marker text far behind the copy") << withMarkerTextAt(large, (6 << 20) + 3) << false << "flate";
    QTest::addRow("marker text across two pieces") << withMarkerTextAt(large, (64 << 10) - 5) << false << "flate";
    QTest::addRow("a pipe, as it is") << randomBytes(60000) << true << "none";
    QTest::addRow("a pipe with marker text cannot be read again")
        << withMarkerTextAt(randomBytes(60000), 100) << true << QString();
}

void tst_ContainerWriter::streamedFileKeepsItsBytes()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, pipe);
    QFETCH(QString, stored);
    const QString file = path(QStringLiteral("streamed.traxo"));
    QVERIFY(testcommon::buildContainer(file, {}));
    const QByteArray before = testcommon::readFile(file);
    ContainerWriter::File source = embeddedFile(QStringLiteral("data.bin"), QByteArray(), ContainerWriter::None);
    source.sourcePath = path(QStringLiteral("data.bin"));
    source.sourceSize = content.size();
    int ends[2] = { -1, -1 };
    if (pipe) {
        // The content fits the pipe's buffer, so no thread needs to feed it.
        QCOMPARE(::pipe(ends), 0);
        QCOMPARE(::write(ends[1], content.constData(), size_t(content.size())), ssize_t(content.size()));
        ::close(ends[1]);
        source.sourcePath = QStringLiteral("/proc/self/fd/%1").arg(ends[0]);
        source.sourceSize = -1;
    }
    QVERIFY(pipe || testcommon::writeFile(source.sourcePath, content));
    ContainerWriter writer;
    const bool appended = writer.appendSection(file, testcommon::containerSection(QStringLiteral("one"), { source }));
    if (pipe)
        ::close(ends[0]);
    if (stored.isEmpty()) {
        QVERIFY(!appended);
        QVERIFY(writer.errorString().contains(QStringLiteral("cannot read")));
        QCOMPARE(testcommon::readFile(file), before);
        return;
    }
    QVERIFY2(appended, qPrintable(writer.errorString()));
    QCOMPARE(testcommon::checkContainer(file).invalid, 0);
    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getFile(0)->compression, stored);
    QCOMPARE(parser.getFile(0)->md5file,
        QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));
    QCOMPARE(*parser.getFileContent(0), content);
}

void tst_ContainerWriter::sourceChangedWhileReadIsRefused_data()
{
    QTest::addColumn<bool>("rewritten"); // in place by another thread, else shorter than announced
    QTest::addColumn<int>("compression");

    QTest::addRow("shorter than announced") << false << int(ContainerWriter::None);
    QTest::addRow("rewritten in place, as it is") << true << int(ContainerWriter::None);
    QTest::addRow("rewritten in place, compressed") << true << int(ContainerWriter::Flate);
}

void tst_ContainerWriter::sourceChangedWhileReadIsRefused()
{
    QFETCH(bool, rewritten);
    QFETCH(int, compression);
    const QString file = path(QStringLiteral("changed.traxo"));
    QVERIFY(testcommon::buildContainer(file, {}));
    const QByteArray before = testcommon::readFile(file);
    const QByteArray content = randomBytes(16 << 20);
    ContainerWriter::File source
        = embeddedFile(QStringLiteral("data.bin"), QByteArray(), ContainerWriter::Compression(compression));
    source.sourcePath = path(QStringLiteral("data.bin"));
    source.sourceSize = content.size() + (rewritten ? 0 : 1);
    QVERIFY(testcommon::writeFile(source.sourcePath, content));

    // The same size all along: only the file's times tell the change.
    std::atomic<bool> done { false };
    std::atomic<int> writes { 0 };
    std::thread rewriting;
    const int handle = ::open(QFile::encodeName(source.sourcePath).constData(), O_WRONLY);
    QVERIFY(handle >= 0);
    if (rewritten) {
        rewriting = std::thread([&done, &writes, handle] {
            for (char byte = 0; !done; ++byte)
                writes += ::pwrite(handle, &byte, 1, 1000) == 1;
        });
        while (writes == 0)
            std::this_thread::yield();
    }
    ContainerWriter writer;
    const bool appended = writer.appendSection(file, testcommon::containerSection(QStringLiteral("one"), { source }));
    done = true;
    if (rewriting.joinable())
        rewriting.join();
    ::close(handle);
    QVERIFY(!appended);
    QVERIFY2(
        writer.errorString().contains(QStringLiteral("changed while being read")), qPrintable(writer.errorString()));
    QCOMPARE(testcommon::readFile(file), before);
}

QTEST_GUILESS_MAIN(tst_ContainerWriter)
#include "tst_containerwriter.moc"
