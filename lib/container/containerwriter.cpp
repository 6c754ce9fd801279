#include "container/containerwriter.h"

#include "container/containermarkers.h"
#include "container/traxoparser.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zlib.h>

#include <limits>

namespace traxo {

namespace {

constexpr qint64 MaxContainerSize = std::numeric_limits<int>::max();

QByteArray md5Hex(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QByteArray field(const char *name, const QByteArray &value)
{
    return '[' + QByteArray(name) + ':' + value + ']';
}

QByteArray textField(const char *name, const QString &value)
{
    return field(name, escapeMarkerText(value).toUtf8());
}

QByteArray intField(const char *name, qint64 value)
{
    return field(name, value < 0 ? QByteArray() : QByteArray::number(value));
}

} // namespace

ContainerWriter::ContainerWriter(QObject *sink)
    : LogSource(sink)
{
}

QByteArray ContainerWriter::headerLine()
{
    return QByteArray(TRAXO_HEADER_LINE) + '\n';
}

QByteArray ContainerWriter::compress(const QByteArray &data)
{
    uLongf length = compressBound(uLong(data.size()));
    QByteArray stream(qsizetype(length), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(stream.data()), &length, reinterpret_cast<const Bytef *>(data.constData()),
            uLong(data.size()), Z_DEFAULT_COMPRESSION)
        != Z_OK)
        return {};
    stream.resize(qsizetype(length));
    return stream;
}

QByteArray ContainerWriter::fileBlock(const File &file)
{
    const bool flate = file.compression == Flate;
    const QByteArray stored = flate ? compress(file.content) : file.content;
    // The block holds the line feed that ends the marker line, the stored
    // bytes and a line feed, so the next marker starts a line of its own.
    const qint64 offset = 1;
    const qint64 blocksize = offset + stored.size() + 1;
    QByteArray block = QByteArray(TRAXO_EMBEDDEDFILE_PREFIX) + ' ';
    block += textField("filetype", file.filetype);
    block += textField("filename", file.filename);
    block += textField("desc", file.description);
    block += textField("comment", file.comment);
    block += textField("compression", flate ? QStringLiteral("flate") : QStringLiteral("none"));
    block += intField("filesize", file.content.size());
    block += intField("cfilesize", stored.size());
    block += intField("blocksize", blocksize);
    block += intField("offset", offset);
    block += field("md5file", md5Hex(file.content));
    block += field("md5cfile", flate ? md5Hex(stored) : QByteArray());
    block += "-->\n";
    block += stored;
    block += '\n';
    return block;
}

bool ContainerWriter::create(const QString &path, const QByteArray &leading)
{
    m_errorString.clear();
    if (QFileInfo::exists(path))
        return fail(QStringLiteral("\"%1\" already exists; a new container is not written over it.").arg(path));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot create \"%1\": %2").arg(path, out.errorString()));
    QByteArray bytes = leading;
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += headerLine();
    if (out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(path, out.errorString()));
    return true;
}

bool ContainerWriter::appendSection(const QString &path, const Section &section)
{
    m_errorString.clear();
    if (!checkText(section.version, QStringLiteral("version")) || !checkText(section.creator, QStringLiteral("creator"))
        || !checkText(section.title, QStringLiteral("title")))
        return false;
    QList<File> files = section.files;
    if (section.withSummary) {
        File summary;
        summary.filetype = QStringLiteral("text/xml");
        summary.filename = QStringLiteral("ws_summary.xml");
        summary.description = QStringLiteral("workflow step summary");
        summary.content = section.summary;
        summary.compression = section.summaryCompression;
        files.append(summary);
    }
    for (const File &file : files) {
        if (!checkFile(file))
            return false;
    }

    qint64 size = 0;
    bool endsWithLineFeed = true;
    QSharedPointer<SectionTag> previous;
    int index = 0;
    {
        TraxoParser parser(ParseTolerant);
        if (!readContainer(parser, path, &size, &endsWithLineFeed))
            return false;
        previous = parser.getSection(0);
        index = parser.getNumSections();
    }

    const qint64 sectionStart = size + (endsWithLineFeed ? 0 : 1);
    QByteArray bytes;
    for (const File &file : files)
        bytes += fileBlock(file);
    const qint64 position = sectionStart + bytes.size() + 1;
    const qint64 left = position - sectionStart;

    // The marker states the section's size, which includes the marker with
    // the digits of that very size: settle it by iteration (it grows by at
    // most a digit or two before it stops).
    const auto marker = [&](qint64 sectionSize) {
        QByteArray line = QByteArray(TRAXO_SECTION_PREFIX) + ' ';
        line += textField("version", section.version);
        line += textField("creator", section.creator);
        line += textField("title", section.title);
        line += intField("left", left);
        line += intField("size", sectionSize);
        line += intField("index", index);
        line += field("md5section", TRAXO_ZERO_MD5);
        line += field("previousmd5", previous ? previous->md5section.toLatin1() : QByteArray());
        line += intField("previousmarker", previous ? position - previous->position : -1);
        line += "-->\n";
        return line;
    };
    qint64 sectionSize = bytes.size() + marker(0).size();
    for (qint64 settled = -1; settled != sectionSize;) {
        settled = sectionSize;
        sectionSize = bytes.size() + marker(settled).size();
    }
    bytes += marker(sectionSize);
    if (sectionStart + bytes.size() > MaxContainerSize)
        return fail(QStringLiteral("\"%1\" would grow beyond 2 GiB, which containers cannot address.").arg(path));

    // The checksum is taken with 32 zeros in md5section; the digest has the
    // same length, so writing it in moves nothing.
    const QByteArray zeros = field("md5section", TRAXO_ZERO_MD5);
    const qsizetype at = bytes.lastIndexOf(zeros);
    bytes.replace(at, zeros.size(), field("md5section", md5Hex(bytes)));
    return appendBytes(path, bytes, !endsWithLineFeed);
}

bool ContainerWriter::appendFiles(const QString &path, const QList<File> &files)
{
    m_errorString.clear();
    for (const File &file : files) {
        if (!checkFile(file))
            return false;
    }
    qint64 size = 0;
    bool endsWithLineFeed = true;
    {
        TraxoParser parser(ParseTolerant);
        if (!readContainer(parser, path, &size, &endsWithLineFeed))
            return false;
    }
    QByteArray bytes;
    for (const File &file : files)
        bytes += fileBlock(file);
    if (size + 1 + bytes.size() > MaxContainerSize)
        return fail(QStringLiteral("\"%1\" would grow beyond 2 GiB, which containers cannot address.").arg(path));
    return appendBytes(path, bytes, !endsWithLineFeed);
}

bool ContainerWriter::readContainer(TraxoParser &parser, const QString &path, qint64 *size, bool *endsWithLineFeed)
{
    if (!parser.open(path)) {
        if (!QFileInfo::exists(path))
            return fail(QStringLiteral("\"%1\" does not exist.").arg(path));
        return fail(QStringLiteral("\"%1\" is not a container: no header line in its first ten lines.").arg(path));
    }
    *size = QFileInfo(path).size();
    *endsWithLineFeed = parser.getBytes(int(*size - 1), 1) == "\n";
    return true;
}

bool ContainerWriter::appendBytes(const QString &path, const QByteArray &bytes, bool startNewLine)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(path, in.errorString()));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(path, out.errorString()));
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return fail(QStringLiteral("cannot read \"%1\": %2").arg(path, in.errorString()));
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return fail(QStringLiteral("cannot write \"%1\": %2").arg(path, out.errorString()));
        }
    }
    if ((startNewLine && out.write("\n", 1) != 1) || out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(path, out.errorString()));
    return true;
}

bool ContainerWriter::checkText(const QString &text, const QString &what)
{
    // A NUL byte would make the whole marker line unreadable; escaping cannot
    // help, so such a value is refused.
    if (text.contains(QChar(0)))
        return fail(QStringLiteral("the %1 \"%2\" contains a NUL character.").arg(what, text));
    return true;
}

bool ContainerWriter::checkFile(const File &file)
{
    if (!checkText(file.filetype, QStringLiteral("file type")) || !checkText(file.filename, QStringLiteral("file name"))
        || !checkText(file.description, QStringLiteral("description"))
        || !checkText(file.comment, QStringLiteral("comment")))
        return false;
    if (file.filename.isEmpty() || file.filename.contains(QLatin1Char('/')))
        return fail(QStringLiteral("the file name \"%1\" must be a name without directory.").arg(file.filename));
    if (file.content.size() > MaxContainerSize)
        return fail(QStringLiteral("\"%1\" is larger than a container can hold.").arg(file.filename));
    return true;
}

bool ContainerWriter::fail(const QString &message)
{
    m_errorString = message;
    emitLog(QStringLiteral("*** ERROR: ") + message + QLatin1Char('\n'), LogError);
    return false;
}

} // namespace traxo
