#include "container/containermarkers.h"
#include "container/traxoparser.h"

#include "containerbuilder.h"
#include "testcommon.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace traxo;
using testcommon::embeddedFile;

// Thousands of damaged containers, made from sound ones with a fixed seed so
// that a failure can be replayed. Each must open or fail cleanly, and what
// the parser reports must stay self-consistent; a hang ends in the CTest
// timeout.
class tst_ContainerFuzz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mutatedContainers_data();
    void mutatedContainers();

public:
    // Thousands of small files are written: on memory-backed storage when
    // the machine has it, so that the test stays quick on a busy disk.
    tst_ContainerFuzz()
        : m_dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                ? QStringLiteral("/dev/shm/tst_containerfuzz-XXXXXX")
                : QDir::tempPath() + QStringLiteral("/tst_containerfuzz-XXXXXX"))
    {
    }

private:
    QByteArray mutate(QByteArray bytes, QRandomGenerator &random) const;
    void checkConsistency(TraxoParser &parser, bool opened, int fileSize);

    QTemporaryDir m_dir;
    QList<QByteArray> m_seeds;
};

void tst_ContainerFuzz::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("seed.traxo"));
    QByteArray binary;
    for (int i = 0; i < 3000; ++i)
        binary += char((i * 7919) >> 3);
    QVERIFY(testcommon::buildContainer(path,
        { testcommon::containerSection(QStringLiteral("first ]\\ step"),
              { embeddedFile(QStringLiteral("a.txt"), "alpha\nbeta\n"),
                  embeddedFile(QStringLiteral("b.bin"), binary, ContainerWriter::None) }),
            testcommon::containerSection(QStringLiteral("second"), { embeddedFile(QStringLiteral("c"), binary) }),
            testcommon::containerSection(QStringLiteral("third"), {}) },
        "%PDF-1.4\n"));
    ContainerWriter writer;
    QVERIFY(writer.appendFiles(path, { embeddedFile(QStringLiteral("tail"), "tail\n") }));
    m_seeds << testcommon::readFile(path);
    for (const char *name : { "testdata/two_sections.traxo", "testdata/pdf_tail.pdf" })
        m_seeds << testcommon::readFile(QFINDTESTDATA(name));
    for (const QByteArray &seed : qAsConst(m_seeds))
        QVERIFY(!seed.isEmpty());
}

QByteArray tst_ContainerFuzz::mutate(QByteArray bytes, QRandomGenerator &random) const
{
    static const QList<QByteArray> fragments = {
        TRAXO_SECTION_PREFIX,
        TRAXO_EMBEDDEDFILE_PREFIX,
        "]",
        "\\",
        "-->",
        "\n",
        QByteArray(1, '\0'),
        "[left:",
        "[previousmarker:0]",
        "[blocksize:]",
        "[blocksize:-1]",
        "99999999999",
        "2147483647",
        "4294967296",
        "[md5section:]",
        "\xff\xfe",
        "%<--! $TRAXO_PDF [version:1.0]\n",
    };
    const int edits = 1 + int(random.bounded(4));
    for (int edit = 0; edit < edits && !bytes.isEmpty(); ++edit) {
        const int at = int(random.bounded(bytes.size()));
        switch (random.bounded(7)) {
        case 0: // flip a few bytes
            for (int i = 0; i < 1 + int(random.bounded(8)); ++i)
                bytes[int(random.bounded(bytes.size()))] = char(random.bounded(256));
            break;
        case 1: // cut the file short
            bytes.truncate(at);
            break;
        case 2: // insert marker syntax
            bytes.insert(at, fragments.at(int(random.bounded(fragments.size()))));
            break;
        case 3: { // rewrite a number in a marker
            const qsizetype colon = bytes.indexOf(':', at);
            if (colon < 0)
                break;
            const qsizetype close = bytes.indexOf(']', colon);
            if (close < 0 || close - colon > 40)
                break;
            static const QList<QByteArray> numbers
                = { "", "0", "1", "-1", "2147483647", "2147483648", "99999999999999999999", "4294967297" };
            bytes.replace(colon + 1, close - colon - 1, numbers.at(int(random.bounded(numbers.size()))));
            break;
        }
        case 4: { // duplicate a slice, such as a marker line
            const int length = int(random.bounded(qMin<qsizetype>(600, bytes.size() - at) + 1));
            bytes.insert(int(random.bounded(bytes.size())), bytes.mid(at, length));
            break;
        }
        case 5: // remove a slice
            bytes.remove(at, int(random.bounded(200)));
            break;
        default: { // overwrite with random bytes
            const int length = int(random.bounded(64));
            for (int i = 0; i < length && at + i < bytes.size(); ++i)
                bytes[at + i] = char(random.bounded(256));
            break;
        }
        }
    }
    return bytes;
}

void tst_ContainerFuzz::checkConsistency(TraxoParser &parser, bool opened, int fileSize)
{
    if (!opened) {
        QCOMPARE(parser.getNumSections(), 0);
        QCOMPARE(parser.getNumFiles(), 0);
        return;
    }
    const QList<SectionTag> sections = parser.getSections();
    for (int i = 0; i < sections.size(); ++i) {
        QCOMPARE(sections.at(i).id, i);
        QVERIFY(sections.at(i).position > 0 && sections.at(i).position < fileSize);
        if (i > 0)
            QVERIFY(sections.at(i).position < sections.at(i - 1).position);
        QCOMPARE(parser.getBytes(sections.at(i).position - 1, 1), QByteArray("%"));
    }
    const QList<FileTag> files = parser.getFiles();
    for (int i = 0; i < files.size(); ++i) {
        const FileTag &file = files.at(i);
        QCOMPARE(file.id, i);
        if (i > 0)
            QVERIFY(file.position > files.at(i - 1).position);
        QCOMPARE(parser.getBytes(file.position - 1, 1), QByteArray("%"));
        const QSharedPointer<QByteArray> stored = parser.getCompressedFile(i);
        if (stored)
            QCOMPARE(stored->size(), file.cfilesize);
        const QSharedPointer<QByteArray> content = parser.getFileContent(i);
        if (content)
            QCOMPARE(content->size(), file.filesize);
        parser.calcChecksumsForFile(i);
    }
    int inSections = 0;
    for (int i = 0; i < sections.size(); ++i)
        inSections += int(parser.getFilesInSection(i).size());
    QVERIFY(parser.getSectionlessFiles().size() <= files.size());
    QVERIFY(parser.getSectionlessFiles().size() + inSections >= files.size());
}

void tst_ContainerFuzz::mutatedContainers_data()
{
    QTest::addColumn<int>("seedIndex");
    QTest::addColumn<quint32>("randomSeed");
    QTest::addColumn<int>("count");

    QTest::addRow("writer-built pdf-like container") << 0 << quint32(20261208) << 1500;
    QTest::addRow("hand-made two-section container") << 1 << quint32(4242) << 1000;
    QTest::addRow("hand-made pdf with trailing marker") << 2 << quint32(77) << 500;
}

void tst_ContainerFuzz::mutatedContainers()
{
    QFETCH(int, seedIndex);
    QFETCH(quint32, randomSeed);
    QFETCH(int, count);

    QRandomGenerator random(randomSeed);
    const QString path = m_dir.filePath(QStringLiteral("mutant.traxo"));
    int opened = 0;
    for (int round = 0; round < count; ++round) {
        const QByteArray bytes = mutate(m_seeds.at(seedIndex), random);
        QVERIFY(testcommon::writeFile(path, bytes));
        for (const ParseMode mode : { ParseStrict, ParseTolerant }) {
            TraxoParser parser(mode);
            const bool ok = parser.open(path);
            opened += ok ? 1 : 0;
            checkConsistency(parser, ok, int(bytes.size()));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("round %1, mode %2").arg(round).arg(int(mode))));
        }
    }
    // Most mutants keep their header: the parser really walked them.
    QVERIFY(opened > count);
}

QTEST_GUILESS_MAIN(tst_ContainerFuzz)
#include "tst_containerfuzz.moc"
