#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "container/validationsweep.h"
#include "containerbuilder.h"
#include "testcommon.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace traxo;

namespace {

using testcommon::embeddedFile;

// A section without a summary, so that ids are exactly the files listed.
testcommon::ContainerSection bareSection(const QString &title, const QList<testcommon::ContainerFile> &files)
{
    testcommon::ContainerSection section = testcommon::containerSection(title, files);
    section.withSummary = false;
    return section;
}

QByteArray pseudoRandom(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = char(seed >> 24);
    }
    return data;
}

QString md5Of(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Runs the queue to its end and records what it reported, in order.
struct Outcome
{
    QStringList verdicts; // "section 2 valid", "file 0 invalid", "saved a.txt valid"
    QList<int> percents;
    int slices = 0;
};

Outcome drain(ValidationQueue &queue, int maxSlices = 10000)
{
    Outcome outcome;
    auto word = [](bool valid) { return valid ? QStringLiteral("valid") : QStringLiteral("invalid"); };
    QObject context;
    QObject::connect(&queue, &ValidationQueue::sectionProcessed, &context,
        [&](int id, bool valid) { outcome.verdicts << QStringLiteral("section %1 %2").arg(id).arg(word(valid)); });
    QObject::connect(&queue, &ValidationQueue::fileProcessed, &context,
        [&](int id, bool valid) { outcome.verdicts << QStringLiteral("file %1 %2").arg(id).arg(word(valid)); });
    QObject::connect(&queue, &ValidationQueue::savedFileProcessed, &context, [&](const QString &name, bool valid) {
        outcome.verdicts << QStringLiteral("saved %1 %2").arg(QFileInfo(name).fileName(), word(valid));
    });
    QObject::connect(&queue, &ValidationQueue::percentFinishedChanged, &context,
        [&](int percent, const QString &) { outcome.percents << percent; });
    while (outcome.slices < maxSlices) {
        ++outcome.slices;
        if (!queue.process())
            break;
    }
    return outcome;
}

} // namespace

class tst_ValidationQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void init();
    void repopulateGoesOldestSectionFirstThenFiles();
    void sliceStopsExactlyAtTheTag();
    void tagAtTheSectionStart();
    void tampering_data();
    void tampering();
    void claimedLengthBeyondTheContainerFailsAtOnce();
    void addValidateesTakesOnlyTheListedIds_data();
    void addValidateesTakesOnlyTheListedIds();
    void savedFiles_data();
    void savedFiles();
    void progressIsMonotonicAndReaches100();
    void cancelInTheMiddle();
    void stopWatchReportsTheRun();
    void cancelStopsEveryWorker_data();
    void cancelStopsEveryWorker();
    void autoSpreadsOnlyInflating_data();
    void autoSpreadsOnlyInflating();

private:
    // Every test runs in slices on this thread, threaded on two lanes,
    // threaded with process() never waiting (as a window polls it), and
    // threaded on one thread that pairs the hashes: each verdict must be the
    // same.
    void prepare(ValidationQueue &queue) const
    {
        queue.setThreaded(m_threaded);
        queue.setWaitMilliseconds(m_waitMilliseconds);
        queue.setSpread(m_spread);
    }
    bool m_threaded = false;
    int m_waitMilliseconds = ValidationQueue::WaitMilliseconds;
    ValidationSweep::Spread m_spread = ValidationSweep::Spread::Lanes;
    QString buildThreeSections();
    QString m_container;
    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_ValidationQueue::initTestCase_data()
{
    QTest::addColumn<bool>("threaded");
    QTest::addColumn<int>("waitMilliseconds");
    QTest::addColumn<ValidationSweep::Spread>("spread");
    // Lanes, not Auto: these containers hold little to inflate, and Auto
    // would check them all on one thread.
    const int wait = ValidationQueue::WaitMilliseconds;
    const auto lanes = ValidationSweep::Spread::Lanes;
    QTest::addRow("in slices") << false << wait << lanes;
    QTest::addRow("threaded") << true << wait << lanes;
    QTest::addRow("threaded, polled without waiting") << true << 0 << lanes;
    QTest::addRow("threaded, hashes paired on one thread") << true << wait << ValidationSweep::Spread::OneThread;
}

void tst_ValidationQueue::init()
{
    QFETCH_GLOBAL(bool, threaded);
    QFETCH_GLOBAL(int, waitMilliseconds);
    QFETCH_GLOBAL(ValidationSweep::Spread, spread);
    m_threaded = threaded;
    m_waitMilliseconds = waitMilliseconds;
    m_spread = spread;
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_container = m_dir->filePath(QStringLiteral("history.traxo"));
}

// Three sections (ids 2, 1, 0 from the oldest) and files 0..3 in file order.
QString tst_ValidationQueue::buildThreeSections()
{
    const QList<testcommon::ContainerSection> sections = {
        bareSection(QStringLiteral("acquire"),
            { embeddedFile(QStringLiteral("raw.bin"), pseudoRandom(150000, 1), ContainerWriter::None) }),
        bareSection(QStringLiteral("filter"),
            { embeddedFile(QStringLiteral("filtered.txt"), QByteArray("filtered sample\n").repeated(9000),
                ContainerWriter::Flate) }),
        bareSection(QString(),
            { embeddedFile(QStringLiteral("empty.txt"), QByteArray(), ContainerWriter::None),
                embeddedFile(QStringLiteral("empty.gz"), QByteArray(), ContainerWriter::Flate) }),
    };
    QString error;
    testcommon::buildContainer(m_container, sections, QByteArray(), &error);
    return error;
}

void tst_ValidationQueue::repopulateGoesOldestSectionFirstThenFiles()
{
    QCOMPARE(buildThreeSections(), QString());
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumSections(), 3);
    QCOMPARE(parser.getNumFiles(), 4);

    ValidationQueue queue(nullptr, 100000);

    prepare(queue);
    queue.repopulate(&parser);
    QCOMPARE(queue.count(), 7);
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.verdicts,
        QStringList({ "section 2 valid", "section 1 valid", "section 0 valid", "file 0 valid", "file 1 valid",
            "file 2 valid", "file 3 valid" }));
    QVERIFY(queue.isEmpty());
    QVERIFY(!queue.process());
}

void tst_ValidationQueue::sliceStopsExactlyAtTheTag()
{
    // Grow the file until the section's tag lies 120000 bytes after the
    // section's start: one full slice, then a 20000-byte slice ends at it.
    int contentSize = 119000;
    SectionTag section;
    for (int attempt = 0; attempt < 5; ++attempt) {
        QVERIFY(testcommon::buildContainer(m_container,
            { bareSection(QStringLiteral("calibrate"),
                { embeddedFile(QStringLiteral("c.bin"), pseudoRandom(contentSize, 5), ContainerWriter::None) }) }));
        TraxoParser parser;
        QVERIFY(parser.open(m_container));
        QCOMPARE(parser.getNumSections(), 1);
        section = parser.getSections().first();
        if (section.left == 120000)
            break;
        contentSize += 120000 - section.left;
    }
    QCOMPARE(section.left, 120000);
    const int tagLength = int(section.validationTag.size());
    // The writer ends a section with its marker line, so nothing follows the tag.
    QCOMPARE(section.size, section.left + tagLength);

    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ValidationQueue queue(&parser, 100000);
    prepare(queue);
    queue.addValidatees({}, { 0 });
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.verdicts, QStringList({ "section 0 valid" }));
    // Progress after each slice: 100000 bytes, then 20000 more and the tag,
    // which completes the section. A slice running over the tag would have
    // hashed the stored checksum and failed.
    if (!m_threaded) {
        QCOMPARE(outcome.percents, QList<int>({ int(100000 * 100.0 / section.size), 100 }));
        QCOMPARE(outcome.slices, 2);
    }

    // A slice size that does not divide the way to the tag evenly.
    ValidationQueue small(&parser, 7000);
    prepare(small);
    small.addValidatees({}, { 0 });
    QCOMPARE(drain(small).verdicts, QStringList({ "section 0 valid" }));
}

void tst_ValidationQueue::tagAtTheSectionStart()
{
    // A section that is nothing but its marker line: the tag comes first in
    // its first slice.
    QVERIFY(testcommon::buildContainer(m_container, { bareSection(QStringLiteral("bare"), {}) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumSections(), 1);
    ValidationQueue queue(&parser, 5);
    prepare(queue);
    queue.addValidatees({}, { 0 });
    QCOMPARE(drain(queue).verdicts, QStringList({ "section 0 valid" }));
}

void tst_ValidationQueue::tampering_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("verdicts");

    const QStringList allValid = { "section 2 valid", "section 1 valid", "section 0 valid", "file 0 valid",
        "file 1 valid", "file 2 valid", "file 3 valid" };
    QTest::addRow("nothing changed") << "none" << allValid;
    QStringList v = allValid;
    v[0] = "section 2 invalid";
    v[3] = "file 0 invalid";
    QTest::addRow("a byte of stored data of a none file") << "data 0" << v;
    v = allValid;
    v[1] = "section 1 invalid";
    v[4] = "file 1 invalid";
    QTest::addRow("a byte of stored data of a flate file") << "data 1" << v;
    v = allValid;
    v[1] = "section 1 invalid";
    QTest::addRow("the md5section digits of the middle section") << "md5section 1" << v;
    v = allValid;
    v[2] = "section 0 invalid";
    QTest::addRow("the md5section digits of the newest section") << "md5section 0" << v;
    v = allValid;
    v[0] = "section 2 invalid";
    QTest::addRow("a byte of the marker's title") << "title" << v;
}

void tst_ValidationQueue::tampering()
{
    QFETCH(QString, change);
    QFETCH(QStringList, verdicts);

    QCOMPARE(buildThreeSections(), QString());
    QByteArray bytes = testcommon::readFile(m_container);
    {
        TraxoParser parser;
        QVERIFY(parser.open(m_container));
        if (change.startsWith(QLatin1String("data "))) {
            const FileTag file = *parser.getFile(change.mid(5).toInt());
            const int at = file.position + file.taglen + file.offset + 10;
            bytes[at] = char(bytes[at] ^ 0x01);
        } else if (change.startsWith(QLatin1String("md5section "))) {
            const SectionTag section = *parser.getSection(change.mid(11).toInt());
            const QByteArray field = "[md5section:" + section.md5section.toLatin1() + "]";
            const int at = int(bytes.indexOf(field, section.position));
            QVERIFY(at > 0);
            // Another digit, still lower-case hex, so the marker still reads.
            const int digit = at + 12 + 5;
            bytes[digit] = bytes[digit] == '0' ? '1' : '0';
        } else if (change == QLatin1String("title")) {
            const int at = int(bytes.indexOf("[title:acquire]"));
            QVERIFY(at > 0);
            bytes[at + 7] = 'A';
        }
    }
    QVERIFY(testcommon::writeFile(m_container, bytes));

    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumSections(), 3);
    ValidationQueue queue(&parser, 100000);
    prepare(queue);
    queue.repopulate(&parser);
    QCOMPARE(drain(queue).verdicts, verdicts);
}

void tst_ValidationQueue::claimedLengthBeyondTheContainerFailsAtOnce()
{
    QVERIFY(testcommon::buildContainer(m_container,
        { bareSection(
            QStringLiteral("s"), { embeddedFile(QStringLiteral("ten.bin"), "0123456789", ContainerWriter::None) }) }));
    QByteArray bytes = testcommon::readFile(m_container);
    QVERIFY(bytes.contains("[filesize:10]"));
    bytes.replace("[filesize:10]", "[filesize:2147483647]");
    QVERIFY(testcommon::writeFile(m_container, bytes));

    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumFiles(), 1);
    QCOMPARE(parser.getFiles().first().filesize, 2147483647);
    ValidationQueue queue(&parser, 100000);
    prepare(queue);
    queue.addValidatees({ 0 }, {});
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.verdicts, QStringList({ "file 0 invalid" }));
    QCOMPARE(outcome.slices, 1);
    QCOMPARE(outcome.percents, QList<int>({ 100 }));
}

void tst_ValidationQueue::addValidateesTakesOnlyTheListedIds_data()
{
    QTest::addColumn<QList<int>>("fileIds");
    QTest::addColumn<QList<int>>("sectionIds");
    QTest::addColumn<QStringList>("verdicts");

    QTest::addRow("one section, no files") << QList<int>() << QList<int>({ 1 }) << QStringList({ "section 1 valid" });
    QTest::addRow("sections oldest first whatever the list order")
        << QList<int>() << QList<int>({ 0, 2 }) << QStringList({ "section 2 valid", "section 0 valid" });
    QTest::addRow("files in file order after the sections") << QList<int>(
        { 3, 0 }) << QList<int>({ 0 }) << QStringList({ "section 0 valid", "file 0 valid", "file 3 valid" });
    QTest::addRow("unknown and none ids are skipped")
        << QList<int>({ -1, 9 }) << QList<int>({ -1, 7, 1 }) << QStringList({ "section 1 valid" });
    QTest::addRow("nothing listed") << QList<int>() << QList<int>() << QStringList();
}

void tst_ValidationQueue::addValidateesTakesOnlyTheListedIds()
{
    QFETCH(QList<int>, fileIds);
    QFETCH(QList<int>, sectionIds);
    QFETCH(QStringList, verdicts);

    QCOMPARE(buildThreeSections(), QString());
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ValidationQueue queue(&parser, 0);
    prepare(queue);
    QCOMPARE(queue.sliceSize(), 100000);
    queue.addValidatees(fileIds, sectionIds);
    QCOMPARE(queue.count(), verdicts.size());
    QCOMPARE(drain(queue).verdicts, verdicts);
}

void tst_ValidationQueue::savedFiles_data()
{
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("valid");

    const QByteArray content = pseudoRandom(250000, 9);
    QTest::addRow("the same bytes") << content << true << true;
    QTest::addRow("missing") << QByteArray() << false << false;
    QTest::addRow("one byte shorter") << content.left(content.size() - 1) << true << false;
    QTest::addRow("empty") << QByteArray() << true << false;
    QTest::addRow("longer: only the expected size is hashed") << content + "trailing" << true << true;
    QByteArray changed = content;
    changed[200000] = char(changed[200000] ^ 0x40);
    QTest::addRow("one byte changed") << changed << true << false;
}

void tst_ValidationQueue::savedFiles()
{
    QFETCH(QByteArray, onDisk);
    QFETCH(bool, exists);
    QFETCH(bool, valid);

    const QByteArray expected = pseudoRandom(250000, 9);
    const QString path = m_dir->filePath(QStringLiteral("saved.bin"));
    if (exists)
        QVERIFY(testcommon::writeFile(path, onDisk));

    ValidationQueue queue(nullptr, 100000);

    prepare(queue);
    QSignalSpy logSpy(&queue, qOverload<const QString &, int>(&LogSource::log));
    queue.addValidatees(QList<SavedFile>({ SavedFile { path, md5Of(expected), int(expected.size()) } }));
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.verdicts, QStringList({ QStringLiteral("saved saved.bin ") + (valid ? "valid" : "invalid") }));
    QCOMPARE(outcome.percents.last(), 100);
    const QString line = (valid ? QStringLiteral("Checksum of file %1 is correct")
                                : QStringLiteral("Checksum of file %1 is incorrect"))
                             .arg(path);
    bool logged = false;
    for (const QList<QVariant> &args : logSpy)
        logged = logged || (args.at(0).toString() == line && args.at(1).toInt() == 0);
    QVERIFY2(logged, qPrintable(line));
}

void tst_ValidationQueue::progressIsMonotonicAndReaches100()
{
    QCOMPARE(buildThreeSections(), QString());
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ValidationQueue queue(&parser, 30000);
    prepare(queue);
    queue.repopulate(&parser);
    const Outcome outcome = drain(queue);
    if (!m_threaded)
        QVERIFY(outcome.percents.size() > 5);
    for (int i = 1; i < outcome.percents.size(); ++i)
        QVERIFY2(outcome.percents.at(i - 1) <= outcome.percents.at(i), "progress went backwards");
    QCOMPARE(outcome.percents.last(), 100);
    QCOMPARE(outcome.percents.count(100), 1);
    QCOMPARE(outcome.slices, outcome.percents.size());
}

void tst_ValidationQueue::cancelInTheMiddle()
{
    if (m_threaded)
        QSKIP("threaded, this small container may be done in one call: see cancelStopsEveryWorker");
    QCOMPARE(buildThreeSections(), QString());
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ValidationQueue queue(&parser, 10000);
    prepare(queue);
    queue.repopulate(&parser);
    QSignalSpy sections(&queue, &ValidationQueue::sectionProcessed);
    QSignalSpy files(&queue, &ValidationQueue::fileProcessed);
    QSignalSpy progress(&queue, &ValidationQueue::percentFinishedChanged);
    QVERIFY(queue.process());
    QVERIFY(queue.process());
    QCOMPARE(progress.size(), 2);
    QVERIFY(progress.last().at(0).toInt() < 100);
    queue.cancelValidation();
    QVERIFY(queue.isEmpty());
    QVERIFY(!queue.process());
    QCOMPARE(sections.size(), 0);
    QCOMPARE(files.size(), 0);

    // The queue is usable again, from a clean start.
    queue.addValidatees({ 0 }, {});
    const Outcome outcome = drain(queue);
    QCOMPARE(outcome.verdicts, QStringList({ "file 0 valid" }));
    QCOMPARE(outcome.percents.last(), 100);
}

void tst_ValidationQueue::stopWatchReportsTheRun()
{
    QCOMPARE(buildThreeSections(), QString());
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    ValidationQueue queue(&parser, 100000);
    prepare(queue);
    QSignalSpy logSpy(&queue, qOverload<const QString &>(&LogSource::log));
    queue.repopulate(&parser);
    drain(queue);
    QCOMPARE(logSpy.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^validation finished: \\d+\\.\\d\\ds\\n$"))
                .match(logSpy.first().at(0).toString())
                .hasMatch());
}

// Cancelling, clearing or destroying a queue stops its workers and waits for
// them: none may go on reading a container its owner has let go.
void tst_ValidationQueue::cancelStopsEveryWorker_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("cancelled") << "cancel";
    QTest::addRow("refilled") << "reset";
    QTest::addRow("destroyed") << "destroy";
}

void tst_ValidationQueue::cancelStopsEveryWorker()
{
    QFETCH(QString, how);
    if (!m_threaded)
        QSKIP("only a threaded queue has workers");
    QVERIFY(testcommon::buildContainer(m_container,
        { bareSection(QStringLiteral("big"),
            { embeddedFile(QStringLiteral("big.bin"), QByteArray(96 << 20, 'x'), ContainerWriter::None) }) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    auto queue = std::make_unique<ValidationQueue>(&parser);
    prepare(*queue);
    queue->repopulate(&parser);
    QSignalSpy sections(queue.get(), &ValidationQueue::sectionProcessed);
    QVERIFY(queue->process());
    QCOMPARE(sections.size(), 0);
    QVERIFY(ValidationSweep::runningThreads() > 0);
    if (how == QLatin1String("cancel"))
        queue->cancelValidation();
    else if (how == QLatin1String("reset"))
        queue->reset(&parser);
    else
        queue.reset();
    QCOMPARE(ValidationSweep::runningThreads(), 0);
}

void tst_ValidationQueue::autoSpreadsOnlyInflating_data()
{
    QTest::addColumn<int>("noneBytes");
    QTest::addColumn<int>("flateBytes");
    QTest::addColumn<ValidationSweep::Spread>("spread");
    QTest::addColumn<bool>("lanes");

    const auto automatic = ValidationSweep::Spread::Auto;
    QTest::addRow("stored data beside a small compressed file") << (8 << 20) << 4096 << automatic << false;
    QTest::addRow("compressed data alone") << 0 << (1 << 20) << automatic << true;
    QTest::addRow("compressed data beside as much stored") << (1 << 20) << (1 << 20) << automatic << true;
    QTest::addRow("one thread asked for") << 0 << (1 << 20) << ValidationSweep::Spread::OneThread << false;
    QTest::addRow("lanes asked for") << (8 << 20) << 0 << ValidationSweep::Spread::Lanes << true;
}

// The choice is made from the entries alone; each verdict must still hold.
void tst_ValidationQueue::autoSpreadsOnlyInflating()
{
    QFETCH(int, noneBytes);
    QFETCH(int, flateBytes);
    QFETCH(ValidationSweep::Spread, spread);
    QFETCH(bool, lanes);
    if (!m_threaded || m_spread != ValidationSweep::Spread::Lanes || m_waitMilliseconds == 0)
        QSKIP("the spread is chosen here, once");

    QList<testcommon::ContainerFile> files;
    if (noneBytes > 0)
        files << embeddedFile(QStringLiteral("stored.bin"), pseudoRandom(noneBytes, 1), ContainerWriter::None);
    if (flateBytes > 0)
        files << embeddedFile(QStringLiteral("packed.txt"), QByteArray(flateBytes, 'a'), ContainerWriter::Flate);
    QVERIFY(testcommon::buildContainer(m_container, { bareSection(QStringLiteral("data"), files) }));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QList<Validatee> entries;
    for (const SectionTag &section : parser.getSections())
        entries << ValidationQueue::validateeFromSection(section);
    for (const FileTag &file : parser.getFiles())
        entries << ValidationQueue::validateeFromFile(file);
    ValidationSweep sweep(parser.fileHandle(), entries, spread);
    QCOMPARE(sweep.usesLanes(), lanes);
    QList<bool> verdicts;
    while (verdicts.size() < entries.size())
        verdicts += sweep.takeVerdicts(1000);
    QCOMPARE(verdicts, QList<bool>(entries.size(), true));
}

QTEST_GUILESS_MAIN(tst_ValidationQueue)
#include "tst_validationqueue.moc"
