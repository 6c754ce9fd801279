#include "container/containerwriter.h"
#include "container/traxoparser.h"
#include "summary/summarycreator.h"
#include "summary/summarywriter.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using namespace traxo;

namespace {

ContainerWriter::File makeFile(
    const QString &name, const QByteArray &content, ContainerWriter::Compression compression = ContainerWriter::Flate)
{
    ContainerWriter::File file;
    file.filetype = QStringLiteral("text/plain");
    file.filename = name;
    file.description = QStringLiteral("description of ") + name;
    file.comment = QStringLiteral("comment");
    file.content = content;
    file.compression = compression;
    return file;
}

// The entry a summary declares for an embedded file, computed from the file
// itself rather than from what the container writer produced.
FileSummary declare(const ContainerWriter::File &file, const QString &purpose = QStringLiteral("InFile"))
{
    FileSummary declared;
    declared.Filename = file.filename;
    declared.Filepath = QStringLiteral("/data/");
    declared.Filetype = file.filetype;
    declared.Description = file.description;
    declared.Comment = file.comment;
    declared.GenerateMD5 = true;
    declared.Embedded = true;
    declared.UncompressedSize = int(file.content.size());
    declared.UncompressedMD5
        = QString::fromLatin1(QCryptographicHash::hash(file.content, QCryptographicHash::Md5).toHex());
    const bool flate = file.compression == ContainerWriter::Flate;
    declared.CompressedMethod = flate ? QStringLiteral("flate") : QStringLiteral("none");
    const QByteArray stored = flate ? ContainerWriter::compress(file.content) : file.content;
    declared.CompressedSize = int(stored.size());
    if (flate)
        declared.CompressedMD5 = QString::fromLatin1(QCryptographicHash::hash(stored, QCryptographicHash::Md5).toHex());
    declared.FilePurpose = purpose;
    return declared;
}

Summary stepSummary(const QString &title, const QList<FileSummary> &files)
{
    Summary summary;
    summary.Title = title;
    summary.Tool = QStringLiteral("tool");
    summary.userAttributeKeys = { QStringLiteral("run") };
    summary.userAttributeValues = { { QStringLiteral("run"), QStringLiteral("1") } };
    summary.files = files;
    return summary;
}

ContainerWriter::Section makeSection(
    const QString &markerTitle, const QList<ContainerWriter::File> &files, const Summary &summary)
{
    ContainerWriter::Section section;
    section.title = markerTitle;
    section.creator = QStringLiteral("tst_summarycreator");
    section.files = files;
    section.summary = SummaryWriter::writeSummaryUtf8(summary);
    return section;
}

ContainerWriter::Section markerOnlySection(const QString &markerTitle, const QList<ContainerWriter::File> &files)
{
    ContainerWriter::Section section;
    section.title = markerTitle;
    section.creator = QStringLiteral("tst_summarycreator");
    section.files = files;
    section.withSummary = false;
    return section;
}

// Matching is compared as "name:TagID:purpose" per file, in summary order.
QStringList fileLinks(const Summary &summary)
{
    QStringList links;
    for (const FileSummary &file : summary.files)
        links << QStringLiteral("%1:%2:%3").arg(file.Filename).arg(file.TagID).arg(file.FilePurpose);
    return links;
}

} // namespace

class tst_SummaryCreator : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fileHash_data();
    void fileHash();
    void distance_data();
    void distance();
    void markerTextsCompareUnescaped_data();
    void markerTextsCompareUnescaped();
    void fileSummaryFromTag();
    void summaryFromTags();
    void unmatchedTagSummary();
    void augmentPrefersTheCloserCandidate();
    void augmentIgnoresOtherSections();
    void printHelpersNameEveryField();

    void twoSectionsKeepTheirOwnFiles();
    void identicalCopiesDeclaredOnce();
    void closerCopyWins();
    void notEmbeddedIsNeverTied();
    void declaredButMissingStaysUntied();
    void sectionWithoutSummary();
    void sectionlessFiles_data();
    void sectionlessFiles();
    void damagedSummaryFallsBackToMarkers_data();
    void damagedSummaryFallsBackToMarkers();
    void markerEscapesDoNotPreventMatching();

private:
    QString containerPath(const QString &name) const { return m_dir.filePath(name); }
    bool write(const QString &path, const QList<ContainerWriter::Section> &sections,
        const QList<ContainerWriter::File> &sectionless = {});
    QList<Summary> summariesOf(const QString &path);

    QTemporaryDir m_dir;
    int m_counter = 0;
};

void tst_SummaryCreator::init()
{
    QVERIFY(m_dir.isValid());
}

bool tst_SummaryCreator::write(const QString &path, const QList<ContainerWriter::Section> &sections,
    const QList<ContainerWriter::File> &sectionless)
{
    ContainerWriter writer;
    if (!writer.create(path)) {
        qWarning() << writer.errorString();
        return false;
    }
    for (const ContainerWriter::Section &section : sections) {
        if (!writer.appendSection(path, section)) {
            qWarning() << writer.errorString();
            return false;
        }
    }
    if (!sectionless.isEmpty() && !writer.appendFiles(path, sectionless)) {
        qWarning() << writer.errorString();
        return false;
    }
    return true;
}

QList<Summary> tst_SummaryCreator::summariesOf(const QString &path)
{
    TraxoParser parser(ParseTolerant);
    if (!parser.open(path))
        return {};
    SummaryCreator creator;
    const QList<Summary> summaries = creator.createSummaries(parser);
    // One at a time, the same summaries come in the same order, and none
    // after the caller stops.
    QList<Summary> oneByOne;
    creator.forEachSummary(parser, [&oneByOne](Summary &&summary) {
        oneByOne.append(std::move(summary));
        return true;
    });
    int taken = 0;
    creator.forEachSummary(parser, [&taken](Summary &&) { return ++taken < 2; });
    if (oneByOne != summaries || taken != std::min(2, int(summaries.size())))
        QTest::qFail("forEachSummary differs from createSummaries", __FILE__, __LINE__);
    return summaries;
}

void tst_SummaryCreator::fileHash_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("md5");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("key");

    QTest::addRow("ordinary file") << 0 << "a.txt"
                                   << "0123456789abcdef0123456789abcdef" << qint64(12)
                                   << "file: <0>-<a.txt>-<0123456789abcdef0123456789abcdef>-<12>";
    QTest::addRow("unknown size and md5") << 3 << "b"
                                          << "" << qint64(-1) << "file: <3>-<b>-<>-<-1>";
    QTest::addRow("name with placeholders") << 1 << "%2 <x>"
                                            << "" << qint64(0) << "file: <1>-<%2 <x>>-<>-<0>";
    QTest::addRow("extreme numbers") << -2147483647 - 1 << "n"
                                     << "m" << std::numeric_limits<qint64>::max()
                                     << "file: <-2147483648>-<n>-<m>-<9223372036854775807>";
}

void tst_SummaryCreator::fileHash()
{
    QFETCH(int, section);
    QFETCH(QString, name);
    QFETCH(QString, md5);
    QFETCH(qint64, size);
    QFETCH(QString, key);

    FileTag tag;
    tag.filename = name;
    tag.md5file = md5;
    tag.filesize = size;
    QCOMPARE(SummaryCreator::makeFileHash(tag, section), key);

    FileSummary file;
    file.Filename = name;
    file.UncompressedMD5 = md5;
    file.UncompressedSize = size;
    QCOMPARE(SummaryCreator::makeFileHash(file, section), key);
}

void tst_SummaryCreator::distance_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<uint>("expected");

    QTest::addRow("identical") << "" << 0u;
    QTest::addRow("file name") << "Filename" << 20u;
    QTest::addRow("uncompressed size") << "UncompressedSize" << 20u;
    QTest::addRow("uncompressed md5") << "UncompressedMD5" << 20u;
    QTest::addRow("file type") << "Filetype" << 1u;
    QTest::addRow("description") << "Description" << 1u;
    QTest::addRow("comment") << "Comment" << 1u;
    QTest::addRow("compressed md5") << "CompressedMD5" << 2u;
    QTest::addRow("compressed size") << "CompressedSize" << 2u;
    QTest::addRow("compression method") << "CompressedMethod" << 2u;
    QTest::addRow("case matters") << "FilenameCase" << 20u;
    QTest::addRow("everything") << "all" << 69u;
    QTest::addRow("path, flags and purpose do not count") << "ignored" << 0u;
}

void tst_SummaryCreator::distance()
{
    QFETCH(QString, change);
    QFETCH(uint, expected);

    FileTag tag;
    tag.filename = "a.txt";
    tag.filetype = "text/plain";
    tag.description = "d";
    tag.comment = "c";
    tag.compression = "flate";
    tag.filesize = 10;
    tag.cfilesize = 8;
    tag.md5file = "0123456789abcdef0123456789abcdef";
    tag.md5cfile = "fedcba9876543210fedcba9876543210";

    FileSummary file = SummaryCreator::makeFileSummaryFromFileTag(tag);
    const bool all = change == QLatin1String("all");
    if (all || change == QLatin1String("Filename"))
        file.Filename = "b.txt";
    if (change == QLatin1String("FilenameCase"))
        file.Filename = "A.txt";
    if (all || change == QLatin1String("UncompressedSize"))
        file.UncompressedSize = 11;
    if (all || change == QLatin1String("UncompressedMD5"))
        file.UncompressedMD5.clear();
    if (all || change == QLatin1String("Filetype"))
        file.Filetype = "text/x";
    if (all || change == QLatin1String("Description"))
        file.Description = "d ";
    if (all || change == QLatin1String("Comment"))
        file.Comment.clear();
    if (all || change == QLatin1String("CompressedMD5"))
        file.CompressedMD5 = "00000000000000000000000000000000";
    if (all || change == QLatin1String("CompressedSize"))
        file.CompressedSize = -1;
    if (all || change == QLatin1String("CompressedMethod"))
        file.CompressedMethod = "none";
    if (change == QLatin1String("ignored")) {
        file.Filepath = "/elsewhere";
        file.Embedded = true;
        file.GenerateMD5 = true;
        file.LastModified = "now";
        file.FilePurpose = "OutFile";
        file.TagID = 99;
    }
    QCOMPARE(SummaryCreator::distance(tag, file), expected);
}

void tst_SummaryCreator::markerTextsCompareUnescaped_data()
{
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<bool>("same");

    QTest::addRow("no escape, equal") << "scan.tif"
                                      << "scan.tif" << true;
    QTest::addRow("no escape, different") << "scan.tif"
                                          << "scan.png" << false;
    QTest::addRow("escaped bracket") << "scan[3\\].tif"
                                     << "scan[3].tif" << true;
    QTest::addRow("escaped bracket is not the escape") << "scan[3\\].tif"
                                                       << "scan[3\\].tif" << false;
    QTest::addRow("escaped backslash") << "a\\\\b"
                                       << "a\\b" << true;
    QTest::addRow("escaped line feed") << "one\\ntwo"
                                       << "one\ntwo" << true;
    QTest::addRow("lone backslash at the end stays") << "a\\"
                                                     << "a\\" << true;
    QTest::addRow("unknown escape stays") << "a\\x"
                                          << "a\\x" << true;
    QTest::addRow("both empty") << ""
                                << "" << true;
}

// Name, type, description and comment of a marker are compared by their
// unescaped texts, and the key of a marker is made from its unescaped name.
void tst_SummaryCreator::markerTextsCompareUnescaped()
{
    QFETCH(QString, marker);
    QFETCH(QString, plain);
    QFETCH(bool, same);

    FileTag tag;
    tag.filename = marker;
    tag.filetype = marker;
    tag.description = marker;
    tag.comment = marker;
    FileSummary file = SummaryCreator::makeFileSummaryFromFileTag(tag);
    file.Filename = plain;
    file.Filetype = plain;
    file.Description = plain;
    file.Comment = plain;
    QCOMPARE(SummaryCreator::distance(tag, file), same ? 0u : 23u);
    QCOMPARE(SummaryCreator::makeFileHash(tag, 2) == SummaryCreator::makeFileHash(file, 2), same);
}

void tst_SummaryCreator::fileSummaryFromTag()
{
    FileTag tag;
    tag.id = 7;
    tag.position = 100;
    tag.taglen = 50;
    tag.filetype = "image/png";
    tag.filename = "p.png";
    tag.description = "d";
    tag.comment = "c";
    tag.compression = "none";
    tag.filesize = 5;
    tag.cfilesize = 5;
    tag.blocksize = 6;
    tag.offset = 1;
    tag.md5file = "0123456789abcdef0123456789abcdef";
    tag.md5cfile = "";

    FileSummary expected;
    expected.TagID = 7;
    expected.Filename = "p.png";
    expected.Filetype = "image/png";
    expected.Description = "d";
    expected.Comment = "c";
    expected.CompressedMethod = "none";
    expected.UncompressedSize = 5;
    expected.CompressedSize = 5;
    expected.UncompressedMD5 = "0123456789abcdef0123456789abcdef";
    const FileSummary file = SummaryCreator::makeFileSummaryFromFileTag(tag);
    QVERIFY(file == expected);
    QVERIFY(!file.Embedded);
    QCOMPARE(file.FilePurpose, QStringLiteral("Undefined"));
}

void tst_SummaryCreator::summaryFromTags()
{
    SectionTag section;
    section.id = 4;
    section.title = "marker title";
    section.creator = "traxoadd";
    FileTag first, second;
    first.id = 2;
    first.filename = "one";
    second.id = 3;
    second.filename = "two";
    const Summary summary = SummaryCreator::makeSummaryFromTags(section, { first, second });
    QCOMPARE(summary.TagID, 4);
    QCOMPARE(summary.Title, QStringLiteral("marker title"));
    QCOMPARE(summary.Creator, QStringLiteral("traxoadd"));
    QVERIFY(!summary.valid);
    QVERIFY(summary.userAttributeKeys.isEmpty());
    QCOMPARE(fileLinks(summary), (QStringList { "one:2:Undefined", "two:3:Undefined" }));
}

void tst_SummaryCreator::unmatchedTagSummary()
{
    FileTag tag;
    tag.id = 9;
    tag.filename = "lost";
    const Summary summary = SummaryCreator::makeUnmatchedTagSummary({ tag });
    QCOMPARE(summary.Title, QStringLiteral("<unmatched files>"));
    QCOMPARE(summary.TagID, 0);
    QVERIFY(!summary.valid);
    QCOMPARE(fileLinks(summary), QStringList { "lost:9:Undefined" });
    QVERIFY(SummaryCreator::makeUnmatchedTagSummary({}).files.isEmpty());
}

void tst_SummaryCreator::augmentPrefersTheCloserCandidate()
{
    FileTag near, far, later;
    for (FileTag *tag : { &near, &far, &later }) {
        tag->filename = "x";
        tag->filesize = 3;
        tag->md5file = "0123456789abcdef0123456789abcdef";
        tag->compression = "flate";
    }
    far.id = 1;
    far.description = "other";
    far.comment = "other";
    near.id = 2;
    later.id = 3;
    later.description = "other";

    FileSummary declared = SummaryCreator::makeFileSummaryFromFileTag(near);
    declared.TagID = -1;
    declared.Embedded = true;
    Summary fromXml;
    fromXml.files = { declared };

    SectionTag section;
    section.id = 5;
    SummaryCreator::TagHash hash;
    for (const FileTag &tag : { far, near, later })
        hash.insert(SummaryCreator::makeFileHash(tag, 5), qMakePair(tag, 5));

    SummaryCreator creator;
    const Summary summary = creator.augmentSummary(fromXml, section, hash);
    QCOMPARE(summary.TagID, 5);
    // The closest candidate is taken; the others follow as extras in file order.
    QCOMPARE(fileLinks(summary), (QStringList { "x:2:Undefined", "x:1:Undefined", "x:3:Undefined" }));
    QVERIFY(summary.files.first().Embedded);
    QVERIFY(hash.isEmpty());
}

void tst_SummaryCreator::augmentIgnoresOtherSections()
{
    FileTag tag;
    tag.id = 0;
    tag.filename = "a";
    tag.filesize = 1;
    SummaryCreator::TagHash hash;
    hash.insert(SummaryCreator::makeFileHash(tag, 1), qMakePair(tag, 1));

    FileSummary declared = SummaryCreator::makeFileSummaryFromFileTag(tag);
    declared.TagID = -1;
    declared.Embedded = true;
    Summary fromXml;
    fromXml.files = { declared };
    SectionTag section;
    section.id = 0;

    SummaryCreator creator;
    const Summary summary = creator.augmentSummary(fromXml, section, hash);
    QCOMPARE(fileLinks(summary), QStringList { "a:-1:Undefined" });
    QCOMPARE(hash.size(), 1);
}

void tst_SummaryCreator::printHelpersNameEveryField()
{
    Summary summary;
    summary.files << FileSummary();
    const QString summaryText = SummaryCreator::summaryText(summary);
    for (const char *name : { "TagID", "TraxoRootFile", "Timestamp", "Title", "Description", "Comment", "Command",
             "Tool", "ToolPath", "Host", "User", "Creator", "PDFTitle", "PDFAuthor", "PDFSubject", "PDFKeywords",
             "PDFProducer", "PDFCreator", "MD5Signature", "valid", "Filename", "Filepath", "Filetype", "LastModified",
             "GenerateMD5", "Embedded", "UncompressedSize", "UncompressedMD5", "CompressedMethod", "CompressedSize",
             "CompressedMD5", "Preview", "PreviewWS", "Thumbnail", "ThumbnailOnly", "FilePurpose" })
        QVERIFY2(summaryText.contains(QLatin1String(name) + QLatin1Char(':')), name);

    const QString sectionText = SummaryCreator::sectionTagText(SectionTag());
    for (const char *name : { "id", "position", "taglen", "version", "creator", "title", "left", "size", "index",
             "md5section", "previousmd5", "previousmarker", "validationTag" })
        QVERIFY2(sectionText.contains(QLatin1String(name) + QLatin1Char(':')), name);

    const QString fileText = SummaryCreator::fileTagText(FileTag());
    for (const char *name : { "id", "position", "taglen", "filetype", "filename", "desc", "comment", "compression",
             "filesize", "cfilesize", "blocksize", "offset", "md5file", "md5cfile" })
        QVERIFY2(fileText.contains(QLatin1String(name) + QLatin1Char(':')), name);
}

void tst_SummaryCreator::twoSectionsKeepTheirOwnFiles()
{
    // The same file in both sections: only the section id in the key keeps
    // each summary to its own markers. File ids follow file order:
    // 0 a.txt, 1 shared.txt, 2 ws_summary.xml | 3 shared.txt, 4 b.txt, 5 ws_summary.xml.
    const auto a = makeFile("a.txt", "alpha");
    const auto shared = makeFile("shared.txt", "same in both", ContainerWriter::None);
    const auto b = makeFile("b.txt", QByteArray(5000, 'b'));
    Summary older = stepSummary("first step", { declare(a), declare(shared, "OutFile") });
    older.md5Signature = "sig1";
    const Summary newer = stepSummary("second step", { declare(shared), declare(b, "OutFile") });

    const QString path = containerPath("two.traxo");
    QVERIFY(write(path, { makeSection("m1", { a, shared }, older), makeSection("m2", { shared, b }, newer) }));
    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 2);

    const Summary &first = summaries.at(0);
    QCOMPARE(first.TagID, 1);
    QCOMPARE(first.Title, QStringLiteral("first step"));
    QCOMPARE(first.md5Signature, QStringLiteral("sig1"));
    QVERIFY(first.valid);
    QCOMPARE(first.userAttributeValues.value("run"), QStringLiteral("1"));
    QCOMPARE(
        fileLinks(first), (QStringList { "a.txt:0:InFile", "shared.txt:1:OutFile", "ws_summary.xml:2:Undefined" }));

    const Summary &second = summaries.at(1);
    QCOMPARE(second.TagID, 0);
    QCOMPARE(second.Title, QStringLiteral("second step"));
    QCOMPARE(
        fileLinks(second), (QStringList { "shared.txt:3:InFile", "b.txt:4:OutFile", "ws_summary.xml:5:Undefined" }));

    // The summary file is added with what its marker says, not embedded.
    const FileSummary &summaryFile = second.files.last();
    QVERIFY(!summaryFile.Embedded);
    QVERIFY(summaryFile.Filepath.isEmpty());
    QCOMPARE(summaryFile.UncompressedSize, int(SummaryWriter::writeSummaryUtf8(newer).size()));
}

void tst_SummaryCreator::identicalCopiesDeclaredOnce()
{
    const auto copy = makeFile("copy.dat", "twice");
    const auto other = makeFile("other.dat", "once");
    const QString path = containerPath("copies.traxo");
    QVERIFY(
        write(path, { makeSection("m", { copy, other, copy }, stepSummary("s", { declare(copy), declare(other) })) }));
    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(fileLinks(summaries.first()),
        (QStringList {
            "copy.dat:2:InFile", "other.dat:1:InFile", "copy.dat:0:Undefined", "ws_summary.xml:3:Undefined" }));
}

void tst_SummaryCreator::closerCopyWins()
{
    // Two copies with one content; the declaration carries the first copy's
    // description, so the first copy is closer although it is older.
    auto first = makeFile("c.dat", "content");
    auto second = first;
    second.description = "a different description";
    second.comment = "a different comment";
    const QString path = containerPath("closer.traxo");
    QVERIFY(write(path, { makeSection("m", { first, second }, stepSummary("s", { declare(first) })) }));
    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(fileLinks(summaries.first()),
        (QStringList { "c.dat:0:InFile", "c.dat:1:Undefined", "ws_summary.xml:2:Undefined" }));
}

void tst_SummaryCreator::notEmbeddedIsNeverTied()
{
    const auto file = makeFile("kept.txt", "content");
    FileSummary declared = declare(file);
    declared.Embedded = false;
    const QString path = containerPath("notembedded.traxo");
    QVERIFY(write(path, { makeSection("m", { file }, stepSummary("s", { declared })) }));
    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(fileLinks(summaries.first()),
        (QStringList { "kept.txt:-1:InFile", "kept.txt:0:Undefined", "ws_summary.xml:1:Undefined" }));
}

void tst_SummaryCreator::declaredButMissingStaysUntied()
{
    const auto present = makeFile("present.txt", "here");
    const auto absent = makeFile("absent.txt", "not in the container");
    auto changed = makeFile("changed.txt", "new content");
    FileSummary declaredChanged = declare(changed);
    declaredChanged.UncompressedMD5 = QString(32, QLatin1Char('0'));
    const QString path = containerPath("missing.traxo");
    QVERIFY(write(path,
        { makeSection(
            "m", { present, changed }, stepSummary("s", { declare(absent), declare(present), declaredChanged })) }));
    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(fileLinks(summaries.first()),
        (QStringList { "absent.txt:-1:InFile", "present.txt:0:InFile", "changed.txt:-1:InFile",
            "changed.txt:1:Undefined", "ws_summary.xml:2:Undefined" }));
}

void tst_SummaryCreator::sectionWithoutSummary()
{
    const auto a = makeFile("a.txt", "a");
    const auto b = makeFile("b.txt", "b");
    const QString path = containerPath("nosummary.traxo");
    QVERIFY(write(path,
        { makeSection("with", { a }, stepSummary("from xml", { declare(a) })),
            markerOnlySection("marker only", { b }) }));
    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 2);
    QCOMPARE(summaries.at(0).Title, QStringLiteral("from xml"));
    QVERIFY(summaries.at(0).valid);

    const Summary &fromMarkers = summaries.at(1);
    QCOMPARE(fromMarkers.TagID, 0);
    QCOMPARE(fromMarkers.Title, QStringLiteral("marker only"));
    QCOMPARE(fromMarkers.Creator, QStringLiteral("tst_summarycreator"));
    QVERIFY(!fromMarkers.valid);
    QVERIFY(fromMarkers.userAttributeKeys.isEmpty());
    QVERIFY(fromMarkers.Tool.isEmpty());
    QCOMPARE(fileLinks(fromMarkers), QStringList { "b.txt:2:Undefined" });
    QCOMPARE(fromMarkers.files.first().UncompressedSize, 1);
    QCOMPARE(fromMarkers.files.first().Description, QStringLiteral("description of b.txt"));
}

void tst_SummaryCreator::sectionlessFiles_data()
{
    QTest::addColumn<int>("sections");
    QTest::addColumn<int>("loose");
    QTest::addColumn<QStringList>("titles");

    QTest::addRow("only files outside sections") << 0 << 2 << QStringList { "<unmatched files>" };
    QTest::addRow("sections and loose files") << 2 << 1 << QStringList { "step 0", "step 1", "<unmatched files>" };
    QTest::addRow("no loose files, no unmatched summary") << 3 << 0 << QStringList { "step 0", "step 1", "step 2" };
    QTest::addRow("empty container") << 0 << 0 << QStringList();
}

void tst_SummaryCreator::sectionlessFiles()
{
    QFETCH(int, sections);
    QFETCH(int, loose);
    QFETCH(QStringList, titles);

    QList<ContainerWriter::Section> written;
    for (int i = 0; i < sections; ++i) {
        const auto file = makeFile(QStringLiteral("f%1").arg(i), QByteArray::number(i));
        written << makeSection(
            QStringLiteral("m%1").arg(i), { file }, stepSummary(QStringLiteral("step %1").arg(i), { declare(file) }));
    }
    QList<ContainerWriter::File> looseFiles;
    for (int i = 0; i < loose; ++i)
        looseFiles << makeFile(QStringLiteral("loose%1").arg(i), "x");

    const QString path = containerPath(QStringLiteral("loose%1.traxo").arg(++m_counter));
    QVERIFY(write(path, written, looseFiles));
    const QList<Summary> summaries = summariesOf(path);
    QStringList seen;
    for (const Summary &summary : summaries)
        seen << summary.Title;
    QCOMPARE(seen, titles);

    // Oldest first: the section ids count down to the newest, 0.
    for (int i = 0; i < sections; ++i)
        QCOMPARE(summaries.at(i).TagID, sections - 1 - i);
    if (loose > 0) {
        const Summary &unmatched = summaries.last();
        QVERIFY(!unmatched.valid);
        QCOMPARE(unmatched.TagID, 0);
        QCOMPARE(unmatched.files.size(), loose);
        for (int i = 0; i < loose; ++i) {
            QCOMPARE(unmatched.files.at(i).Filename, QStringLiteral("loose%1").arg(i));
            QCOMPARE(unmatched.files.at(i).TagID, 2 * sections + i);
        }
    }
}

void tst_SummaryCreator::damagedSummaryFallsBackToMarkers_data()
{
    QTest::addColumn<QByteArray>("summaryBytes");
    QTest::addColumn<bool>("corruptStoredBytes");

    const QByteArray good = SummaryWriter::writeSummaryUtf8(stepSummary("xml title", {}));
    QTest::addRow("summary that does not inflate") << good << true;
    QTest::addRow("summary that is not UTF-8") << QByteArray(good).replace("xml title", "xml \xff\xfe title") << false;
    QTest::addRow("summary without a document element") << QByteArray("<?xml version=\"1.0\"?><other/>") << false;
    QTest::addRow("empty summary") << QByteArray() << false;
}

void tst_SummaryCreator::damagedSummaryFallsBackToMarkers()
{
    QFETCH(QByteArray, summaryBytes);
    QFETCH(bool, corruptStoredBytes);

    const auto file = makeFile("data.txt", "data");
    ContainerWriter::Section section = markerOnlySection("marker title", { file });
    section.withSummary = true;
    section.summary = summaryBytes;
    const QString path = containerPath(QStringLiteral("damaged%1.traxo").arg(++m_counter));
    QVERIFY(write(path, { section }));

    if (corruptStoredBytes) {
        // Overwrite the middle of the stored zlib stream in place, so every
        // marker and offset stays where it was.
        TraxoParser parser(ParseTolerant);
        QVERIFY(parser.open(path));
        const QSharedPointer<FileTag> tag = parser.getFile(1);
        QVERIFY(tag);
        QCOMPARE(tag->filename, QStringLiteral("ws_summary.xml"));
        QVERIFY(tag->cfilesize > 8);
        QFile container(path);
        QVERIFY(container.open(QIODevice::ReadWrite));
        QVERIFY(container.seek(tag->position + tag->taglen + tag->offset + 2));
        QVERIFY(container.write(QByteArray(tag->cfilesize - 6, '\xa5')) == tag->cfilesize - 6);
    }

    const QList<Summary> summaries = summariesOf(path);
    QCOMPARE(summaries.size(), 1);
    const Summary &summary = summaries.first();
    QCOMPARE(summary.Title, QStringLiteral("marker title"));
    QVERIFY(!summary.valid);
    QCOMPARE(fileLinks(summary), (QStringList { "data.txt:0:Undefined", "ws_summary.xml:1:Undefined" }));
}

void tst_SummaryCreator::markerEscapesDoNotPreventMatching()
{
    // Markers store "]", "\" and line feeds escaped; the summary holds the
    // names as they are, and the two must still be tied.
    const auto bracket = makeFile("scan[3].tif", "image");
    const auto backslash = makeFile("a\\b.txt", "text");
    auto described = makeFile("d.txt", "d");
    described.description = "line one\nline two ]";
    const QString path = containerPath("escapes.traxo");
    QVERIFY(write(path,
        { makeSection("m", { bracket, backslash, described },
            stepSummary("s", { declare(bracket), declare(backslash), declare(described) })) }));

    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(path));
    QCOMPARE(parser.getFile(0)->filename, QStringLiteral("scan[3\\].tif"));
    const FileSummary declared = declare(described);
    QCOMPARE(SummaryCreator::distance(*parser.getFile(2), declared), 0u);

    SummaryCreator creator;
    const QList<Summary> summaries = creator.createSummaries(parser);
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(fileLinks(summaries.first()),
        (QStringList { "scan[3].tif:0:InFile", "a\\b.txt:1:InFile", "d.txt:2:InFile", "ws_summary.xml:3:Undefined" }));
}

QTEST_GUILESS_MAIN(tst_SummaryCreator)
#include "tst_summarycreator.moc"
