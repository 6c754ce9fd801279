#include "container/traxoparser.h"
#include "containerbuilder.h"
#include "testcommon.h"

#include <QDir>
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

} // namespace

// TraxoParser::writeFileToDisk extracts one embedded file in a single call.
class tst_WriteFileToDisk : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesTheContent_data();
    void writesTheContent();
    void failures_data();
    void failures();
    void unknownIndex();

private:
    bool build(const QByteArray &content, ContainerWriter::Compression compression);
    QStringList leftovers() const;
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_container;
};

void tst_WriteFileToDisk::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_container = m_dir->filePath(QStringLiteral("history.traxo"));
}

bool tst_WriteFileToDisk::build(const QByteArray &content, ContainerWriter::Compression compression)
{
    testcommon::ContainerSection section = testcommon::containerSection(
        QStringLiteral("one file"), { embeddedFile(QStringLiteral("data.bin"), content, compression) });
    section.withSummary = false;
    return testcommon::buildContainer(m_container, { section });
}

QStringList tst_WriteFileToDisk::leftovers() const
{
    QStringList names = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("history.traxo"));
    return names;
}

void tst_WriteFileToDisk::writesTheContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("compression");

    QTest::addRow("empty file stored none") << QByteArray() << int(ContainerWriter::None);
    QTest::addRow("empty file stored flate") << QByteArray() << int(ContainerWriter::Flate);
    QTest::addRow("text stored flate") << QByteArray("x y z\n").repeated(1000) << int(ContainerWriter::Flate);
    // More than one 4 MiB chunk of stored bytes.
    QTest::addRow("random data over two chunks stored none")
        << pseudoRandom(4194304 + 1000, 1) << int(ContainerWriter::None);
    QTest::addRow("random data over two chunks stored flate")
        << pseudoRandom(4194304 + 1000, 2) << int(ContainerWriter::Flate);
}

void tst_WriteFileToDisk::writesTheContent()
{
    QFETCH(QByteArray, content);
    QFETCH(int, compression);
    QVERIFY(build(content, ContainerWriter::Compression(compression)));

    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QSignalSpy logSpy(&parser, qOverload<const QString &, int>(&LogSource::log));
    const QString target = m_dir->filePath(QStringLiteral("out.bin"));
    // An older file of that name is replaced.
    QVERIFY(testcommon::writeFile(target, "older and longer content than some rows"));
    QVERIFY(parser.writeFileToDisk(0, target));
    QVERIFY(testcommon::readFile(target) == content);
    QCOMPARE(leftovers(), QStringList({ QStringLiteral("out.bin") }));

    QCOMPARE(logSpy.size(), 3);
    QCOMPARE(logSpy.at(0).at(0).toString(), QStringLiteral("[writeFileToDisk] file: %1").arg(target));
    const FileTag file = parser.getFiles().first();
    QCOMPARE(logSpy.at(1).at(0).toString(),
        QStringLiteral("original/embedded file size: %1/%2 MB (%3/%4 bytes)")
            .arg(QString::number(content.size() / 1048576.0, 'f', 2),
                QString::number(file.cfilesize / 1048576.0, 'f', 2))
            .arg(content.size())
            .arg(file.cfilesize));
    QVERIFY(logSpy.at(2).at(0).toString().startsWith(QLatin1String("[writeFileToDisk] total: ")));
    for (const QList<QVariant> &args : logSpy)
        QCOMPARE(args.at(1).toInt(), int(LogInfo));
}

void tst_WriteFileToDisk::failures_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("error");

    QTest::addRow("a changed byte in flate data") << "flip"
                                                  << "*** ERROR: Could not decompress data from file %1";
    QTest::addRow("flate stream cut short") << "[cfilesize:-3]"
                                            << "*** ERROR: Could not decompress data from file %1";
    QTest::addRow("flate stream with a byte after its end") << "[cfilesize:+1]"
                                                            << "*** ERROR: Could not decompress data from file %1";
    QTest::addRow("2 GiB claimed over a few stored bytes")
        << "[cfilesize:=2147483647]"
        << "*** ERROR: the stored data of data.bin lies outside the container.";
    QTest::addRow("unknown compression") << "lzma"
                                         << "*** ERROR: invalid compression method.";
    QTest::addRow("target folder missing") << "folder" << QString();
}

void tst_WriteFileToDisk::failures()
{
    QFETCH(QString, damage);
    QFETCH(QString, error);

    QVERIFY(build(QByteArray("a few words\n").repeated(3000), ContainerWriter::Flate));
    QByteArray bytes = testcommon::readFile(m_container);
    if (damage == QLatin1String("flip")) {
        TraxoParser parser;
        QVERIFY(parser.open(m_container));
        const FileTag file = parser.getFiles().first();
        const int at = file.position + file.taglen + file.offset + file.cfilesize / 3;
        bytes[at] = char(bytes[at] ^ 0x08);
    } else if (damage == QLatin1String("lzma")) {
        bytes.replace("[compression:flate]", "[compression:lzma]");
    } else if (damage.startsWith(QLatin1String("[cfilesize:"))) {
        TraxoParser parser;
        QVERIFY(parser.open(m_container));
        const int stored = parser.getFiles().first().cfilesize;
        const QString how = damage.mid(11).chopped(1);
        const qint64 value = how.startsWith('=') ? how.mid(1).toLongLong() : stored + how.toLongLong();
        const QByteArray field = "[cfilesize:" + QByteArray::number(stored) + "]";
        QVERIFY(bytes.contains(field));
        bytes.replace(field, "[cfilesize:" + QByteArray::number(value) + "]");
    }
    QVERIFY(testcommon::writeFile(m_container, bytes));

    const QString target = damage == QLatin1String("folder") ? m_dir->filePath(QStringLiteral("missing/out.txt"))
                                                             : m_dir->filePath(QStringLiteral("out.txt"));
    if (damage != QLatin1String("folder"))
        QVERIFY(testcommon::writeFile(target, "kept"));

    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    QCOMPARE(parser.getNumFiles(), 1);
    QSignalSpy logSpy(&parser, qOverload<const QString &, int>(&LogSource::log));
    QVERIFY(!parser.writeFileToDisk(0, target));

    QStringList errors;
    for (const QList<QVariant> &args : logSpy) {
        if (args.at(1).toInt() == LogError)
            errors << args.at(0).toString();
    }
    QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList({ error.arg(target) }));
    if (damage == QLatin1String("folder")) {
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(leftovers(), QStringList());
    } else {
        QCOMPARE(testcommon::readFile(target), QByteArray("kept"));
        QCOMPARE(leftovers(), QStringList({ QStringLiteral("out.txt") }));
    }
}

void tst_WriteFileToDisk::unknownIndex()
{
    QVERIFY(build("content", ContainerWriter::None));
    TraxoParser parser;
    QVERIFY(parser.open(m_container));
    const QString target = m_dir->filePath(QStringLiteral("out.txt"));
    QVERIFY(!parser.writeFileToDisk(1, target));
    QVERIFY(!parser.writeFileToDisk(-1, target));
    QVERIFY(!QFileInfo::exists(target));
}

QTEST_GUILESS_MAIN(tst_WriteFileToDisk)
#include "tst_writefiletodisk.moc"
