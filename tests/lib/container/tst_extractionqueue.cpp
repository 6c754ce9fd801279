#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "containerbuilder.h"
#include "testcommon.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace traxo;

namespace {

using testcommon::embeddedFile;

QByteArray pseudoRandom(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = char(seed >> 24);
    }
    return data;
}

// Writes a container holding one section with the given files and no summary.
bool buildContainer(const QString &path, const QList<testcommon::ContainerFile> &files)
{
    testcommon::ContainerSection section = testcommon::containerSection(QStringLiteral("extraction test"), files);
    section.withSummary = false;
    return testcommon::buildContainer(path, { section });
}

// Changes the value of an integer field of the first marker that has it,
// keeping the marker well-formed.
bool patchField(const QString &path, const QByteArray &field, const std::function<qint64(qint64)> &change)
{
    QByteArray bytes = testcommon::readFile(path);
    const QRegularExpression re(QStringLiteral("\\[%1:(\\d+)\\]").arg(QString::fromLatin1(field)));
    const QRegularExpressionMatch match = re.match(QString::fromLatin1(bytes));
    if (!match.hasMatch())
        return false;
    const QByteArray value = QByteArray::number(change(match.captured(1).toLongLong()));
    bytes.replace(match.capturedStart(1), match.capturedLength(1), value);
    return testcommon::writeFile(path, bytes);
}

struct Outcome
{
    QList<QPair<int, bool>> processed;
    QList<int> percents;
    QStringList errors;
    int slices = 0;
};

Outcome drain(ExtractionQueue &queue)
{
    Outcome outcome;
    QObject context;
    QObject::connect(&queue, &ExtractionQueue::fileProcessed, &context,
        [&](int id, bool ok) { outcome.processed << qMakePair(id, ok); });
    QObject::connect(&queue, &ExtractionQueue::percentFinishedChanged, &context,
        [&](int percent, const QString &) { outcome.percents << percent; });
    QObject::connect(
        &queue, qOverload<const QString &, int>(&LogSource::log), &context, [&](const QString &message, int level) {
            if (level == LogError)
                outcome.errors << message;
        });
    while (outcome.slices < 100000) {
        ++outcome.slices;
        if (!queue.process())
            break;
        // A background commit flushes to disk: no reason to spin meanwhile.
        if (queue.isCommitting())
            QThread::msleep(1);
    }
    return outcome;
}

} // namespace

class tst_ExtractionQueue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void extractsTheContent_data();
    void extractsTheContent();
    void brokenStoredData_data();
    void brokenStoredData();
    void unknownIdsQueueNothing();
    void extractionFollowsFileOrder();
    void progressIsMonotonicAndReaches100();
    void cancelInTheMiddleLeavesNoPartialFile();
    void stoppingDuringABackgroundCommitKeepsTheWholeFile_data();
    void stoppingDuringABackgroundCommitKeepsTheWholeFile();
    void unwritableTargetIsReported();
    void withoutParserNothingIsQueued();

private:
    QStringList leftovers() const;
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_container;
};

void tst_ExtractionQueue::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_container = m_dir->filePath(QStringLiteral("history.traxo"));
}

// Every file in the folder other than the container and the named targets.
QStringList tst_ExtractionQueue::leftovers() const
{
    QStringList names = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("history.traxo"));
    return names;
}

void tst_ExtractionQueue::extractsTheContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("slices");

    QTest::addRow("empty file stored none") << QByteArray() << int(ContainerWriter::None) << 1;
    QTest::addRow("empty file stored flate") << QByteArray() << int(ContainerWriter::Flate) << 1;
    QTest::addRow("text stored none") << QByteArray("a line of text\n") << int(ContainerWriter::None) << 1;
    QTest::addRow("text stored flate") << QByteArray("a line of text\n") << int(ContainerWriter::Flate) << 1;
    QTest::addRow("exactly one slice stored none") << pseudoRandom(100000, 1) << int(ContainerWriter::None) << 1;
    QTest::addRow("one byte over a slice stored none") << pseudoRandom(100001, 2) << int(ContainerWriter::None) << 2;
    QTest::addRow("random data over several slices stored flate")
        << pseudoRandom(350000, 3) << int(ContainerWriter::Flate) << 4;
    // 12 MiB of a repeated line inflate to more than the 1 MiB buffer per slice.
    QTest::addRow("highly compressible data stored flate")
        << QByteArray("0.000 0.000 0.000\n").repeated(700000) << int(ContainerWriter::Flate) << -1;
}

void tst_ExtractionQueue::extractsTheContent()
{
    QFETCH(QByteArray, content);
    QFETCH(int, compression);
    QFETCH(int, slices);

    QVERIFY(buildContainer(m_container,
        { embeddedFile(QStringLiteral("first.txt"), "before", ContainerWriter::None),
            embeddedFile(QStringLiteral("target.bin"), content, ContainerWriter::Compression(compression)) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumFiles(), 2);

    const QString target = m_dir->filePath(QStringLiteral("out.bin"));
    // A background commit gives the same file, only over more calls.
    for (const bool background : { false, true }) {
        QFile::remove(target);
        ExtractionQueue queue(&parser);
        queue.setBackgroundCommit(background);
        queue.addExtractees({ { 1, target } });
        QCOMPARE(queue.count(), 1);
        const Outcome outcome = drain(queue);
        QCOMPARE(outcome.errors, QStringList());
        QCOMPARE(outcome.processed, (QList<QPair<int, bool>>({ { 1, true } })));
        if (slices > 0 && !background)
            QCOMPARE(outcome.slices, slices);
        QCOMPARE(outcome.percents.last(), 100);
        QCOMPARE(outcome.percents.count(100), 1);
        QVERIFY(QFileInfo::exists(target));
        QVERIFY(testcommon::readFile(target) == content);
        QCOMPARE(leftovers(), QStringList({ QStringLiteral("out.bin") }));
    }
}

void tst_ExtractionQueue::brokenStoredData_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");

    QTest::addRow("a changed byte in flate data") << "flip"
                                                  << "Could not decompress data from file %1";
    QTest::addRow("flate stream cut short") << "cfilesize -4"
                                            << "Could not decompress data from file %1";
    QTest::addRow("flate stream with a byte after its end") << "cfilesize +1"
                                                            << "Could not decompress data from file %1";
    QTest::addRow("stored data claimed far beyond the container") << "cfilesize 2147483647"
                                                                  << "Could not read from file %1";
    QTest::addRow("unknown compression") << "compression"
                                         << "Could not decompress data from file %1";
}

void tst_ExtractionQueue::brokenStoredData()
{
    QFETCH(QString, damage);
    QFETCH(QString, message);

    const QByteArray content = QByteArray("measurement 17.5 K\n").repeated(20000);
    QVERIFY(buildContainer(m_container, { embeddedFile(QStringLiteral("log.txt"), content, ContainerWriter::Flate) }));
    if (damage == QLatin1String("flip")) {
        TraxoParser parser;
        QVERIFY(parser.open(m_container));
        const FileTag file = parser.getFiles().first();
        QByteArray bytes = testcommon::readFile(m_container);
        const int at = file.position + file.taglen + file.offset + file.cfilesize / 2;
        bytes[at] = char(bytes[at] ^ 0x10);
        QVERIFY(testcommon::writeFile(m_container, bytes));
    } else if (damage == QLatin1String("compression")) {
        QByteArray bytes = testcommon::readFile(m_container);
        QVERIFY(bytes.contains("[compression:flate]"));
        bytes.replace("[compression:flate]", "[compression:lzma1]");
        QVERIFY(testcommon::writeFile(m_container, bytes));
    } else {
        const QString how = damage.section(' ', 1);
        QVERIFY(patchField(m_container, "cfilesize", [&how](qint64 v) {
            return how.startsWith('+') || how.startsWith('-') ? v + how.toLongLong() : how.toLongLong();
        }));
    }

    // An older file stands under the target name: a failed extraction keeps it.
    const QString target = m_dir->filePath(QStringLiteral("log.txt"));
    QVERIFY(testcommon::writeFile(target, "previous version"));

    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumFiles(), 1);
    ExtractionQueue queue(&parser);
    queue.addExtractees({ { 0, target } });
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.processed, (QList<QPair<int, bool>>({ { 0, false } })));
    QCOMPARE(outcome.errors, QStringList({ message.arg(target) }));
    QCOMPARE(testcommon::readFile(target), QByteArray("previous version"));
    QCOMPARE(leftovers(), QStringList({ QStringLiteral("log.txt") }));
    QVERIFY(!queue.process());
}

void tst_ExtractionQueue::unknownIdsQueueNothing()
{
    QVERIFY(buildContainer(m_container,
        { embeddedFile(QStringLiteral("a.txt"), "alpha", ContainerWriter::Flate),
            embeddedFile(QStringLiteral("b.txt"), "beta", ContainerWriter::None) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ExtractionQueue queue(&parser);
    queue.addExtractees({ { 7, m_dir->filePath(QStringLiteral("seven")) },
        { -1, m_dir->filePath(QStringLiteral("none")) }, { 1, m_dir->filePath(QStringLiteral("b.out")) } });
    QCOMPARE(queue.count(), 1);
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.processed, (QList<QPair<int, bool>>({ { 1, true } })));
    QCOMPARE(leftovers(), QStringList({ QStringLiteral("b.out") }));
    QCOMPARE(testcommon::readFile(m_dir->filePath(QStringLiteral("b.out"))), QByteArray("beta"));
}

void tst_ExtractionQueue::extractionFollowsFileOrder()
{
    QList<ContainerWriter::File> files;
    QHash<int, QString> targets;
    for (int i = 0; i < 6; ++i) {
        files << embeddedFile(QStringLiteral("f%1").arg(i), QByteArray::number(i).repeated(1000 * i),
            i % 2 ? ContainerWriter::Flate : ContainerWriter::None);
        targets.insert(5 - i, m_dir->filePath(QStringLiteral("out%1").arg(5 - i)));
    }
    QVERIFY(buildContainer(m_container, files));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ExtractionQueue queue(&parser);
    queue.addExtractees(targets);
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.processed,
        (QList<QPair<int, bool>>({ { 0, true }, { 1, true }, { 2, true }, { 3, true }, { 4, true }, { 5, true } })));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(testcommon::readFile(targets.value(i)), QByteArray::number(i).repeated(1000 * i));
}

void tst_ExtractionQueue::progressIsMonotonicAndReaches100()
{
    QVERIFY(buildContainer(m_container,
        { embeddedFile(QStringLiteral("a.bin"), pseudoRandom(260000, 4), ContainerWriter::None),
            embeddedFile(QStringLiteral("b.bin"), pseudoRandom(5, 4), ContainerWriter::None),
            embeddedFile(QStringLiteral("c.bin"), pseudoRandom(230000, 5), ContainerWriter::Flate) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ExtractionQueue queue(&parser);
    queue.addExtractees({ { 0, m_dir->filePath(QStringLiteral("a")) }, { 1, m_dir->filePath(QStringLiteral("b")) },
        { 2, m_dir->filePath(QStringLiteral("c")) } });
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.processed.size(), 3);
    // 3 slices for a, 1 for b, 3 for c (its stored bytes exceed 200000).
    QCOMPARE(outcome.percents.size(), 7);
    for (int i = 1; i < outcome.percents.size(); ++i)
        QVERIFY2(outcome.percents.at(i - 1) <= outcome.percents.at(i), "progress went backwards");
    QCOMPARE(outcome.percents.last(), 100);
    QCOMPARE(outcome.percents.count(100), 1);
}

void tst_ExtractionQueue::cancelInTheMiddleLeavesNoPartialFile()
{
    QVERIFY(buildContainer(m_container,
        { embeddedFile(QStringLiteral("big.bin"), pseudoRandom(400000, 6), ContainerWriter::None),
            embeddedFile(QStringLiteral("big.gz"), pseudoRandom(400000, 7), ContainerWriter::Flate) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    const QString kept = m_dir->filePath(QStringLiteral("kept.bin"));
    QVERIFY(testcommon::writeFile(kept, "older content"));

    for (int file = 0; file < 2; ++file) {
        ExtractionQueue queue(&parser);
        QSignalSpy processed(&queue, &ExtractionQueue::fileProcessed);
        queue.addExtractees({ { file, kept } });
        QVERIFY(queue.process());
        QVERIFY(queue.process());
        queue.cancelExtraction();
        QVERIFY(queue.isEmpty());
        QVERIFY(!queue.process());
        QCOMPARE(processed.size(), 0);
        QCOMPARE(testcommon::readFile(kept), QByteArray("older content"));
        QCOMPARE(leftovers(), QStringList({ QStringLiteral("kept.bin") }));
    }
}

void tst_ExtractionQueue::stoppingDuringABackgroundCommitKeepsTheWholeFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("cancelled") << "cancel";
    QTest::addRow("refilled") << "reset";
    QTest::addRow("destroyed") << "destroy";
}

// A commit cannot be taken back: stopping waits for it, and the file it
// completed stands whole under its name, without a temporary file beside it.
void tst_ExtractionQueue::stoppingDuringABackgroundCommitKeepsTheWholeFile()
{
    QFETCH(QString, how);
    const QByteArray content = pseudoRandom(150000, 8);
    QVERIFY(buildContainer(m_container,
        { embeddedFile(QStringLiteral("a.bin"), content, ContainerWriter::None),
            embeddedFile(QStringLiteral("b.bin"), "never written", ContainerWriter::None) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    const QString kept = m_dir->filePath(QStringLiteral("kept.bin"));
    QVERIFY(testcommon::writeFile(kept, "older content"));
    auto queue = std::make_unique<ExtractionQueue>(&parser);
    queue->setBackgroundCommit(true);
    queue->addExtractees({ { 0, kept }, { 1, m_dir->filePath(QStringLiteral("b.bin")) } });
    QVERIFY(queue->process());
    QVERIFY(!queue->isCommitting());
    QVERIFY(queue->process());
    QVERIFY(queue->isCommitting());
    if (how == QLatin1String("cancel"))
        queue->cancelExtraction();
    else if (how == QLatin1String("reset"))
        queue->reset(&parser);
    else
        queue.reset();
    if (queue) {
        QVERIFY(!queue->isCommitting());
        QVERIFY(!queue->process());
    }
    QCOMPARE(testcommon::readFile(kept), content);
    QCOMPARE(leftovers(), QStringList({ QStringLiteral("kept.bin") }));
}

void tst_ExtractionQueue::unwritableTargetIsReported()
{
    QVERIFY(buildContainer(m_container,
        { embeddedFile(QStringLiteral("e.txt"), QByteArray(), ContainerWriter::None),
            embeddedFile(QStringLiteral("f.txt"), "fine", ContainerWriter::None) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    const QString nowhere = m_dir->filePath(QStringLiteral("no/such/folder/e.txt"));
    ExtractionQueue queue(&parser);
    queue.addExtractees({ { 0, nowhere }, { 1, m_dir->filePath(QStringLiteral("f.txt")) } });
    const Outcome outcome = drain(queue);
    // Even an empty file cannot be reported written when its target could not be created.
    QCOMPARE(outcome.processed, (QList<QPair<int, bool>>({ { 0, false }, { 1, true } })));
    QCOMPARE(outcome.errors, QStringList({ QStringLiteral("Could not write to file file %1").arg(nowhere) }));
    QCOMPARE(outcome.percents.last(), 100);
}

void tst_ExtractionQueue::withoutParserNothingIsQueued()
{
    ExtractionQueue queue;
    queue.addExtractees({ { 0, m_dir->filePath(QStringLiteral("x")) } });
    QVERIFY(queue.isEmpty());
    QVERIFY(!queue.process());
    QCOMPARE(leftovers(), QStringList());
}

QTEST_GUILESS_MAIN(tst_ExtractionQueue)
#include "tst_extractionqueue.moc"
