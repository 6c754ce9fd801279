#include "container/extractionqueue.h"

#include "container/containerlogging.h"
#include "container/traxoparser.h"

#include <QSaveFile>

#include <chrono>
#include <system_error>

namespace traxo {

namespace {

const QString flateCompression = QStringLiteral("flate");
const QString noCompression = QStringLiteral("none");
const char writeError[] = "Could not write to file file %1";

// A negative offset (an empty field among the sum) places the data nowhere.
qint64 validOffset(qint64 value)
{
    return value < 0 ? -1 : value;
}

} // namespace

ExtractionQueue::ExtractionQueue(TraxoParser *parser, QObject *parent)
    : m_parser(parser)
{
    setParent(parent);
    m_stopWatch.publishToLogSignal(this);
}

ExtractionQueue::~ExtractionQueue()
{
    discardOutput();
}

Extractee ExtractionQueue::extracteeFromFile(const FileTag &file)
{
    Extractee entry;
    entry.id = file.id;
    entry.start = validOffset(file.position + file.taglen + file.offset);
    const bool flate = file.compression == flateCompression;
    entry.length = flate ? file.cfilesize : file.filesize;
    entry.md5 = file.md5file;
    entry.md5c = flate ? file.md5cfile : QString();
    entry.compression = file.compression;
    return entry;
}

void ExtractionQueue::clear(TraxoParser *parser)
{
    discardOutput();
    m_entries.clear();
    m_parser = parser;
    m_bytesDone = 0;
    m_total = 0;
    m_doneOverall = 0;
}

void ExtractionQueue::reset(TraxoParser *parser)
{
    clear(parser);
    m_stopWatch.stop(false);
}

void ExtractionQueue::reinit(TraxoParser *parser)
{
    clear(parser);
}

void ExtractionQueue::addExtractees(const QHash<int, QString> &targets)
{
    if (!m_parser)
        return;
    const bool wasIdle = m_entries.isEmpty();
    const QList<FileTag> files = m_parser->getFiles();
    for (const FileTag &file : files) {
        if (file.id == -1 || !targets.contains(file.id))
            continue;
        Extractee entry = extracteeFromFile(file);
        entry.target = targets.value(file.id);
        m_total += qMax<qint64>(entry.length, 0);
        m_entries.append(entry);
    }
    if (wasIdle && !m_entries.isEmpty())
        m_stopWatch.start(QStringLiteral("extraction finished"), true);
}

bool ExtractionQueue::startEntry(const Extractee &entry)
{
    m_inflater.reset();
    discardOutput();
    m_output = std::make_unique<QSaveFile>(entry.target);
    // Without the fallback QSaveFile refuses to write in place where it cannot
    // put a temporary file, which keeps the target whole.
    m_output->setDirectWriteFallback(false);
    return m_output->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool ExtractionQueue::writeOutput(const char *data, qint64 size)
{
    return m_output && m_output->write(data, size) == size;
}

void ExtractionQueue::discardOutput()
{
    if (m_commit.valid()) {
        // A commit cannot be taken back: the file it completes stays.
        m_commit.wait();
        m_commit = {};
        m_output.reset();
    }
    if (m_output) {
        // Removes the temporary file; the target stays as it was.
        m_output->cancelWriting();
        m_output.reset();
    }
}

bool ExtractionQueue::process()
{
    if (m_entries.isEmpty()) {
        finishIfIdle();
        emit percentFinishedChanged(100, QString());
        return false;
    }

    const Extractee entry = m_entries.first();
    if (m_commit.valid()) {
        if (m_commit.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return true;
        return finishEntry(entry, m_commit.get());
    }
    auto fail = [this, &entry](
                    const char *message) { return handleError(QString::fromLatin1(message).arg(entry.target), entry); };
    static const char readError[] = "Could not read from file %1";
    static const char inflateError[] = "Could not decompress data from file %1";

    if (!m_parser)
        return fail(readError);
    const bool flate = entry.compression == flateCompression;
    if (m_bytesDone == 0) {
        if (!startEntry(entry))
            return fail(writeError);
        if (!flate && entry.compression != noCompression)
            return fail(inflateError);
        if (entry.start < 0 || entry.length < 0)
            return fail(readError);
    }

    const qint64 chunk = qMin<qint64>(entry.length - m_bytesDone, SliceSize);
    const QByteArray bytes = m_parser->getBytes(entry.start + m_bytesDone, chunk);
    if (bytes.size() != chunk)
        return fail(readError);
    m_bytesDone += chunk;
    m_doneOverall += chunk;

    if (flate) {
        bool written = true;
        m_inflater.inflateData(bytes, [this, &written](const char *data, int size) {
            written = writeOutput(data, size);
            return written;
        });
        if (!written)
            return fail(writeError);
        if (!m_inflater.isValid())
            return fail(inflateError);
    } else if (!writeOutput(bytes.constData(), bytes.size())) {
        return fail(writeError);
    }

    if (m_bytesDone == entry.length) {
        // A stream that has not ended with its stored bytes is cut short.
        if (flate && !m_inflater.hasFinished())
            return fail(inflateError);
        if (m_backgroundCommit) {
            QSaveFile *output = m_output.get();
            try {
                m_commit = std::async(std::launch::async, [output] { return output->commit(); });
                return true;
            } catch (const std::system_error &) {
                // No thread to be had: the commit runs here.
            }
        }
        return finishEntry(entry, m_output->commit());
    }
    return reportProgress();
}

bool ExtractionQueue::finishEntry(const Extractee &entry, bool committed)
{
    m_output.reset();
    if (!committed)
        return handleError(QString::fromLatin1(writeError).arg(entry.target), entry);
    qCDebug(lcContainer) << "extracted file" << entry.id << "to" << entry.target;
    emit fileProcessed(entry.id, true);
    nextEntry();
    return reportProgress();
}

bool ExtractionQueue::reportProgress()
{
    emit percentFinishedChanged(m_total > 0 ? int(m_doneOverall * 100.0 / m_total) : 100, QString());
    finishIfIdle();
    return !m_entries.isEmpty();
}

void ExtractionQueue::nextEntry()
{
    if (m_entries.isEmpty())
        return;
    const Extractee entry = m_entries.takeFirst();
    if (entry.length > m_bytesDone)
        m_doneOverall += entry.length - m_bytesDone;
    m_bytesDone = 0;
    discardOutput();
}

bool ExtractionQueue::handleError(const QString &message, const Extractee &entry)
{
    emitLog(message, LogError);
    emit fileProcessed(entry.id, false);
    nextEntry();
    finishIfIdle();
    return !m_entries.isEmpty();
}

void ExtractionQueue::finishIfIdle()
{
    if (!m_entries.isEmpty())
        return;
    m_stopWatch.stop();
    m_bytesDone = 0;
    m_total = 0;
    m_doneOverall = 0;
    discardOutput();
}

void ExtractionQueue::cancelExtraction()
{
    discardOutput();
    m_entries.clear();
    m_bytesDone = 0;
    m_total = 0;
    m_doneOverall = 0;
    m_stopWatch.stop(false);
}

} // namespace traxo
