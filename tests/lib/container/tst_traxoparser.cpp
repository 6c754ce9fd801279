#include "container/containermarkers.h"
#include "container/traxoparser.h"

#include "containerbuilder.h"
#include "testcommon.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace traxo;
using testcommon::ContainerFile;
using testcommon::embeddedFile;

namespace {

// One step of a test container: a section (with its summary unless told
// otherwise) or a run of files outside any section.
struct Step
{
    bool isSection = true;
    QString title;
    QList<ContainerFile> files;
    bool withSummary = true;
};

Step section(const QString &title, const QList<ContainerFile> &files, bool withSummary = true)
{
    return Step { true, title, files, withSummary };
}

Step looseFiles(const QList<ContainerFile> &files)
{
    return Step { false, QString(), files, false };
}

QByteArray md5Hex(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

// The section checksum recomputed from the container: the section's bytes
// with the marker's part from "<" to the end of its line replaced by the
// validation tag.
QString recomputedSectionMd5(TraxoParser &parser, const SectionTag &section)
{
    const int start = section.position - section.left;
    QByteArray bytes = parser.getBytes(start, section.size);
    if (bytes.size() != section.size)
        return QString();
    bytes.replace(section.position - start, section.validationTag.size(), section.validationTag);
    return QString::fromLatin1(md5Hex(bytes));
}

QStringList names(const QList<FileTag> &files)
{
    QStringList result;
    for (const FileTag &file : files)
        result << file.filename;
    return result;
}

QStringList names(const QList<ContainerFile> &files)
{
    QStringList result;
    for (const ContainerFile &file : files)
        result << file.filename;
    return result;
}

ContainerFile pdfLikeFile()
{
    // A payload with line feeds, binary bytes and text that looks like a marker.
    QByteArray content = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
    content += "%<--! $TRAXO_SECTION [this is data, not a marker]\n";
    content += QByteArray(300, '\0') + "%%EOF\n";
    return embeddedFile(QStringLiteral("figure.pdf"), content, ContainerWriter::None);
}

QByteArray patternBytes(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = quint32(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class tst_TraxoParser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void roundTrip_data();
    void roundTrip();

    void opensOrNot_data();
    void opensOrNot();

    void sectionMarkers_data();
    void sectionMarkers();

    void fileMarkers_data();
    void fileMarkers();

    void chainWalkAlwaysMovesBackwards_data();
    void chainWalkAlwaysMovesBackwards();

    void forwardScanAlwaysAdvances_data();
    void forwardScanAlwaysAdvances();

    void oversizedNumbersAreNotWrapped_data();
    void oversizedNumbersAreNotWrapped();

    void containment_data();
    void containment();

    void recordAccessOutOfRange();
    void getBytesRanges_data();
    void getBytesRanges();
    void fileContentRefusesBadData_data();
    void fileContentRefusesBadData();
    void decompressBytes_data();
    void decompressBytes();
    void reopenClearsLists();
    void doesNotWaitOnANamedPipe();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString writeBytes(const QString &name, const QByteArray &bytes) const;

    QTemporaryDir m_dir;
};

void tst_TraxoParser::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString tst_TraxoParser::writeBytes(const QString &name, const QByteArray &bytes) const
{
    const QString file = path(name);
    if (!testcommon::writeFile(file, bytes))
        return QString();
    return file;
}

void tst_TraxoParser::roundTrip_data()
{
    QTest::addColumn<QByteArray>("leading");
    QTest::addColumn<QList<Step>>("steps");

    const auto text = [](const char *name, const QByteArray &content) { return embeddedFile(name, content); };
    const auto raw = [](const char *name, const QByteArray &content) {
        return embeddedFile(name, content, ContainerWriter::None);
    };

    QTest::addRow("one section with one flate file")
        << QByteArray() << QList<Step> { section("step one", { text("a.txt", "alpha\n") }) };
    QTest::addRow("one section stored none")
        << QByteArray() << QList<Step> { section("step one", { raw("a.txt", "alpha\nbeta\n") }) };
    QTest::addRow("two sections") << QByteArray()
                                  << QList<Step> { section("first", { text("a.txt", "a") }),
                                         section("second", { raw("b.txt", "b"), text("c.txt", "c") }) };

    QList<Step> fifty;
    for (int i = 0; i < 50; ++i)
        fifty << section(QStringLiteral("step %1").arg(i),
            { embeddedFile(QStringLiteral("f%1.bin").arg(i), patternBytes(i * 37, i),
                i % 2 ? ContainerWriter::Flate : ContainerWriter::None) });
    QTest::addRow("fifty sections") << QByteArray() << fifty;

    QTest::addRow("files before, inside and after sections")
        << QByteArray()
        << QList<Step> { looseFiles({ text("before.txt", "before") }), section("first", { text("in1.txt", "1") }),
               looseFiles({ raw("between.txt", "between\n") }), section("second", { raw("in2.txt", "2") }),
               looseFiles({ text("after1.txt", "after"), raw("after2.txt", "after\n") }) };
    QTest::addRow("empty file stored flate")
        << QByteArray() << QList<Step> { section("empty", { text("empty.txt", QByteArray()) }) };
    QTest::addRow("empty file stored none")
        << QByteArray() << QList<Step> { section("empty", { raw("empty.txt", QByteArray()) }) };
    QTest::addRow("empty summary stored none") << QByteArray() << QList<Step> { section("empty", {}) };
    QTest::addRow("escaped bracket, backslash and line break in the title")
        << QByteArray()
        << QList<Step> { section(QStringLiteral("a]b\\c\nd [x] \\]"), { text("a.txt", "a") }),
               section(QStringLiteral("second \\\\ one"), { text("b.txt", "b") }) };
    QTest::addRow("non-ASCII title and file name")
        << QByteArray() << QList<Step> { section(QStringLiteral("Größe µm ✓"), { text("maß.txt", "Maß\n") }) };
    QTest::addRow("pdf-like file with the header on the second line")
        << QByteArray("%PDF-1.4\n") << QList<Step> { section("convert", { pdfLikeFile() }) };
    QTest::addRow("payload that contains marker text")
        << QByteArray() << QList<Step> { section("first", { pdfLikeFile() }), section("second", { pdfLikeFile() }) };
    QTest::addRow("section without summary")
        << QByteArray() << QList<Step> { section("no summary", { text("a.txt", "a") }, false) };
    QTest::addRow("large binary file across many buffers")
        << QByteArray()
        << QList<Step> { section(
                             "big", { raw("big.bin", patternBytes(100000, 7)), text("big.z", patternBytes(50000, 8)) }),
               section("after", { raw("small.txt", "x") }) };
    QTest::addRow("files only, no section")
        << QByteArray() << QList<Step> { looseFiles({ text("a.txt", "a"), raw("b.txt", "b") }) };
}

void tst_TraxoParser::roundTrip()
{
    QFETCH(QByteArray, leading);
    QFETCH(QList<Step>, steps);

    const QString file = path(QStringLiteral("roundtrip.traxo"));
    QFile::remove(file);
    ContainerWriter writer;
    QVERIFY2(writer.create(file, leading), qPrintable(writer.errorString()));

    QList<ContainerFile> allFiles;
    QList<ContainerFile> sectionless;
    QList<QList<ContainerFile>> sectionFiles; // oldest first
    QStringList titles; // oldest first
    for (const Step &step : steps) {
        if (!step.isSection) {
            QVERIFY2(writer.appendFiles(file, step.files), qPrintable(writer.errorString()));
            allFiles += step.files;
            sectionless += step.files;
            continue;
        }
        ContainerWriter::Section written = testcommon::containerSection(step.title, step.files);
        written.withSummary = step.withSummary;
        QVERIFY2(writer.appendSection(file, written), qPrintable(writer.errorString()));
        QList<ContainerFile> files = step.files;
        if (step.withSummary)
            files << embeddedFile(QStringLiteral("ws_summary.xml"), written.summary);
        allFiles += files;
        sectionFiles << files;
        titles << step.title;
    }

    for (const ParseMode mode : { ParseStrict, ParseTolerant }) {
        TraxoParser parser(mode);
        QVERIFY(parser.open(file));
        QCOMPARE(parser.getNumFiles(), allFiles.size());
        QCOMPARE(names(parser.getFiles()), names(allFiles));
        QCOMPARE(parser.getNumSections(), sectionFiles.size());
        QCOMPARE(names(parser.getSectionlessFiles()), names(sectionless));

        const QList<SectionTag> sections = parser.getSections();
        const int count = int(sections.size());
        for (int id = 0; id < count; ++id) {
            const SectionTag &tag = sections.at(id);
            const int oldestFirst = count - 1 - id;
            QCOMPARE(tag.id, id);
            QCOMPARE(tag.title, escapeMarkerText(titles.at(oldestFirst)));
            QCOMPARE(tag.index, oldestFirst);
            QCOMPARE(names(parser.getFilesInSection(id)), names(sectionFiles.at(oldestFirst)));
            QCOMPARE(tag.md5section.size(), 32);
            QCOMPARE(recomputedSectionMd5(parser, tag), tag.md5section);
            if (id + 1 < count) {
                QCOMPARE(tag.previousmarker, tag.position - sections.at(id + 1).position);
                QCOMPARE(tag.previousmd5, sections.at(id + 1).md5section);
            } else {
                QCOMPARE(tag.previousmarker, -1);
                QCOMPARE(tag.previousmd5, QString());
            }
        }

        for (int id = 0; id < allFiles.size(); ++id) {
            const ContainerFile &expected = allFiles.at(id);
            const FileTag tag = *parser.getFile(id);
            QCOMPARE(tag.id, id);
            QCOMPARE(tag.filesize, expected.content.size());
            const QSharedPointer<QByteArray> content = parser.getFileContent(id);
            QVERIFY(content);
            QCOMPARE(*content, expected.content);
            QCOMPARE(tag.md5file, QString::fromLatin1(md5Hex(expected.content)));
            const QPair<QString, QString> sums = parser.calcChecksumsForFile(id);
            if (expected.compression == ContainerWriter::Flate) {
                QCOMPARE(tag.compression, QStringLiteral("flate"));
                QCOMPARE(sums.first, tag.md5cfile);
                QCOMPARE(sums.second, tag.md5file);
            } else {
                QCOMPARE(tag.compression, QStringLiteral("none"));
                QCOMPARE(tag.cfilesize, tag.filesize);
                QCOMPARE(sums.first, tag.md5file);
                QCOMPARE(sums.second, QString());
            }
        }
    }
}

void tst_TraxoParser::opensOrNot_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("opens");

    const QByteArray header = ContainerWriter::headerLine();
    QByteArray nineLines;
    for (int i = 0; i < 9; ++i)
        nineLines += "line\n";

    QTest::addRow("empty file") << QByteArray() << false;
    QTest::addRow("header only") << header << true;
    QTest::addRow("header without line feed") << header.chopped(1) << true;
    QTest::addRow("header with trailing text") << QByteArray(TRAXO_HEADER_LINE) + " and more\n" << true;
    QTest::addRow("header as tenth line") << nineLines + header << true;
    QTest::addRow("header as eleventh line") << nineLines + "line\n" + header << false;
    QTest::addRow("header after leading spaces") << "  " + header << false;
    QTest::addRow("header in lower case") << header.toLower() << false;
    QTest::addRow("header with other version") << QByteArray("%<--! $TRAXO_PDF [version:1.1]\n") << false;
    QTest::addRow("NUL line before header") << QByteArray("a\0b\n", 4) + header << false;
    QTest::addRow("plain text") << QByteArray("hello\nworld\n") << false;
    QTest::addRow("header after a very long first line") << QByteArray(50000, 'x') + '\n' + header << true;
}

void tst_TraxoParser::opensOrNot()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);

    const QString file = writeBytes(QStringLiteral("open.traxo"), bytes);
    QVERIFY(!file.isEmpty());
    TraxoParser parser(ParseTolerant);
    QCOMPARE(parser.open(file), opens);
    QCOMPARE(parser.getNumSections(), 0);
    QCOMPARE(parser.getNumFiles(), 0);
}

// Hand-written section markers: whether each is read, and in which mode.
void tst_TraxoParser::sectionMarkers_data()
{
    QTest::addColumn<QByteArray>("markerLine");
    QTest::addColumn<bool>("strictFinds");
    QTest::addColumn<bool>("tolerantFinds");

    const QByteArray md5 = "0123456789abcdef0123456789abcdef";
    const auto marker = [&](const QByteArray &title, const QByteArray &md5section) {
        return "%<--! $TRAXO_SECTION [version:1.0][creator:me][title:" + title + "][left:10][size:20][index:]"
            + "[md5section:" + md5section + "][previousmd5:][previousmarker:]-->";
    };

    QTest::addRow("plain marker") << marker("t", md5) + '\n' << true << true;
    QTest::addRow("last line without line feed") << marker("t", md5) << true << true;
    QTest::addRow("escaped bracket and backslash") << marker("a\\]b\\\\c\\n", md5) + '\n' << true << true;
    QTest::addRow("unescaped bracket in title") << marker("a]b", md5) + '\n' << false << false;
    QTest::addRow("lone backslash in title") << marker("a\\b", md5) + '\n' << false << false;
    QTest::addRow("upper-case md5section") << marker("t", md5.toUpper()) + '\n' << false << false;
    QTest::addRow("md5section of 31 digits") << marker("t", md5.left(31)) + '\n' << false << false;
    QTest::addRow("md5section of 33 digits") << marker("t", md5 + "0") + '\n' << false << false;
    QTest::addRow("empty md5section") << marker("t", "") + '\n' << true << true;
    QTest::addRow("marker preceded by other bytes") << "xx " + marker("t", md5) + '\n' << false << true;
    QTest::addRow("marker preceded by a NUL byte") << QByteArray(1, '\0') + marker("t", md5) + '\n' << false << false;
    QTest::addRow("marker followed by text") << marker("t", md5) + " trailing\n" << true << true;
    QTest::addRow("missing closing arrow") << marker("t", md5).chopped(3) + '\n' << false << false;
    QTest::addRow("invalid UTF-8 in title") << marker("\xff\xfe", md5) + '\n' << true << true;
    QTest::addRow("title ending in an escaped backslash") << marker("a\\\\", md5) + '\n' << true << true;
    QTest::addRow("title ending in a lone backslash") << marker("a\\", md5) + '\n' << false << false;
    QTest::addRow("escaped bracket alone as title") << marker("\\]", md5) + '\n' << true << true;
    QTest::addRow("md5section with a hex digit beyond f") << marker("t", md5.left(31) + "g") + '\n' << false << false;
    QTest::addRow("marker cut inside the arrow") << marker("t", md5).chopped(1) << false << false;
    QTest::addRow("long title of a megabyte") << marker(QByteArray(1 << 20, 'x'), md5) + '\n' << true << true;
}

void tst_TraxoParser::sectionMarkers()
{
    QFETCH(QByteArray, markerLine);
    QFETCH(bool, strictFinds);
    QFETCH(bool, tolerantFinds);

    const QByteArray header = ContainerWriter::headerLine();
    const QString file = writeBytes(QStringLiteral("section.traxo"), header + markerLine);
    for (const ParseMode mode : { ParseStrict, ParseTolerant }) {
        TraxoParser parser(mode);
        QVERIFY(parser.open(file));
        const bool expected = mode == ParseStrict ? strictFinds : tolerantFinds;
        QCOMPARE(parser.getNumSections(), expected ? 1 : 0);
        if (!expected)
            continue;
        const SectionTag tag = *parser.getSection(0);
        const int column = int(markerLine.indexOf("%<--!"));
        QCOMPARE(tag.position, header.size() + column + 1);
        QCOMPARE(tag.taglen, int(markerLine.indexOf("-->") + 3 - column - 1));
        QCOMPARE(tag.left, 10);
        QCOMPARE(tag.size, 20);
        QCOMPARE(tag.index, -1);
        QCOMPARE(tag.previousmarker, -1);
        QCOMPARE(tag.creator, QStringLiteral("me"));
        // The validation tag stands for the bytes from "<" to the line's end.
        const QByteArray rest = markerLine.mid(column + 1);
        QCOMPARE(tag.validationTag.size(), tag.md5section.isEmpty() ? rest.size() + 32 : rest.size());
        QVERIFY(tag.validationTag.contains("[md5section:00000000000000000000000000000000]"));
    }
}

void tst_TraxoParser::fileMarkers_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("found");

    const auto marker = [](const QByteArray &name, const QByteArray &data, const QByteArray &fields = QByteArray()) {
        const QByteArray sizes = fields.isEmpty() ? "[filesize:" + QByteArray::number(data.size()) + "][cfilesize:"
                + QByteArray::number(data.size()) + "][blocksize:" + QByteArray::number(data.size() + 2) + "][offset:1]"
                                                  : fields;
        return "%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:t][filename:" + name + "][desc:][comment:][compression:none]"
            + sizes + "[md5file:][md5cfile:]-->\n" + data + '\n';
    };

    QTest::addRow("two markers in immediate succession")
        << marker("a", "1") + marker("b", "2") << QStringList { "a", "b" };
    QTest::addRow("empty files in succession")
        << marker("a", "") + marker("b", "") + marker("c", "") << QStringList { "a", "b", "c" };
    QTest::addRow("marker inside stored data is skipped")
        << marker("outer", marker("inner", "x")) + marker("next", "y") << QStringList { "outer", "next" };
    QTest::addRow("marker not at line start is ignored")
        << " " + marker("a", "1") + marker("b", "2") << QStringList { "b" };
    QTest::addRow("unescaped bracket in file name") << marker("a]b", "1") + marker("b", "2") << QStringList { "b" };
    QTest::addRow("escaped file name kept as written")
        << marker("a\\]b\\\\", "1") << QStringList { QStringLiteral("a\\]b\\\\") };
    QTest::addRow("upper-case md5file") << marker("a", "1", "[filesize:1][cfilesize:1][blocksize:3][offset:1]")
                                               .replace("[md5file:]", "[md5file:0123456789ABCDEF0123456789ABCDEF]")
                                        << QStringList {};
    QTest::addRow("marker line with a NUL byte")
        << marker("a", "1").replace("[desc:]", QByteArray("[desc:\0]", 8)) + marker("b", "2") << QStringList { "b" };
}

void tst_TraxoParser::fileMarkers()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, found);

    const QString file = writeBytes(QStringLiteral("files.traxo"), ContainerWriter::headerLine() + body);
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(file));
    QCOMPARE(names(parser.getFiles()), found);
    for (int id = 0; id < parser.getNumFiles(); ++id)
        QCOMPARE(parser.getFile(id)->id, id);
}

namespace {

QByteArray sectionLine(int left, int size, const QByteArray &previousmarker, const QByteArray &title = "s")
{
    return "%<--! $TRAXO_SECTION [version:1.0][creator:me][title:" + title + "][left:" + QByteArray::number(left)
        + "][size:" + QByteArray::number(size) + "][index:0][md5section:0123456789abcdef0123456789abcdef]"
        + "[previousmd5:][previousmarker:" + previousmarker + "]-->\n";
}

} // namespace

// A chain link must lead strictly towards the start of the file; anything
// else ends the walk instead of circling for ever.
void tst_TraxoParser::chainWalkAlwaysMovesBackwards_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("strictSections");
    QTest::addColumn<int>("tolerantSections");

    const QByteArray older = sectionLine(1, 100, "");
    QTest::addRow("previousmarker of zero points at itself") << sectionLine(1, 100, "0") << 1 << 1;
    QTest::addRow("previousmarker of one lands just before itself") << "filler\n" + sectionLine(1, 100, "1") << 1 << 1;
    // The newer marker's link lands inside the older marker's line: the
    // tolerant search finds the older one; the older one's search sees only
    // itself and the newer one, and must not take either.
    QTest::addRow("tolerant search near a link never returns itself or a newer marker")
        << "a\nb\n" + sectionLine(1, 100, "2", "older") + sectionLine(1, 100, "2", "newer") << 1 << 2;
    QTest::addRow("previousmarker beyond the file start") << sectionLine(1, 100, "99999") << 1 << 1;
    QTest::addRow("previousmarker with more digits than an int")
        << sectionLine(1, 100, "99999999999999999999") << 0 << 0;
    QTest::addRow("link into the middle of a line, tolerant search recovers")
        << older + "x\ny\n" + sectionLine(1, 100, QByteArray::number(older.size() + 4 - 5)) << 1 << 2;
    QTest::addRow("exact link") << older + "x\n" + sectionLine(1, 100, QByteArray::number(older.size() + 2)) << 2 << 2;
}

void tst_TraxoParser::chainWalkAlwaysMovesBackwards()
{
    QFETCH(QByteArray, body);
    QFETCH(int, strictSections);
    QFETCH(int, tolerantSections);

    const QString file = writeBytes(QStringLiteral("chain.traxo"), ContainerWriter::headerLine() + body);
    TraxoParser strict(ParseStrict);
    QVERIFY(strict.open(file));
    QCOMPARE(strict.getNumSections(), strictSections);
    TraxoParser tolerant(ParseTolerant);
    QVERIFY(tolerant.open(file));
    QCOMPARE(tolerant.getNumSections(), tolerantSections);
    const QList<SectionTag> sections = tolerant.getSections();
    for (int i = 1; i < sections.size(); ++i)
        QVERIFY(sections.at(i).position < sections.at(i - 1).position);
}

// Whatever blocksize a marker claims, the scan goes on after the marker line
// and finds the marker that follows.
void tst_TraxoParser::forwardScanAlwaysAdvances_data()
{
    QTest::addColumn<QByteArray>("blocksize");

    QTest::addRow("empty blocksize") << QByteArray();
    QTest::addRow("zero blocksize") << QByteArray("0");
    QTest::addRow("one byte blocksize") << QByteArray("1");
    QTest::addRow("blocksize beyond the file end") << QByteArray("999999");
    QTest::addRow("blocksize larger than an int") << QByteArray("4294967296");
    QTest::addRow("blocksize of int max") << QByteArray("2147483647");
}

void tst_TraxoParser::forwardScanAlwaysAdvances()
{
    QFETCH(QByteArray, blocksize);

    const QByteArray first = "%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:][filename:first][desc:][comment:]"
                             "[compression:none][filesize:2][cfilesize:2][blocksize:"
        + blocksize + "][offset:1][md5file:][md5cfile:]-->\nab\n";
    const QByteArray second = "%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:][filename:second][desc:][comment:]"
                              "[compression:none][filesize:2][cfilesize:2][blocksize:4][offset:1]"
                              "[md5file:][md5cfile:]-->\ncd\n";
    const QString file = writeBytes(QStringLiteral("scan.traxo"), ContainerWriter::headerLine() + first + second);
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(file));
    QCOMPARE(names(parser.getFiles()), QStringList({ "first", "second" }));
    QCOMPARE(*parser.getFileContent(parser.getNumFiles() - 1), QByteArray("cd"));
}

void tst_TraxoParser::oversizedNumbersAreNotWrapped_data()
{
    QTest::addColumn<QByteArray>("filesize");
    QTest::addColumn<qint64>("value"); // -1: the marker does not match

    QTest::addRow("fits an int") << QByteArray("2") << qint64(2);
    QTest::addRow("leading zeros") << QByteArray("0000000000000000002") << qint64(2);
    QTest::addRow("int max plus one") << QByteArray("2147483648") << qint64(2147483648);
    QTest::addRow("two to the 32 plus two") << QByteArray("4294967298") << qint64(4294967298);
    QTest::addRow("eighteen digits") << QByteArray("999999999999999999") << qint64(999999999999999999);
    QTest::addRow("nineteen digits") << QByteArray("9223372036854775807") << qint64(-1);
    QTest::addRow("twenty digits would wrap to 2") << QByteArray("18446744073709551618") << qint64(-1);
}

void tst_TraxoParser::oversizedNumbersAreNotWrapped()
{
    QFETCH(QByteArray, filesize);
    QFETCH(qint64, value);

    const QByteArray body = "%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:][filename:f][desc:][comment:]"
                            "[compression:none][filesize:"
        + filesize + "][cfilesize:2][blocksize:4][offset:1][md5file:][md5cfile:]-->\nab\n";
    const QString file = writeBytes(QStringLiteral("numbers.traxo"), ContainerWriter::headerLine() + body);
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getNumFiles(), value < 0 ? 0 : 1);
    if (value >= 0)
        QCOMPARE(parser.getFile(0)->filesize, value);
    // A declared size other than the stored one yields no content.
    if (value == 2)
        QCOMPARE(*parser.getFileContent(0), QByteArray("ab"));
}

void tst_TraxoParser::containment_data()
{
    QTest::addColumn<int>("sectionPosition");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("filePosition");
    QTest::addColumn<int>("taglen");
    QTest::addColumn<int>("blocksize");
    QTest::addColumn<bool>("inside");

    // Section from 100 - 50 = 50 to 50 + 200 = 250 (exclusive).
    QTest::addRow("block well inside") << 100 << 50 << 200 << 60 << 20 << 10 << true;
    QTest::addRow("block starts at the section start") << 100 << 50 << 200 << 50 << 20 << 10 << true;
    QTest::addRow("block ends at the section end") << 100 << 50 << 200 << 60 << 20 << 170 << true;
    QTest::addRow("block one byte beyond the section end") << 100 << 50 << 200 << 60 << 20 << 171 << false;
    QTest::addRow("marker one byte before the section") << 100 << 50 << 200 << 49 << 20 << 10 << false;
    QTest::addRow("empty blocksize") << 100 << 50 << 200 << 60 << 20 << -1 << false;
    QTest::addRow("section of empty size") << 100 << 50 << -1 << 60 << 20 << 10 << false;
    QTest::addRow("section of empty left") << 100 << -1 << 200 << 60 << 20 << 10 << false;
    QTest::addRow("sums beyond int range do not wrap")
        << 100 << 50 << 200 << 60 << std::numeric_limits<int>::max() << std::numeric_limits<int>::max() << false;
    QTest::addRow("huge section covers a huge block")
        << std::numeric_limits<int>::max() << std::numeric_limits<int>::max() << std::numeric_limits<int>::max() << 0
        << 10 << std::numeric_limits<int>::max() - 10 << true;
}

void tst_TraxoParser::containment()
{
    QFETCH(int, sectionPosition);
    QFETCH(int, left);
    QFETCH(int, size);
    QFETCH(int, filePosition);
    QFETCH(int, taglen);
    QFETCH(int, blocksize);
    QFETCH(bool, inside);

    SectionTag section;
    section.position = sectionPosition;
    section.left = left;
    section.size = size;
    FileTag file;
    file.position = filePosition;
    file.taglen = taglen;
    file.blocksize = blocksize;
    QCOMPARE(TraxoParser::fileInSection(file, section), inside);
}

void tst_TraxoParser::recordAccessOutOfRange()
{
    const QString file = path(QStringLiteral("records.traxo"));
    QVERIFY(testcommon::buildContainer(
        file, { testcommon::containerSection(QStringLiteral("one"), { embeddedFile(QStringLiteral("a"), "a") }) }));
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getNumFiles(), 2);
    QVERIFY(parser.getFile(-1).isNull());
    QVERIFY(parser.getFile(parser.getNumFiles()).isNull());
    QVERIFY(!parser.getFile(parser.getNumFiles() - 1).isNull());
    QVERIFY(parser.getSection(-1).isNull());
    QVERIFY(parser.getSection(parser.getNumSections()).isNull());
    QVERIFY(parser.getFilesInSection(-1).isEmpty());
    QVERIFY(parser.getFilesInSection(1).isEmpty());
    QVERIFY(parser.getCompressedFile(2).isNull());
    QVERIFY(parser.getFileContent(-1).isNull());
    QCOMPARE(parser.calcChecksumsForFile(5), (QPair<QString, QString>()));
    // A copy handed out is the caller's own.
    parser.getFile(0)->filename = QStringLiteral("changed");
    QCOMPARE(parser.getFile(0)->filename, QStringLiteral("a"));
}

void tst_TraxoParser::getBytesRanges_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray header = ContainerWriter::headerLine();
    const int size = int(header.size());
    QTest::addRow("whole file") << 0 << size << header;
    QTest::addRow("last byte") << size - 1 << 1 << QByteArray("\n");
    QTest::addRow("negative position") << -1 << 2 << QByteArray();
    QTest::addRow("position at the end") << size << 0 << QByteArray();
    QTest::addRow("negative length") << 0 << -1 << QByteArray();
    QTest::addRow("one byte past the end") << 1 << size << QByteArray();
    QTest::addRow("position plus length beyond int") << 10 << std::numeric_limits<int>::max() << QByteArray();
}

void tst_TraxoParser::getBytesRanges()
{
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);

    const QString file = writeBytes(QStringLiteral("bytes.traxo"), ContainerWriter::headerLine());
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getBytes(position, length), expected);
}

// Stored data that cannot be what the marker says is refused, never handed
// out in part.
void tst_TraxoParser::fileContentRefusesBadData_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("contentAvailable");

    const QByteArray deflated = ContainerWriter::compress("hello hello hello");
    const QByteArray n = QByteArray::number(deflated.size());
    QTest::addRow("flate as written") << "[compression:flate][filesize:17][cfilesize:" + n + "]" << deflated << true;
    QTest::addRow("flate with a wrong filesize")
        << "[compression:flate][filesize:16][cfilesize:" + n + "]" << deflated << false;
    QTest::addRow("flate with a larger filesize")
        << "[compression:flate][filesize:18][cfilesize:" + n + "]" << deflated << false;
    QTest::addRow("flate stream cut short")
        << "[compression:flate][filesize:17][cfilesize:" + QByteArray::number(deflated.size() - 3) + "]"
        << deflated.chopped(3) << false;
    QTest::addRow("flate data that is not zlib")
        << QByteArray("[compression:flate][filesize:5][cfilesize:5]") << QByteArray("hello") << false;
    QTest::addRow("unknown compression") << QByteArray("[compression:gzip][filesize:5][cfilesize:5]")
                                         << QByteArray("hello") << false;
    QTest::addRow("none with filesize unlike cfilesize")
        << QByteArray("[compression:none][filesize:4][cfilesize:5]") << QByteArray("hello") << false;
    QTest::addRow("none with empty filesize")
        << QByteArray("[compression:none][filesize:][cfilesize:5]") << QByteArray("hello") << false;
}

void tst_TraxoParser::fileContentRefusesBadData()
{
    QFETCH(QByteArray, fields);
    QFETCH(QByteArray, stored);
    QFETCH(bool, contentAvailable);

    const QByteArray body = "%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:][filename:f][desc:][comment:]" + fields
        + "[blocksize:" + QByteArray::number(stored.size() + 2) + "][offset:1][md5file:][md5cfile:]-->\n" + stored
        + '\n';
    const QString file = writeBytes(QStringLiteral("content.traxo"), ContainerWriter::headerLine() + body);
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(file));
    QCOMPARE(parser.getNumFiles(), 1);
    QVERIFY(parser.getCompressedFile(0));
    QCOMPARE(!parser.getFileContent(0).isNull(), contentAvailable);
}

void tst_TraxoParser::decompressBytes_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<uint>("size");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray text = "abcabcabcabc\n";
    QTest::addRow("exact size") << ContainerWriter::compress(text) << uint(text.size()) << text;
    QTest::addRow("size larger than the content") << ContainerWriter::compress(text) << uint(100) << text;
    QTest::addRow("size smaller than the content") << ContainerWriter::compress(text) << uint(5) << QByteArray();
    QTest::addRow("empty stream") << ContainerWriter::compress(QByteArray()) << uint(0) << QByteArray();
    QTest::addRow("no data") << QByteArray() << uint(10) << QByteArray();
    QTest::addRow("garbage") << QByteArray("garbage!") << uint(10) << QByteArray();
    QTest::addRow("bomb bounded by the declared size")
        << ContainerWriter::compress(QByteArray(10 << 20, 'a')) << uint(1000) << QByteArray();
}

void tst_TraxoParser::decompressBytes()
{
    QFETCH(QByteArray, data);
    QFETCH(uint, size);
    QFETCH(QByteArray, expected);

    QCOMPARE(TraxoParser::decompressBytes(data, size), expected);
}

void tst_TraxoParser::reopenClearsLists()
{
    const QString container = path(QStringLiteral("reopen.traxo"));
    QVERIFY(testcommon::buildContainer(container,
        { testcommon::containerSection(QStringLiteral("one"), { embeddedFile(QStringLiteral("a"), "a") }) }));
    const QString plain = writeBytes(QStringLiteral("plain.txt"), "no container\n");
    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(container));
    QCOMPARE(parser.getNumSections(), 1);
    QVERIFY(!parser.open(plain));
    QCOMPARE(parser.getNumSections(), 0);
    QCOMPARE(parser.getNumFiles(), 0);
    QVERIFY(parser.getBytes(0, 1).isEmpty());
    QVERIFY(!parser.open(path(QStringLiteral("missing.traxo"))));
    QVERIFY(!parser.open(m_dir.path()));
    QVERIFY(parser.open(container));
    QCOMPARE(parser.getNumFiles(), 2);
}

void tst_TraxoParser::doesNotWaitOnANamedPipe()
{
    const QString fifo = path(QStringLiteral("pipe.traxo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TraxoParser parser(ParseTolerant);
    QVERIFY(!parser.open(fifo));
    QCOMPARE(parser.getNumFiles(), 0);
}

QTEST_GUILESS_MAIN(tst_TraxoParser)
#include "tst_traxoparser.moc"
