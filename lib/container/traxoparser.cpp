#include "container/traxoparser.h"

#include "container/containerlogging.h"
#include "container/containermarkers.h"
#include "container/inflater.h"
#include "container/md5hash.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace traxo {

namespace {

// The kinds of marker field: text with the escapes \\ \] \n, decimal digits
// (possibly none), and an MD5 that is empty or 32 lower-case hex digits.
enum class FieldKind { Text, Integer, Md5 };

// A field and the literal text that must follow it.
struct FieldLayout
{
    FieldKind kind;
    QByteArrayView next;
};

// The two markers field by field, reading exactly the lines that
// sectionRegexStr and fileRegexStr describe.
constexpr QByteArrayView sectionHead("%<--! $TRAXO_SECTION [version:");
const FieldLayout sectionFields[] = {
    { FieldKind::Text, "][creator:" },
    { FieldKind::Text, "][title:" },
    { FieldKind::Text, "][left:" },
    { FieldKind::Integer, "][size:" },
    { FieldKind::Integer, "][index:" },
    { FieldKind::Integer, "][md5section:" },
    { FieldKind::Md5, "][previousmd5:" },
    { FieldKind::Md5, "][previousmarker:" },
    { FieldKind::Integer, "]-->" },
};
constexpr QByteArrayView fileHead("%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:");
const FieldLayout fileFields[] = {
    { FieldKind::Text, "][filename:" },
    { FieldKind::Text, "][desc:" },
    { FieldKind::Text, "][comment:" },
    { FieldKind::Text, "][compression:" },
    { FieldKind::Text, "][filesize:" },
    { FieldKind::Integer, "][cfilesize:" },
    { FieldKind::Integer, "][blocksize:" },
    { FieldKind::Integer, "][offset:" },
    { FieldKind::Integer, "][md5file:" },
    { FieldKind::Md5, "][md5cfile:" },
    { FieldKind::Md5, "]-->" },
};

// Where one marker line and its fields lie, as byte offsets into the line:
// group 0 is the whole marker, group i its i-th field.
struct MarkerMatch
{
    static constexpr int MaxGroups = 12;
    bool matched = false;
    qsizetype start[MaxGroups] = {};
    qsizetype length[MaxGroups] = {};
};

bool readLiteral(QByteArrayView bytes, qsizetype *pos, QByteArrayView expected)
{
    if (bytes.size() - *pos < expected.size()
        || std::memcmp(bytes.data() + *pos, expected.data(), size_t(expected.size())) != 0)
        return false;
    *pos += expected.size();
    return true;
}

// Every marker holds two or three MD5s: a comparison or two per digit.
constexpr bool isLowerHexDigit(char c)
{
    return uchar(c - '0') < 10 || uchar(c - 'a') < 6;
}

// Every field ends where the literal after it must begin (a text at its
// first unescaped "]"), so a field read one way is the only reading that can
// lead to a match: no backtracking is needed.
bool readField(QByteArrayView bytes, qsizetype *pos, FieldKind kind)
{
    const qsizetype size = bytes.size();
    qsizetype at = *pos;
    switch (kind) {
    case FieldKind::Text:
        // Titles and names are the long fields: find the "]" that ends one
        // with memchr, then check the escapes before it.
        for (;;) {
            const char *data = bytes.data();
            const auto *close = static_cast<const char *>(std::memchr(data + at, ']', size_t(size - at)));
            const qsizetype end = close ? close - data : size;
            const auto *escape = static_cast<const char *>(std::memchr(data + at, '\\', size_t(end - at)));
            if (!escape) {
                at = end;
                break;
            }
            at = escape - data;
            const char next = at + 1 < size ? data[at + 1] : '\0';
            if (next != '\\' && next != ']' && next != 'n')
                break;
            at += 2;
        }
        break;
    case FieldKind::Integer:
        while (at < size && bytes.at(at) >= '0' && bytes.at(at) <= '9')
            ++at;
        break;
    case FieldKind::Md5:
        if (at < size && bytes.at(at) == ']')
            break;
        if (size - at < 32)
            return false;
        for (const char c : bytes.sliced(at, 32)) {
            if (!isLowerHexDigit(c))
                return false;
        }
        at += 32;
        break;
    }
    *pos = at;
    return true;
}

// Matched by hand rather than by a regular expression: a search reads every
// marker of thousands of containers, and the expression dominated its time.
template<size_t N>
MarkerMatch matchMarker(QByteArrayView bytes, QByteArrayView head, const FieldLayout (&fields)[N])
{
    static_assert(N < MarkerMatch::MaxGroups);
    MarkerMatch match;
    qsizetype pos = 0;
    if (!readLiteral(bytes, &pos, head))
        return match;
    for (size_t i = 0; i < N; ++i) {
        match.start[i + 1] = pos;
        if (!readField(bytes, &pos, fields[i].kind))
            return match;
        match.length[i + 1] = pos - match.start[i + 1];
        if (!readLiteral(bytes, &pos, fields[i].next))
            return match;
    }
    match.length[0] = pos;
    match.matched = true;
    return match;
}

QByteArrayView field(const MarkerMatch &match, QByteArrayView bytes, int group)
{
    return bytes.sliced(match.start[group], match.length[group]);
}

QString textField(const MarkerMatch &match, QByteArrayView bytes, int group)
{
    return QString::fromUtf8(field(match, bytes, group));
}

QString md5Field(const MarkerMatch &match, QByteArrayView bytes, int group)
{
    return QString::fromLatin1(field(match, bytes, group));
}

// An empty integer reads as -1. Offsets and sizes are 64-bit; a value of
// more than 18 digits is no offset in any file, so the whole marker is
// refused rather than wrapped around.
bool intField(const MarkerMatch &match, QByteArrayView bytes, int group, qint64 *value)
{
    QByteArrayView digits = field(match, bytes, group);
    if (digits.isEmpty()) {
        *value = -1;
        return true;
    }
    while (digits.size() > 1 && digits.front() == '0')
        digits = digits.sliced(1);
    if (digits.size() > 18)
        return false;
    qint64 number = 0;
    for (const char digit : digits)
        number = number * 10 + (digit - '0');
    *value = number;
    return true;
}

// The marker's bytes from its "<" (one past the "%") to the end of the line,
// with its md5section, group 7 of a section match, replaced by zeros.
QByteArray makeValidationTag(const MarkerMatch &match, QByteArrayView bytes)
{
    // "[md5section:<value>]", built on the stack: this runs for every section
    // of every container a search opens.
    const auto bracketed = [](QByteArrayView value, char(&buffer)[45]) {
        constexpr QByteArrayView key("[md5section:");
        std::memcpy(buffer, key.data(), size_t(key.size()));
        std::memcpy(buffer + key.size(), value.data(), size_t(value.size()));
        buffer[key.size() + value.size()] = ']';
        return QByteArrayView(buffer, key.size() + value.size() + 1);
    };
    char stored[45];
    char zeros[45];
    QByteArray tag = bytes.sliced(1).toByteArray();
    tag.replace(bracketed(field(match, bytes, 7), stored), bracketed(TRAXO_ZERO_MD5, zeros));
    return tag;
}

QString md5Hex(const QByteArray &data)
{
    return QString::fromLatin1(Md5Hash::hash(data).toHex());
}

} // namespace

TraxoParser::TraxoParser(ParseMode mode, QObject *parent)
    : m_mode(mode)
{
    setParent(parent);
}

TraxoParser::~TraxoParser() = default;

bool TraxoParser::open(const QString &fileName)
{
    if (!openHeader(fileName))
        return false;
    readMarkers();
    return true;
}

bool TraxoParser::openHeader(const QString &fileName)
{
    m_sections.clear();
    m_files.clear();
    m_fileName.clear();
    m_iterator.closeFile();

    if (!m_iterator.open(fileName))
        return false;
    if (!checkHeader()) {
        m_iterator.closeFile();
        return false;
    }
    m_fileName = fileName;
    return true;
}

void TraxoParser::readMarkers()
{
    m_sections.clear();
    m_files.clear();
    readSections();
    readFiles();
    qCDebug(lcContainer) << "opened" << m_fileName << m_sections.size() << "sections" << m_files.size() << "files";
}

QSharedPointer<SectionTag> TraxoParser::getSection(int index) const
{
    if (index < 0 || index >= m_sections.size())
        return {};
    return QSharedPointer<SectionTag>::create(m_sections.at(index));
}

QSharedPointer<FileTag> TraxoParser::getFile(int index) const
{
    if (index < 0 || index >= m_files.size())
        return {};
    return QSharedPointer<FileTag>::create(m_files.at(index));
}

QList<FileTag> TraxoParser::getFilesInSection(int sectionIndex) const
{
    QList<FileTag> files;
    if (sectionIndex < 0 || sectionIndex >= m_sections.size())
        return files;
    const SectionTag &section = m_sections.at(sectionIndex);
    for (const FileTag &file : m_files) {
        if (fileInSection(file, section))
            files.append(file);
    }
    return files;
}

QList<FileTag> TraxoParser::getSectionlessFiles() const
{
    QList<FileTag> files;
    for (const FileTag &file : m_files) {
        const bool inSomeSection = std::any_of(m_sections.cbegin(), m_sections.cend(),
            [&file](const SectionTag &section) { return fileInSection(file, section); });
        if (!inSomeSection)
            files.append(file);
    }
    return files;
}

bool TraxoParser::fileInSection(const FileTag &file, const SectionTag &section)
{
    // Empty (negative) extents contain nothing; sums are taken in 64 bits so
    // that large fields cannot wrap into a plausible range.
    if (section.left < 0 || section.size < 0 || file.taglen < 0 || file.blocksize < 0)
        return false;
    const qint64 sectionStart = section.position - section.left;
    const qint64 sectionEnd = sectionStart + section.size;
    const qint64 blockEnd = file.position + file.taglen + file.blocksize;
    return sectionStart <= file.position && blockEnd <= sectionEnd;
}

QByteArray TraxoParser::getBytes(qint64 position, qint64 length)
{
    return m_iterator.getBytes(position, length);
}

QSharedPointer<QByteArray> TraxoParser::getCompressedFile(int index)
{
    if (index < 0 || index >= m_files.size())
        return {};
    const FileTag &file = m_files.at(index);
    if (file.taglen < 0 || file.offset < 0 || file.cfilesize < 0)
        return {};
    const qint64 start = file.position + file.taglen + file.offset;
    if (file.cfilesize > m_iterator.getFileSize() - start)
        return {};
    if (file.cfilesize == 0)
        return QSharedPointer<QByteArray>::create();
    const QByteArray stored = m_iterator.getBytes(start, file.cfilesize);
    if (stored.size() != file.cfilesize)
        return {};
    return QSharedPointer<QByteArray>::create(stored);
}

QSharedPointer<QByteArray> TraxoParser::getFileContent(int index)
{
    const QSharedPointer<QByteArray> stored = getCompressedFile(index);
    if (!stored)
        return {};
    const FileTag &file = m_files.at(index);
    if (file.filesize < 0)
        return {};
    if (file.compression == QLatin1String("flate")) {
        QByteArray content;
        if (!inflateExact(*stored, file.filesize, &content) || content.size() != file.filesize)
            return {};
        return QSharedPointer<QByteArray>::create(content);
    }
    // Stored as is: a length other than filesize means the marker and the
    // data disagree, and a partial file must not pass for the whole one.
    if (file.compression == QLatin1String("none") && stored->size() == file.filesize)
        return stored;
    return {};
}

QByteArray TraxoParser::decompressBytes(const QByteArray &data, qint64 size)
{
    QByteArray content;
    if (!inflateExact(data, size, &content))
        return {};
    return content;
}

QPair<QString, QString> TraxoParser::calcChecksumsForFile(int index)
{
    const QSharedPointer<QByteArray> stored = getCompressedFile(index);
    if (!stored)
        return {};
    QPair<QString, QString> sums(md5Hex(*stored), QString());
    const FileTag &file = m_files.at(index);
    QByteArray content;
    if (file.compression == QLatin1String("flate") && file.filesize >= 0
        && inflateExact(*stored, file.filesize, &content))
        sums.second = md5Hex(content);
    return sums;
}

bool TraxoParser::inflateExact(const QByteArray &data, qint64 maxSize, QByteArray *out)
{
    out->clear();
    if (data.isEmpty() || maxSize < 0)
        return false;

    // zlib counts input in 32 bits: data beyond 4 GiB is fed in pieces.
    z_stream stream {};
    const char *nextIn = data.constData();
    qint64 inputLeft = data.size();
    const auto feed = [&]() {
        const uInt piece = uInt(std::min<qint64>(inputLeft, std::numeric_limits<uInt>::max()));
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(nextIn));
        stream.avail_in = piece;
        nextIn += piece;
        inputLeft -= piece;
    };
    feed();
    if (inflateInit(&stream) != Z_OK)
        return false;

    // Grow with the output instead of trusting the declared size, which may
    // be hostile; stop as soon as the stream yields more than allowed.
    out->reserve(qsizetype(std::min<qint64>(maxSize, qint64(data.size()) * 4 + 65536)));
    char chunk[65536];
    int result = Z_OK;
    for (;;) {
        if (stream.avail_in == 0 && inputLeft > 0)
            feed();
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = sizeof(chunk);
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            break;
        const qsizetype produced = qsizetype(sizeof(chunk) - stream.avail_out);
        if (out->size() + produced > maxSize) {
            result = Z_BUF_ERROR;
            break;
        }
        out->append(chunk, produced);
        if (result == Z_STREAM_END)
            break;
        // No output and no input left: the data ended before the stream did.
        if (produced == 0 && (result == Z_BUF_ERROR || stream.avail_in == 0) && inputLeft == 0)
            break;
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        out->clear();
        return false;
    }
    return true;
}

bool TraxoParser::checkHeader()
{
    if (m_iterator.empty() || !m_iterator.firstLine())
        return false;
    for (int lineNumber = 0; lineNumber < 10; ++lineNumber) {
        const QByteArray &line = m_iterator.line();
        // A line with a NUL byte is not text: the search ends there.
        if (FileIterator::containsNulls(line))
            return false;
        if (line.startsWith(TRAXO_HEADER_LINE))
            return true;
        if (!m_iterator.nextLine())
            return false;
    }
    return false;
}

void TraxoParser::readSections()
{
    std::optional<SectionTag> section = findLastSection();
    while (section) {
        section->id = int(m_sections.size());
        m_sections.append(std::move(*section));
        section = findPreviousSection(m_sections.constLast());
    }
}

void TraxoParser::readFiles()
{
    if (!m_iterator.firstLine())
        return;
    do {
        if (!m_iterator.curLineStartsWithBytes(TRAXO_EMBEDDEDFILE_PREFIX)
            || FileIterator::containsNulls(m_iterator.line()))
            continue;
        std::optional<FileTag> parsed = parseFile();
        if (!parsed)
            continue;
        parsed->id = int(m_files.size());
        m_files.append(std::move(*parsed));
        const FileTag *file = &m_files.constLast();
        // Skip the stored data by landing on the last byte of the block: the
        // rest of that line is read and the scan goes on with the line after
        // the block. A jump that would not pass the marker line (empty or
        // bogus blocksize) or leaves the file is not taken; the scan then
        // simply advances line by line.
        const qint64 lastBlockByte = file->position + file->taglen + file->blocksize - 1;
        if (file->blocksize > 0 && lastBlockByte >= m_iterator.curLineEnd() && lastBlockByte < m_iterator.getFileSize())
            m_iterator.gotoPos(lastBlockByte);
    } while (m_iterator.nextLine());
}

std::optional<SectionTag> TraxoParser::findLastSection()
{
    if (!m_iterator.lastLine())
        return {};
    do {
        const QByteArray &line = m_iterator.line();
        if (FileIterator::containsNulls(line))
            continue;
        if (line.startsWith(TRAXO_SECTION_PREFIX)) {
            if (std::optional<SectionTag> section = parseSection(0))
                return section;
        } else if (m_mode == ParseTolerant) {
            const qsizetype column = line.indexOf(TRAXO_SECTION_PREFIX);
            if (column >= 0) {
                if (std::optional<SectionTag> section = parseSection(column))
                    return section;
            }
        }
    } while (m_iterator.prevLine());
    return {};
}

std::optional<SectionTag> TraxoParser::findPreviousSection(const SectionTag &section)
{
    if (section.previousmarker < 0)
        return {};
    // The chain must move strictly towards the start of the file: a link of
    // 0, or one that lands on this or a later marker, would walk in a circle.
    const auto isEarlier = [&section](const std::optional<SectionTag> &candidate) {
        return candidate && candidate->position < section.position;
    };
    const qint64 target = section.position - 1 - section.previousmarker;
    if (section.previousmarker == 0 || target < 0 || !m_iterator.gotoPos(target)) {
        qCDebug(lcContainer) << "section" << section.id << "has no usable previousmarker" << section.previousmarker;
        return {};
    }
    if (!FileIterator::containsNulls(m_iterator.line())) {
        std::optional<SectionTag> previous = parseSection(0);
        if (isEarlier(previous))
            return previous;
    }
    if (m_mode == ParseTolerant) {
        for (int i = 0; i < 5; ++i)
            m_iterator.prevLine();
        for (int i = 0; i < 10; ++i) {
            const QByteArray &line = m_iterator.line();
            if (!FileIterator::containsNulls(line)) {
                const qsizetype column = line.indexOf(TRAXO_SECTION_PREFIX);
                if (column >= 0) {
                    std::optional<SectionTag> previous = parseSection(column);
                    if (isEarlier(previous))
                        return previous;
                }
            }
            if (!m_iterator.nextLine())
                break;
        }
    }
    emitLog(QStringLiteral("Section chain of \"%1\" is broken before the section at byte %2: older sections are "
                           "not read.\n")
                .arg(m_fileName)
                .arg(section.position),
        LogWarning);
    return {};
}

std::optional<SectionTag> TraxoParser::parseSection(qsizetype column) const
{
    const QByteArrayView bytes = QByteArrayView(m_iterator.line()).sliced(column);
    const MarkerMatch match = matchMarker(bytes, sectionHead, sectionFields);
    if (!match.matched)
        return {};
    std::optional<SectionTag> section(std::in_place);
    section->position = m_iterator.curPos() + column + 1;
    section->taglen = int(match.length[0] - 1);
    if (!intField(match, bytes, 4, &section->left) || !intField(match, bytes, 5, &section->size)
        || !intField(match, bytes, 6, &section->index) || !intField(match, bytes, 9, &section->previousmarker))
        return {};
    section->version = textField(match, bytes, 1);
    section->creator = textField(match, bytes, 2);
    section->title = textField(match, bytes, 3);
    section->md5section = md5Field(match, bytes, 7);
    section->previousmd5 = md5Field(match, bytes, 8);
    section->validationTag = makeValidationTag(match, bytes);
    return section;
}

std::optional<FileTag> TraxoParser::parseFile() const
{
    const QByteArrayView bytes = m_iterator.line();
    const MarkerMatch match = matchMarker(bytes, fileHead, fileFields);
    if (!match.matched)
        return {};
    std::optional<FileTag> file(std::in_place);
    file->position = m_iterator.curPos() + 1;
    file->taglen = int(match.length[0] - 1);
    if (!intField(match, bytes, 6, &file->filesize) || !intField(match, bytes, 7, &file->cfilesize)
        || !intField(match, bytes, 8, &file->blocksize) || !intField(match, bytes, 9, &file->offset))
        return {};
    file->filetype = textField(match, bytes, 1);
    file->filename = textField(match, bytes, 2);
    file->description = textField(match, bytes, 3);
    file->comment = textField(match, bytes, 4);
    file->compression = textField(match, bytes, 5);
    file->md5file = md5Field(match, bytes, 10);
    file->md5cfile = md5Field(match, bytes, 11);
    return file;
}

bool TraxoParser::writeFileToDisk(int index, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    emitLog(QStringLiteral("[writeFileToDisk] file: %1").arg(path), LogInfo);

    const QSharedPointer<FileTag> file = getFile(index);
    if (!file) {
        emitLog(QStringLiteral("*** ERROR: there is no embedded file %1.").arg(index), LogError);
        return false;
    }
    const bool flate = file->compression == QLatin1String("flate");
    if (!flate && file->compression != QLatin1String("none")) {
        emitLog(QStringLiteral("*** ERROR: invalid compression method."), LogError);
        return false;
    }

    // The target is replaced only by a complete file: a failure leaves it
    // (and any older file of that name) as it was.
    QSaveFile out(path);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;

    const qint64 length = file->cfilesize;
    emitLog(QStringLiteral("original/embedded file size: %1/%2 MB (%3/%4 bytes)")
                .arg(file->filesize / 1024.0 / 1024.0, 0, 'f', 2)
                .arg(length / 1024.0 / 1024.0, 0, 'f', 2)
                .arg(file->filesize)
                .arg(length),
        LogInfo);
    qCDebug(lcContainer) << "writeFileToDisk" << path << file->filesize << length;

    const qint64 start = file->position + file->taglen + file->offset;
    if (length < 0 || start < 0 || length > m_iterator.getFileSize() - start) {
        emitLog(QStringLiteral("*** ERROR: the stored data of %1 lies outside the container.").arg(file->filename),
            LogError);
        return false;
    }

    constexpr int chunkSize = 4194304;
    Inflater inflater;
    bool written = true;
    for (qint64 done = 0; done < length;) {
        const qint64 chunk = qMin<qint64>(length - done, chunkSize);
        const QByteArray bytes = getBytes(start + done, chunk);
        if (bytes.size() != chunk) {
            emitLog(QStringLiteral("*** ERROR: the stored data of %1 lies outside the container.").arg(file->filename),
                LogError);
            return false;
        }
        done += chunk;
        if (flate) {
            inflater.inflateData(bytes, [&out, &written](const char *data, int size) {
                written = out.write(data, size) == size;
                return written;
            });
            if (written && !inflater.isValid())
                break;
        } else {
            written = out.write(bytes) == bytes.size();
        }
        if (!written) {
            emitLog(QStringLiteral("*** ERROR: IO Error."), LogError);
            return false;
        }
    }
    // A stream must end exactly with its stored bytes.
    if (flate && (!inflater.isValid() || !inflater.hasFinished())) {
        emitLog(QStringLiteral("*** ERROR: Could not decompress data from file %1").arg(path), LogError);
        return false;
    }
    if (!out.commit()) {
        emitLog(QStringLiteral("*** ERROR: IO Error."), LogError);
        return false;
    }
    emitLog(QStringLiteral("[writeFileToDisk] total: %1s.").arg(timer.elapsed() / 1000.0, 0, 'f', 2), LogInfo);
    return true;
}

} // namespace traxo
