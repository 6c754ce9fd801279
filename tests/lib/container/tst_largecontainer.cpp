#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "query/traxofindquery.h"
#include "summary/summarycreator.h"

#include "testcommon.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace traxo;

namespace {

constexpr qint64 JustOverTwoGiB = (qint64(1) << 31) + 64;
constexpr qint64 JustOverFourGiB = (qint64(1) << 32) + 64;
// md5sum of JustOverTwoGiB zero bytes: head -c 2147483712 /dev/zero | md5sum
constexpr char ZerosMd5[] = "36198ef8533be9c261b7774893a7b2bb";
// The section checksum of the container written for JustOverTwoGiB, with
// md5section zeroed (a python script composed the marker lines, then
// { cat prefix; head -c 2147483712 /dev/zero; cat suffix; } | md5sum).
constexpr char SectionMd5[] = "bcb4ff47e2da4dd3dd01a1e785abb856";
// echo -n tail | md5sum
constexpr char TailMd5[] = "7aea2552dfe7eb84b9443b6fc9ba6e01";
constexpr char ZeroMd5[] = "00000000000000000000000000000000";

QByteArray noneFileMarker(const QByteArray &name, qint64 size, const QByteArray &md5)
{
    const QByteArray digits = QByteArray::number(size);
    return "%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:raw][filename:" + name
        + "][desc:][comment:][compression:none][filesize:" + digits + "][cfilesize:" + digits
        + "][blocksize:" + QByteArray::number(size + 2) + "][offset:1][md5file:" + md5 + "][md5cfile:]-->\n";
}

QByteArray sectionMarker(qint64 left, qint64 size, const QByteArray &md5)
{
    return "%<--! $TRAXO_SECTION [version:1.0][creator:test][title:big][left:" + QByteArray::number(left) + "][size:"
        + QByteArray::number(size) + "][index:0][md5section:" + md5 + "][previousmd5:][previousmarker:]-->\n";
}

// One section holding "zeros.raw" (dataSize zero bytes stored "none", left
// as a hole in the file so that it costs no disk) and "tail.txt" after it.
// Every offset is computed here from the bytes written, not by the parser.
struct LargeContainer
{
    qint64 dataSize = 0;
    qint64 dataStart = 0;
    qint64 tailPosition = 0;
    qint64 sectionPosition = 0;
    qint64 left = 0;
    qint64 size = 0;
    qint64 fileSize = 0;
    QByteArray tailMarker;

    bool write(const QString &path, qint64 zeros, const QByteArray &zerosMd5, const QByteArray &sectionMd5)
    {
        dataSize = zeros;
        const QByteArray header = "%<--! $TRAXO_PDF [version:1.0]\n";
        const QByteArray first = noneFileMarker("zeros.raw", dataSize, zerosMd5);
        tailMarker = noneFileMarker("tail.txt", 4, TailMd5);
        const QByteArray afterData = "\n" + tailMarker + "tail\n";
        dataStart = header.size() + first.size();
        tailPosition = dataStart + dataSize + 2;
        sectionPosition = dataStart + dataSize + afterData.size() + 1;
        left = sectionPosition - header.size();
        // The size field counts its own digits: settle it in two rounds.
        for (int round = 0; round < 2; ++round)
            size = sectionPosition - 1 + sectionMarker(left, size, ZeroMd5).size() - header.size();
        const QByteArray last = sectionMarker(left, size, sectionMd5);
        fileSize = sectionPosition - 1 + last.size();

        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(header + first) != header.size() + first.size())
            return false;
        // resize() leaves a hole: the zeros are never written.
        if (!file.resize(dataStart + dataSize) || !file.seek(dataStart + dataSize))
            return false;
        return file.write(afterData + last) == afterData.size() + last.size() && file.size() == fileSize;
    }
};

QStringList drainValidation(ValidationQueue &queue)
{
    QStringList verdicts;
    QObject::connect(&queue, &ValidationQueue::sectionProcessed, [&verdicts](int id, bool valid) {
        verdicts << QStringLiteral("section %1 %2").arg(id).arg(valid ? "valid" : "invalid");
    });
    QObject::connect(&queue, &ValidationQueue::fileProcessed, [&verdicts](int id, bool valid) {
        verdicts << QStringLiteral("file %1 %2").arg(id).arg(valid ? "valid" : "invalid");
    });
    while (queue.process()) { }
    return verdicts;
}

bool extract(TraxoParser &parser, int id, const QString &target)
{
    ExtractionQueue queue(&parser);
    bool written = false;
    QObject::connect(&queue, &ExtractionQueue::fileProcessed, [&written](int, bool valid) { written = valid; });
    queue.addExtractees({ { id, target } });
    while (queue.process()) { }
    return written;
}

// True when the file holds exactly size zero bytes.
bool holdsZeros(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    const QByteArray zeros(4 << 20, '\0');
    QByteArray chunk;
    qint64 done = 0;
    while (!(chunk = file.read(zeros.size())).isEmpty()) {
        if (std::memcmp(chunk.constData(), zeros.constData(), size_t(chunk.size())) != 0)
            return false;
        done += chunk.size();
    }
    return done == size;
}

} // namespace

class tst_LargeContainer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void markersBeyondTheIntRange_data();
    void markersBeyondTheIntRange();
    void validatesAndExtractsOverTwoGiB();

private:
    QTemporaryDir m_dir;
};

void tst_LargeContainer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_LargeContainer::markersBeyondTheIntRange_data()
{
    QTest::addColumn<qint64>("zeros");

    QTest::addRow("data past 2^31") << JustOverTwoGiB;
    QTest::addRow("data past 2^32") << JustOverFourGiB;
}

// Opening reads the marker lines only; the small file behind the hole is
// read, checked and extracted at its 64-bit offset.
void tst_LargeContainer::markersBeyondTheIntRange()
{
    QFETCH(qint64, zeros);
    const QString path = m_dir.filePath(QStringLiteral("sparse.traxo"));
    LargeContainer layout;
    QVERIFY(layout.write(path, zeros, ZeroMd5, ZeroMd5));

    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(path));
    QCOMPARE(parser.getNumSections(), 1);
    QCOMPARE(parser.getNumFiles(), 2);
    const SectionTag section = parser.getSections().first();
    QCOMPARE(section.position, layout.sectionPosition);
    QCOMPARE(section.left, layout.left);
    QCOMPARE(section.size, layout.size);
    const FileTag data = parser.getFiles().at(0);
    QCOMPARE(data.filesize, zeros);
    QCOMPARE(data.blocksize, zeros + 2);
    const FileTag tail = parser.getFiles().at(1);
    QCOMPARE(tail.position, layout.tailPosition);
    QCOMPARE(parser.getFilesInSection(0).size(), 2);
    QCOMPARE(parser.getBytes(layout.tailPosition - 1, layout.tailMarker.size()), layout.tailMarker);
    QCOMPARE(*parser.getFileContent(1), QByteArray("tail"));

    const Validatee entry = ValidationQueue::validateeFromFile(data);
    QCOMPARE(entry.start, layout.dataStart);
    QCOMPARE(entry.length, zeros);
    ValidationQueue queue(&parser);
    queue.addValidatees({ 1 }, {});
    QCOMPARE(drainValidation(queue), QStringList({ "file 1 valid" }));

    const QString byQueue = m_dir.filePath(QStringLiteral("queue-tail.txt"));
    QVERIFY(extract(parser, 1, byQueue));
    QCOMPARE(testcommon::readFile(byQueue), QByteArray("tail"));
    const QString inOneCall = m_dir.filePath(QStringLiteral("call-tail.txt"));
    QVERIFY(parser.writeFileToDisk(1, inOneCall));
    QCOMPARE(testcommon::readFile(inOneCall), QByteArray("tail"));

    // Sizes reach the summaries whole.
    SummaryCreator creator;
    const QList<Summary> summaries = creator.createSummaries(parser);
    QVERIFY(!summaries.isEmpty());
    QCOMPARE(summaries.first().files.first().UncompressedSize, zeros);
    // What a search asks of each container it walks.
    QVERIFY(TraxoFindQuery(QStringLiteral("f:filename == zeros.raw")).matches(parser));
}

// The one test that really reads more than 2 GiB: every checksum of the
// container is checked and the large file written out whole.
void tst_LargeContainer::validatesAndExtractsOverTwoGiB()
{
    const QString path = m_dir.filePath(QStringLiteral("large.traxo"));
    LargeContainer layout;
    QVERIFY(layout.write(path, JustOverTwoGiB, ZerosMd5, SectionMd5));

    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(path));
    QCOMPARE(parser.getNumFiles(), 2);
    ValidationQueue queue(&parser);
    QSignalSpy percents(&queue, &ValidationQueue::percentFinishedChanged);
    queue.repopulate(&parser);
    QCOMPARE(drainValidation(queue), QStringList({ "section 0 valid", "file 0 valid", "file 1 valid" }));
    QCOMPARE(percents.constLast().first().toInt(), 100);

    const QString target = m_dir.filePath(QStringLiteral("zeros.raw"));
    QVERIFY(extract(parser, 0, target));
    QVERIFY(holdsZeros(target, JustOverTwoGiB));
    QVERIFY(QFile::remove(target));
}

QTEST_GUILESS_MAIN(tst_LargeContainer)
#include "tst_largecontainer.moc"
