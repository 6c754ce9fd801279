#include "container/containerwriter.h"

#include "container/containerlock.h"
#include "container/containermarkers.h"
#include "container/filecopy.h"
#include "container/md5hash.h"
#include "container/traxoparser.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>

#include <zlib.h>

#include <cstring>
#include <limits>
#include <thread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace traxo {

namespace {

QByteArray md5Hex(const QByteArray &data)
{
    return Md5Hash::hash(data).toHex();
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

QByteArray fileMarker(const ContainerWriter::File &file, bool flate, qint64 filesize, qint64 cfilesize,
    qint64 blocksize, qint64 offset, const QByteArray &md5file, const QByteArray &md5cfile)
{
    QByteArray line = QByteArray(TRAXO_EMBEDDEDFILE_PREFIX) + ' ';
    line += textField("filetype", file.filetype);
    line += textField("filename", file.filename);
    line += textField("desc", file.description);
    line += textField("comment", file.comment);
    line += textField("compression", flate ? QStringLiteral("flate") : QStringLiteral("none"));
    line += intField("filesize", filesize);
    line += intField("cfilesize", cfilesize);
    line += intField("blocksize", blocksize);
    line += intField("offset", offset);
    line += field("md5file", md5file);
    line += field("md5cfile", md5cfile);
    line += "-->";
    return line;
}

// Whether data holds the text that starts every marker line. Runs over each
// byte of a file stored as it is, so it looks for the first two characters at
// 64 positions at a time and checks the rest only where they stand.
bool holdsMarkerText(QByteArrayView data)
{
    static constexpr char text[] = "%<--! $TRAXO_";
    constexpr qsizetype length = sizeof(text) - 1;
    const char *p = data.data();
    const qsizetype size = data.size();
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(text[0]);
    const __m128i second = _mm_set1_epi8(text[1]);
    const auto pairs = [&](qsizetype at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at + 1));
        return _mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second));
    };
    for (; i + 65 <= size; i += 64) {
        const __m128i any
            = _mm_or_si128(_mm_or_si128(pairs(i), pairs(i + 16)), _mm_or_si128(pairs(i + 32), pairs(i + 48)));
        if (_mm_movemask_epi8(any) == 0)
            continue;
        for (qsizetype at = i; at < i + 64; ++at) {
            if (at + length <= size && std::memcmp(p + at, text, length) == 0)
                return true;
        }
    }
#endif
    for (; i + length <= size; ++i) {
        if (p[i] == text[0] && std::memcmp(p + i, text, length) == 0)
            return true;
    }
    return false;
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
    QByteArray block = fileMarker(file, flate, file.content.size(), stored.size(), blocksize, offset,
        md5Hex(file.content), flate ? md5Hex(stored) : QByteArray());
    block += '\n';
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

// An open container and what an append needs to know about it.
struct ContainerWriter::Target
{
    QString path;
    QFile file;
    qint64 size = 0;
    bool endsWithLineFeed = true;
    bool hasPrevious = false;
    qint64 previousPosition = 0;
    QByteArray previousMd5;
    int index = 0;
    QByteArray trailer; // the PDF trailer pointer to write after the append
    bool journaled = false;
};

// A run of section bytes: held in memory, or streamed to disk, in which case
// head is the marker line padded to the placeholder's width and the data
// lies on disk from dataStart to dataEnd.
struct ContainerWriter::Piece
{
    QByteArray head;
    bool streamed = false;
    qint64 headStart = 0;
    qint64 dataStart = 0;
    qint64 dataEnd = 0;
};

namespace {

constexpr qint64 ChunkSize = 4 << 20;
// Data that is only hashed and scanned goes in pieces that stay in the
// processor's cache from the read through the MD5: reading and hashing in
// 64 KiB pieces takes about a fifth less time than in 256 KiB pieces.
constexpr qint64 CacheChunkSize = 64 << 10;
constexpr qint64 DeflateOutputSize = 1 << 20;

// The size and times of an open regular file: one written to meanwhile has
// other times even where its size stayed. Pipes change with every write, so
// they get none.
QByteArray fileStamp(int handle)
{
#ifdef Q_OS_LINUX
    struct stat info = {};
    if (::fstat(handle, &info) != 0)
        return QByteArrayLiteral("?");
    if (!S_ISREG(info.st_mode))
        return {};
    QByteArray stamp;
    for (const qint64 value : { qint64(info.st_size), qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec),
             qint64(info.st_ctim.tv_sec), qint64(info.st_ctim.tv_nsec) })
        stamp += QByteArray::number(value) + ' ';
    return stamp;
#else
    Q_UNUSED(handle);
    return {};
#endif
}

ContainerWriter::StoredFile storedFile(const ContainerWriter::File &file)
{
    ContainerWriter::StoredFile stored;
    stored.filename = file.filename;
    stored.compression = file.compression;
    stored.filesize = file.content.size();
    if (file.compression == ContainerWriter::Flate) {
        const QByteArray compressed = ContainerWriter::compress(file.content);
        stored.cfilesize = compressed.size();
        stored.md5cfile = QString::fromLatin1(md5Hex(compressed));
    } else {
        stored.cfilesize = file.content.size();
    }
    stored.md5file = QString::fromLatin1(md5Hex(file.content));
    return stored;
}

} // namespace

QByteArray ContainerWriter::pdfTrailerPointer(const QByteArray &tail)
{
    const qsizetype at = tail.lastIndexOf("startxref");
    if (at < 0)
        return {};
    qsizetype i = at + 9;
    while (i < tail.size() && (tail.at(i) == '\r' || tail.at(i) == '\n' || tail.at(i) == ' '))
        ++i;
    const qsizetype digits = i;
    while (i < tail.size() && tail.at(i) >= '0' && tail.at(i) <= '9')
        ++i;
    if (i == digits || !tail.mid(i).contains("%%EOF"))
        return {};
    return "startxref\n" + tail.mid(digits, i - digits) + "\n%%EOF\n";
}

bool ContainerWriter::appendSection(const QString &path, const Section &section)
{
    m_errorString.clear();
    m_stored.clear();
    if (!checkText(section.version, QStringLiteral("version")) || !checkText(section.creator, QStringLiteral("creator"))
        || !checkText(section.title, QStringLiteral("title")))
        return false;
    for (const File &file : section.files) {
        if (!checkFile(file))
            return false;
    }
    Target target;
    if (!openTarget(path, target))
        return false;
    return append(target, section.files, &section);
}

bool ContainerWriter::appendFiles(const QString &path, const QList<File> &files)
{
    m_errorString.clear();
    m_stored.clear();
    for (const File &file : files) {
        if (!checkFile(file))
            return false;
    }
    Target target;
    if (!openTarget(path, target))
        return false;
    return append(target, files, nullptr);
}

bool ContainerWriter::openTarget(const QString &path, Target &target)
{
    target.path = path;
    {
        TraxoParser parser(ParseTolerant);
        if (!parser.open(path)) {
            if (!QFileInfo::exists(path))
                return fail(QStringLiteral("\"%1\" does not exist.").arg(path));
            return fail(QStringLiteral("\"%1\" is not a container: no header line in its first ten lines.").arg(path));
        }
        if (const QSharedPointer<SectionTag> previous = parser.getSection(0)) {
            target.hasPrevious = true;
            target.previousPosition = previous->position;
            target.previousMd5 = previous->md5section.toLatin1();
        }
        target.index = parser.getNumSections();
    }
    target.file.setFileName(path);
    if (!target.file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(path, target.file.errorString()));
    target.size = target.file.size();
    const QByteArray head = target.file.read(5);
    const qint64 tailLength = qMin<qint64>(target.size, 1024);
    target.file.seek(target.size - tailLength);
    const QByteArray tail = target.file.read(tailLength);
    target.endsWithLineFeed = tail.isEmpty() || tail.endsWith('\n');
    if (head == "%PDF-")
        target.trailer = pdfTrailerPointer(tail);
    return true;
}

bool ContainerWriter::append(Target &target, const QList<File> &inputFiles, const Section *section)
{
    QList<File> files = inputFiles;
    const bool summaryLater = section && section->withSummary && section->summaryBuilder;
    File summary;
    if (section && section->withSummary) {
        summary.filetype = QStringLiteral("text/xml");
        summary.filename = QStringLiteral("ws_summary.xml");
        summary.description = QStringLiteral("workflow step summary");
        summary.content = section->summary;
        summary.compression = section->summaryCompression;
        if (!summaryLater)
            files.append(summary);
    }

    if (m_lock) {
        if (!m_lock->beginAppend(target.size))
            return fail(m_lock->errorString());
        target.journaled = true;
    }

    // Bytes waiting to be written: the line feed that starts a new line,
    // then blocks held in memory until a streamed file or the end comes.
    QByteArray pending = target.endsWithLineFeed ? QByteArray() : QByteArray("\n");
    const qint64 sectionStart = target.size + pending.size();
    qint64 end = target.size; // where pending goes
    QList<Piece> pieces;
    for (const File &file : std::as_const(files)) {
        if (file.sourcePath.isEmpty()) {
            Piece piece;
            piece.head = fileBlock(file);
            pending += piece.head;
            pieces << piece;
            m_stored << storedFile(file);
            continue;
        }
        if (!pending.isEmpty()) {
            if (!writeAt(target.file, end, pending))
                return undo(target);
            end += pending.size();
            pending.clear();
        }
        Piece piece;
        if (!streamFile(target, end, file, piece))
            return undo(target);
        end = piece.dataEnd;
        pieces << piece;
    }
    if (summaryLater) {
        summary.content = section->summaryBuilder(m_stored);
        if (summary.content.isEmpty()) {
            if (m_errorString.isEmpty())
                fail(QStringLiteral("no summary was made for \"%1\".").arg(target.path));
            return undo(target);
        }
        Piece piece;
        piece.head = fileBlock(summary);
        pending += piece.head;
        pieces << piece;
        m_stored << storedFile(summary);
    }

    QByteArray marker;
    if (section) {
        const qint64 beforeMarker = end + pending.size() - sectionStart;
        const qint64 position = sectionStart + beforeMarker + 1;
        const qint64 left = position - sectionStart;
        // The marker states the section's size, which includes the marker
        // with the digits of that very size: settle it by iteration.
        const auto markerLine = [&](qint64 sectionSize, const QByteArray &md5) {
            QByteArray line = QByteArray(TRAXO_SECTION_PREFIX) + ' ';
            line += textField("version", section->version);
            line += textField("creator", section->creator);
            line += textField("title", section->title);
            line += intField("left", left);
            line += intField("size", sectionSize);
            line += intField("index", target.index);
            line += field("md5section", md5);
            line += field("previousmd5", target.hasPrevious ? target.previousMd5 : QByteArray());
            line += intField("previousmarker", target.hasPrevious ? position - target.previousPosition : -1);
            line += "-->\n";
            return line;
        };
        qint64 sectionSize = beforeMarker + markerLine(0, TRAXO_ZERO_MD5).size();
        for (qint64 settled = -1; settled != sectionSize;) {
            settled = sectionSize;
            sectionSize = beforeMarker + markerLine(settled, TRAXO_ZERO_MD5).size();
        }
        // The checksum is taken with 32 zeros in md5section; the digest has
        // the same length, so writing it in moves nothing.
        Md5Hash hash;
        if (!hashPieces(target.file, pieces, hash))
            return undo(target);
        hash.addData(markerLine(sectionSize, TRAXO_ZERO_MD5));
        marker = markerLine(sectionSize, hash.result().toHex());
    }

    // The markers of streamed files, then the rest in one write: until the
    // section marker stands, readers see the old history.
    for (const Piece &piece : std::as_const(pieces)) {
        if (piece.streamed && !writeAt(target.file, piece.headStart, piece.head))
            return undo(target);
    }
    if (!writeAt(target.file, end, pending + marker + target.trailer))
        return undo(target);
    if (m_lock && !m_lock->finish())
        return fail(m_lock->errorString());
    return true;
}

bool ContainerWriter::writeAt(QFile &out, qint64 at, const QByteArray &bytes)
{
    if (!out.seek(at) || out.write(bytes) != bytes.size())
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(out.fileName(), out.errorString()));
    return true;
}

bool ContainerWriter::streamFile(Target &target, qint64 at, const File &file, Piece &piece)
{
    constexpr qint64 Widest = std::numeric_limits<qint64>::max();
    const QByteArray zeros(32, '0');
    // The placeholder is as wide as the widest marker this file can get.
    const qint64 width = fileMarker(file, true, Widest, Widest, Widest, Widest, zeros, zeros).size() + 1;
    QByteArray placeholder(width, ' ');
    placeholder[0] = '%';
    placeholder[width - 1] = '\n';

    QFile source(file.sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(file.sourcePath, source.errorString()));

    bool flate = file.compression == Flate;
    bool again = false;
    QByteArray input(ChunkSize, Qt::Uninitialized);
    QByteArray output(DeflateOutputSize, Qt::Uninitialized);
    for (;;) {
        const qint64 dataStart = at + width;
        if (!writeAt(target.file, at, placeholder) || !target.file.seek(dataStart))
            return false;
        // Stored compressed after all, the file is read again from its start,
        // which a pipe cannot do.
        if (again && (source.isSequential() || !source.seek(0)))
            return fail(QStringLiteral("cannot read \"%1\" again to store it compressed").arg(file.sourcePath));
        const QByteArray stampBefore = fileStamp(source.handle());
        Md5Hash md5file;
        Md5Hash md5cfile;
        z_stream stream = {};
        if (flate && deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
            return fail(QStringLiteral("cannot compress \"%1\"").arg(file.sourcePath));
        const auto deflateEnd_ = qScopeGuard([&] {
            if (flate)
                deflateEnd(&stream);
        });
        qint64 filesize = 0;
        qint64 stored = 0;
        QByteArray carry;
        bool restartFlate = false;
        const auto writeOut = [&](const char *data, qint64 length) {
            if (target.file.write(data, length) != length)
                return fail(QStringLiteral("cannot write \"%1\": %2").arg(target.path, target.file.errorString()));
            stored += length;
            return true;
        };
        const auto deflateChunk = [&](const char *data, qint64 length, int flush) {
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
            stream.avail_in = uInt(length);
            int result = Z_OK;
            do {
                stream.next_out = reinterpret_cast<Bytef *>(output.data());
                stream.avail_out = uInt(output.size());
                result = deflate(&stream, flush);
                if (result == Z_STREAM_ERROR)
                    return fail(QStringLiteral("cannot compress \"%1\"").arg(file.sourcePath));
                const qint64 produced = output.size() - stream.avail_out;
                md5cfile.addData(QByteArrayView(output.constData(), produced));
                if (!writeOut(output.constData(), produced))
                    return false;
            } while (stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
            return true;
        };
#ifdef Q_OS_LINUX
        // Stored as it is, the data's size is known: reserving its blocks at
        // once spares the file system a reservation per page. Past the end of
        // the file, so cutting the file back frees them again; where the file
        // system cannot, the writes allocate as usual.
        if (!flate && file.sourceSize > 0)
            ::fallocate(target.file.handle(), FALLOC_FL_KEEP_SIZE, off_t(dataStart), off_t(file.sourceSize + 1));
#endif
        if (flate) {
            for (;;) {
                const qint64 count = source.read(input.data(), ChunkSize);
                if (count < 0)
                    return fail(QStringLiteral("cannot read \"%1\": %2").arg(file.sourcePath, source.errorString()));
                if (count == 0)
                    break;
                filesize += count;
                // The checksum of the content runs beside the compression,
                // which takes most of the time.
                const QByteArrayView chunk(input.constData(), count);
                std::thread hashing([&] { md5file.addData(chunk); });
                const bool ok = deflateChunk(chunk.data(), count, Z_NO_FLUSH);
                hashing.join();
                if (!ok)
                    return false;
            }
        } else {
            // Copied as it is, the two checksums are the slow part: this
            // thread only reads and hashes a regular file, in pieces that stay
            // in the core's cache, while a second one copies it into the
            // container and scans it for marker text. Both read the same
            // bytes unless the file changes, which its times then tell.
            FileCopy copy;
            std::thread copying;
            const auto holdsMarker = [&carry](QByteArrayView piece) {
                // Data stored as it is must hold nothing a reader could take
                // for a marker, not even across two pieces.
                const QByteArray seam = carry + piece.first(qMin<qsizetype>(piece.size(), 16)).toByteArray();
                if (holdsMarkerText(piece) || holdsMarkerText(seam))
                    return true;
                carry = piece.last(qMin<qsizetype>(piece.size(), 12)).toByteArray();
                return false;
            };
            if (copy.start(source.handle(), target.file.handle(), dataStart,
                    [&holdsMarker](QByteArrayView piece) { return !holdsMarker(piece); }))
                copying = std::thread([&copy] { copy.run(); });
            const auto stopCopying = qScopeGuard([&] {
                copy.stop();
                if (copying.joinable())
                    copying.join();
            });
            for (;;) {
                const qint64 count = source.read(input.data(), CacheChunkSize);
                if (count < 0)
                    return fail(QStringLiteral("cannot read \"%1\": %2").arg(file.sourcePath, source.errorString()));
                if (count == 0 || copy.ended())
                    break;
                filesize += count;
                const QByteArrayView chunk(input.constData(), count);
                md5file.addData(chunk);
                if (copying.joinable()) {
                    stored += count;
                    continue;
                }
                if (holdsMarker(chunk)) {
                    restartFlate = true;
                    break;
                }
                if (!writeOut(chunk.data(), count))
                    return false;
            }
            if (copying.joinable()) {
                copying.join();
                restartFlate = copy.refused();
                if (copy.error() != 0) {
                    return fail(QStringLiteral("cannot copy \"%1\" into \"%2\": %3")
                                    .arg(file.sourcePath, target.path, qt_error_string(copy.error())));
                }
                if (!restartFlate && copy.copied() != filesize)
                    return fail(
                        QStringLiteral("cannot read \"%1\" whole: it changed while being read").arg(file.sourcePath));
                if (!restartFlate && !target.file.seek(dataStart + stored))
                    return fail(QStringLiteral("cannot write \"%1\": %2").arg(target.path, target.file.errorString()));
            }
        }
        if (restartFlate) {
            emitLog(QStringLiteral("\"%1\" holds container marker text and is stored compressed, so that it cannot "
                                   "be mistaken for markers of the container\n")
                        .arg(file.sourcePath),
                LogWarning);
            flate = true;
            if (!target.file.resize(at + width))
                return fail(QStringLiteral("cannot write \"%1\": %2").arg(target.path, target.file.errorString()));
            again = true;
            continue;
        }
        if (flate && !deflateChunk(nullptr, 0, Z_FINISH))
            return false;
        if ((file.sourceSize >= 0 && filesize != file.sourceSize) || fileStamp(source.handle()) != stampBefore)
            return fail(QStringLiteral("cannot read \"%1\" whole: it changed while being read").arg(file.sourcePath));
        if (!writeOut("\n", 1))
            return false;

        StoredFile info;
        info.filename = file.filename;
        info.compression = flate ? Flate : None;
        info.filesize = filesize;
        info.cfilesize = stored - 1;
        info.md5file = md5file.hexResult();
        info.md5cfile = flate ? md5cfile.hexResult() : QString();
        // The marker and its padding fill the placeholder; the padding lies
        // between the tag and the data, which the offset field spans.
        qint64 offset = 1;
        QByteArray marker;
        for (qint64 settled = -1; settled != offset;) {
            settled = offset;
            marker = fileMarker(file, flate, info.filesize, info.cfilesize, offset + info.cfilesize + 1, offset,
                info.md5file.toLatin1(), info.md5cfile.toLatin1());
            offset = width - marker.size();
        }
        piece.head = marker + QByteArray(width - marker.size() - 1, ' ') + '\n';
        piece.streamed = true;
        piece.headStart = at;
        piece.dataStart = dataStart;
        piece.dataEnd = dataStart + stored;
        m_stored << info;
        return true;
    }
}

bool ContainerWriter::hashPieces(QFile &out, const QList<Piece> &pieces, Md5Hash &hash)
{
    QByteArray buffer;
    for (const Piece &piece : pieces) {
        hash.addData(piece.head);
        if (!piece.streamed)
            continue;
        if (buffer.isEmpty())
            buffer.resize(CacheChunkSize);
        if (!out.seek(piece.dataStart))
            return fail(QStringLiteral("cannot read \"%1\" back: %2").arg(out.fileName(), out.errorString()));
        for (qint64 left = piece.dataEnd - piece.dataStart; left > 0;) {
            const qint64 count = out.read(buffer.data(), qMin<qint64>(left, buffer.size()));
            if (count <= 0)
                return fail(QStringLiteral("cannot read \"%1\" back: %2").arg(out.fileName(), out.errorString()));
            hash.addData(QByteArrayView(buffer.constData(), count));
            left -= count;
        }
    }
    return true;
}

bool ContainerWriter::undo(Target &target)
{
    // The old container is the first size bytes of the new one.
    const QString reason = m_errorString;
    if (!target.file.resize(target.size)) {
        return fail(reason
            + QStringLiteral(" The unfinished step at the end of \"%1\" could not be cut back: %2")
                  .arg(target.path, target.file.errorString()));
    }
    if (target.journaled && m_lock)
        m_lock->finish();
    m_errorString = reason;
    return false;
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
    return true;
}

bool ContainerWriter::fail(const QString &message)
{
    m_errorString = message;
    emitLog(QStringLiteral("*** ERROR: ") + message + QLatin1Char('\n'), LogError);
    return false;
}

} // namespace traxo
