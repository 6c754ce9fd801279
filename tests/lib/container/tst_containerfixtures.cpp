#include "container/traxoparser.h"

#include "testcommon.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace traxo;

// Containers laid out by hand in testdata/make_fixtures.py, not by
// ContainerWriter. Every expected number below was printed by that script:
// positions and sizes from len(), digests from hashlib.md5 (as md5sum prints
// them), compressed sizes from zlib.compress. They pin the reader to the
// format itself rather than to our own writer.
class tst_ContainerFixtures : public QObject
{
    Q_OBJECT

private slots:
    void fixtureBytesUnchanged_data();
    void fixtureBytesUnchanged();
    void twoSections();
    void sectionPlacement_data();
    void sectionPlacement();
    void filePlacement_data();
    void filePlacement();
    void cutInTheMiddleOfABlock();
    void brokenChainLeavesOlderFilesSectionless_data();
    void brokenChainLeavesOlderFilesSectionless();
    void markerAfterPdfTrailerOnItsLine();

private:
    static QString fixture(const char *name);
};

QString tst_ContainerFixtures::fixture(const char *name)
{
    return QFINDTESTDATA(QStringLiteral("testdata/") + QLatin1String(name));
}

static QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

static QStringList names(const QList<FileTag> &files)
{
    QStringList result;
    for (const FileTag &file : files)
        result << file.filename;
    return result;
}

void tst_ContainerFixtures::fixtureBytesUnchanged_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("md5");

    QTest::addRow("two sections") << "two_sections.traxo" << 2379 << "3aadf2ad1e711546e0100b930a705e9e";
    QTest::addRow("cut in a block") << "cut_in_block.traxo" << 1326 << "64a8e90cac23b602f3775d692ea67a29";
    QTest::addRow("broken chain") << "broken_chain.traxo" << 2379 << "116a7a68f88526db0ff122812bdd0b6a";
    QTest::addRow("pdf tail") << "pdf_tail.pdf" << 521 << "32d5899c73699a3f67ff1542f321074a";
}

void tst_ContainerFixtures::fixtureBytesUnchanged()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QString, md5);

    const QByteArray bytes = testcommon::readFile(fixture(name.toLatin1().constData()));
    QCOMPARE(bytes.size(), size);
    QCOMPARE(md5Hex(bytes), md5);
}

void tst_ContainerFixtures::twoSections()
{
    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(fixture("two_sections.traxo")));
    QCOMPARE(names(parser.getFiles()),
        QStringList({ "readme.txt", "a.txt", "ws_summary.xml", "b.dat", "ws_summary.xml", "after.txt" }));
    QCOMPARE(parser.getNumSections(), 2);
    QCOMPARE(names(parser.getFilesInSection(0)), QStringList({ "b.dat", "ws_summary.xml" }));
    QCOMPARE(names(parser.getFilesInSection(1)), QStringList({ "a.txt", "ws_summary.xml" }));
    QCOMPARE(names(parser.getSectionlessFiles()), QStringList({ "readme.txt", "after.txt" }));

    const SectionTag newest = *parser.getSection(0);
    QCOMPARE(newest.title, QStringLiteral("second"));
    QCOMPARE(newest.creator, QStringLiteral("make_fixtures.py"));
    QCOMPARE(newest.previousmarker, 1131);
    QCOMPARE(newest.previousmd5, QStringLiteral("ea377ca52d9fd7fb18f6fe02c7a08de3"));
    QCOMPARE(parser.getSection(1)->title, QStringLiteral("first \\] step"));
    QCOMPARE(parser.getSection(1)->previousmarker, -1);

    QCOMPARE(*parser.getFileContent(1), QByteArray("hello\n"));
    QCOMPARE(*parser.getFileContent(2), QByteArray("<workflowstep><title>one</title></workflowstep>\n"));
    QByteArray binary;
    for (int i = 0; i < 40; ++i)
        for (int b = 0; b < 256; ++b)
            binary += char(b);
    QCOMPARE(*parser.getFileContent(3), binary);
    QCOMPARE(*parser.getFileContent(5), QByteArray());
    QCOMPARE(parser.calcChecksumsForFile(3),
        qMakePair(
            QStringLiteral("1c3c4512babf9264fb3faea24b3bbdff"), QStringLiteral("c3cd26e07e555c0116db237fbc06d99c")));
    QCOMPARE(parser.calcChecksumsForFile(1), qMakePair(QStringLiteral("b1946ac92492d2347c6235b4d2611184"), QString()));
}

void tst_ContainerFixtures::sectionPlacement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("md5section");

    QTest::addRow("newest section") << "two_sections.traxo" << int(ParseStrict) << 0 << 1904 << 962 << 1161
                                    << "4682369a3c501cd268a1fe486a498173";
    QTest::addRow("oldest section") << "two_sections.traxo" << int(ParseStrict) << 1 << 773 << 262 << 700
                                    << "ea377ca52d9fd7fb18f6fe02c7a08de3";
    QTest::addRow("section of a pdf, marker after the trailer")
        << "pdf_tail.pdf" << int(ParseTolerant) << 0 << 339 << 102 << 419 << "83b5ae786a746aa2a038a1ca2caf27d0";
}

// Each section's position, extent and stored checksum as the script wrote
// them, and the checksum recomputed from the bytes with the validation tag.
void tst_ContainerFixtures::sectionPlacement()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(int, id);
    QFETCH(int, position);
    QFETCH(int, start);
    QFETCH(int, size);
    QFETCH(QString, md5section);

    TraxoParser parser(ParseMode(mode), nullptr);
    QVERIFY(parser.open(fixture(name.toLatin1().constData())));
    const QSharedPointer<SectionTag> section = parser.getSection(id);
    QVERIFY(section);
    QCOMPARE(section->id, id);
    QCOMPARE(section->position, position);
    QCOMPARE(section->position - section->left, start);
    QCOMPARE(section->size, size);
    QCOMPARE(section->md5section, md5section);
    const QByteArray bytes = parser.getBytes(start, size);
    QCOMPARE(parser.getBytes(position - 1, 1), QByteArray("%"));
    QCOMPARE(bytes.mid(position - start + section->taglen - 3, 4), QByteArray("-->\n"));
    QByteArray hashed = bytes;
    hashed.replace(position - start, section->validationTag.size(), section->validationTag);
    QCOMPARE(md5Hex(hashed), md5section);
}

void tst_ContainerFixtures::filePlacement_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("cfilesize");
    QTest::addColumn<QString>("md5file");

    QTest::addRow("loose file before the sections") << 0 << 32 << 13 << md5Hex("loose before\n");
    QTest::addRow("file stored none") << 1 << 263 << 6 << "b1946ac92492d2347c6235b4d2611184";
    QTest::addRow("summary stored flate") << 2 << 479 << 41 << "e07dc7e8872b97705f7f9b6f689c79e2";
    QTest::addRow("binary file stored flate") << 3 << 963 << 372 << "c3cd26e07e555c0116db237fbc06d99c";
    QTest::addRow("empty file after the sections") << 5 << 2124 << 8 << "d41d8cd98f00b204e9800998ecf8427e";
}

void tst_ContainerFixtures::filePlacement()
{
    QFETCH(int, id);
    QFETCH(int, position);
    QFETCH(int, cfilesize);
    QFETCH(QString, md5file);

    TraxoParser parser(ParseStrict);
    QVERIFY(parser.open(fixture("two_sections.traxo")));
    const FileTag file = *parser.getFile(id);
    QCOMPARE(file.position, position);
    QCOMPARE(file.cfilesize, cfilesize);
    QCOMPARE(file.md5file, md5file);
    QCOMPARE(file.offset, 1);
    QCOMPARE(file.blocksize, cfilesize + 2);
    // The tag runs from "<" through "-->", and the block follows it.
    QCOMPARE(parser.getBytes(file.position + file.taglen - 3, 4), QByteArray("-->\n"));
    QCOMPARE(parser.getCompressedFile(id)->size(), cfilesize);
}

void tst_ContainerFixtures::cutInTheMiddleOfABlock()
{
    // Cut 100 bytes into the stored data of b.dat: the newest section marker
    // is gone, so the older section is the only one; b.dat's marker is read
    // but its data is not there and must not be handed out in part.
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(fixture("cut_in_block.traxo")));
    QCOMPARE(names(parser.getFiles()), QStringList({ "readme.txt", "a.txt", "ws_summary.xml", "b.dat" }));
    QCOMPARE(parser.getNumSections(), 1);
    QCOMPARE(parser.getSection(0)->position, 773);
    QCOMPARE(names(parser.getSectionlessFiles()), QStringList({ "readme.txt", "b.dat" }));
    QVERIFY(parser.getCompressedFile(3).isNull());
    QVERIFY(parser.getFileContent(3).isNull());
    QCOMPARE(parser.calcChecksumsForFile(3), (QPair<QString, QString>()));
    QCOMPARE(*parser.getFileContent(1), QByteArray("hello\n"));
}

void tst_ContainerFixtures::brokenChainLeavesOlderFilesSectionless_data()
{
    QTest::addColumn<int>("mode");
    QTest::addRow("strict") << int(ParseStrict);
    QTest::addRow("tolerant") << int(ParseTolerant);
}

void tst_ContainerFixtures::brokenChainLeavesOlderFilesSectionless()
{
    QFETCH(int, mode);

    TraxoParser parser((ParseMode(mode)));
    QSignalSpy spy(&parser, qOverload<const QString &, int>(&TraxoParser::log));
    QVERIFY(parser.open(fixture("broken_chain.traxo")));
    QCOMPARE(parser.getNumSections(), 1);
    QCOMPARE(parser.getSection(0)->title, QStringLiteral("second"));
    QCOMPARE(parser.getNumFiles(), 6);
    QCOMPARE(
        names(parser.getSectionlessFiles()), QStringList({ "readme.txt", "a.txt", "ws_summary.xml", "after.txt" }));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(1).toInt(), 1);
}

void tst_ContainerFixtures::markerAfterPdfTrailerOnItsLine()
{
    TraxoParser strict(ParseStrict);
    QVERIFY(strict.open(fixture("pdf_tail.pdf")));
    QCOMPARE(strict.getNumSections(), 0);
    QCOMPARE(names(strict.getSectionlessFiles()), QStringList({ "plot.csv" }));

    TraxoParser tolerant(ParseTolerant);
    QVERIFY(tolerant.open(fixture("pdf_tail.pdf")));
    QCOMPARE(tolerant.getNumSections(), 1);
    QCOMPARE(names(tolerant.getFilesInSection(0)), QStringList({ "plot.csv" }));
    QCOMPARE(tolerant.getFile(0)->position, 103);
    QCOMPARE(*tolerant.getFileContent(0), QByteArray("plot data 1 2 3\n"));
}

QTEST_GUILESS_MAIN(tst_ContainerFixtures)
#include "tst_containerfixtures.moc"
