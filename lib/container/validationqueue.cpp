#include "container/validationqueue.h"

#include "container/containerlogging.h"
#include "container/traxoparser.h"
#include "container/validationsweep.h"

#include <QSet>

#include <utility>

namespace traxo {

namespace {

const QString flateCompression = QStringLiteral("flate");
const QString runLabel = QStringLiteral("validation finished");

qint64 validOffset(qint64 value)
{
    return value < 0 ? -1 : value;
}

} // namespace

ValidationQueue::ValidationQueue(TraxoParser *parser, int sliceSize, QObject *parent)
    : m_parser(parser)
    , m_sliceSize(sliceSize > 0 ? sliceSize : DefaultSliceSize)
{
    setParent(parent);
    m_stopWatch.publishToLogSignal(this);
#ifndef Q_OS_UNIX
    // The sweep reads through a duplicated descriptor.
    m_threaded = false;
#endif
}

ValidationQueue::~ValidationQueue()
{
    stopSweep();
}

void ValidationQueue::setThreaded(bool threaded)
{
#ifdef Q_OS_UNIX
    if (threaded == m_threaded)
        return;
    stopSweep();
    m_bytesDone = 0;
    m_tagFed = false;
    m_threaded = threaded;
#else
    Q_UNUSED(threaded);
#endif
}

void ValidationQueue::stopSweep()
{
    if (m_sweep)
        m_sweep->stop();
    m_sweep.reset();
    m_sweepLeft = 0;
    m_sweepSkip = 0;
}

Validatee ValidationQueue::validateeFromSection(const SectionTag &section)
{
    Validatee entry;
    entry.kind = SectionValidatee;
    entry.id = section.id;
    entry.start = validOffset(section.position - section.left);
    entry.length = section.size;
    entry.tagPosition = section.position;
    entry.validationTag = section.validationTag;
    entry.md5 = section.md5section;
    entry.name = section.title.isEmpty() ? QStringLiteral("<no title>") : section.title;
    return entry;
}

Validatee ValidationQueue::validateeFromFile(const FileTag &file)
{
    Validatee entry;
    entry.kind = FileValidatee;
    entry.id = file.id;
    entry.start = validOffset(file.position + file.taglen + file.offset);
    const bool flate = file.compression == flateCompression;
    entry.length = flate ? file.cfilesize : file.filesize;
    entry.md5 = file.md5file;
    entry.md5c = flate ? file.md5cfile : QString();
    entry.name = file.filename;
    entry.inflatedLength = flate ? file.filesize : 0;
    return entry;
}

Validatee ValidationQueue::validateeFromSavedFile(const SavedFile &savedFile)
{
    Validatee entry;
    entry.kind = SavedFileValidatee;
    entry.length = savedFile.size;
    entry.md5 = savedFile.md5;
    entry.name = savedFile.filename;
    return entry;
}

void ValidationQueue::clear(TraxoParser *parser)
{
    stopSweep();
    m_entries.clear();
    m_savedFile.close();
    m_parser = parser;
    m_bytesDone = 0;
    m_tagFed = false;
    m_total = 0;
    m_doneOverall = 0;
}

void ValidationQueue::reset(TraxoParser *parser)
{
    clear(parser);
    m_stopWatch.start(runLabel, true);
}

void ValidationQueue::reinit(TraxoParser *parser)
{
    clear(parser);
}

void ValidationQueue::append(const Validatee &entry)
{
    // An idle queue that is given work again times the new run.
    if (!m_stopWatch.isRunning())
        m_stopWatch.start(runLabel, true);
    m_total += qMax<qint64>(entry.length, 0);
    m_entries.append(entry);
}

void ValidationQueue::repopulate(TraxoParser *parser)
{
    reset(parser);
    if (!m_parser)
        return;
    const QList<SectionTag> sections = m_parser->getSections();
    for (auto it = sections.crbegin(); it != sections.crend(); ++it)
        append(validateeFromSection(*it));
    const QList<FileTag> files = m_parser->getFiles();
    for (const FileTag &file : files)
        append(validateeFromFile(file));
}

void ValidationQueue::addValidatees(const QList<int> &fileIds, const QList<int> &sectionIds)
{
    if (!m_parser)
        return;
    const QSet<int> wantedSections(sectionIds.cbegin(), sectionIds.cend());
    const QSet<int> wantedFiles(fileIds.cbegin(), fileIds.cend());
    const QList<SectionTag> sections = m_parser->getSections();
    for (auto it = sections.crbegin(); it != sections.crend(); ++it) {
        if (it->id != -1 && wantedSections.contains(it->id))
            append(validateeFromSection(*it));
    }
    const QList<FileTag> files = m_parser->getFiles();
    for (const FileTag &file : files) {
        if (file.id != -1 && wantedFiles.contains(file.id))
            append(validateeFromFile(file));
    }
}

void ValidationQueue::addValidatees(const QList<SavedFile> &savedFiles)
{
    for (const SavedFile &savedFile : savedFiles)
        append(validateeFromSavedFile(savedFile));
}

bool ValidationQueue::startEntry(const Validatee &entry)
{
    m_validator.reinit(entry.md5, entry.md5c);
    m_tagFed = false;
    if (entry.length < 0)
        return false;
    if (entry.kind == SavedFileValidatee) {
        m_savedFile.close();
        m_savedFile.setFileName(entry.name);
        return m_savedFile.open(QIODevice::ReadOnly);
    }
    return m_parser && entry.start >= 0;
}

QByteArray ValidationQueue::readChunk(const Validatee &entry, qint64 chunk)
{
    if (chunk <= 0)
        return QByteArray();
    if (entry.kind == SavedFileValidatee)
        return m_savedFile.read(chunk);
    return m_parser ? m_parser->getBytes(entry.start + m_bytesDone, chunk) : QByteArray();
}

void ValidationQueue::feedTagIfDue(const Validatee &entry)
{
    if (entry.kind != SectionValidatee || m_tagFed || entry.start + m_bytesDone != entry.tagPosition)
        return;
    m_validator.update(entry.validationTag);
    m_bytesDone += entry.validationTag.size();
    m_doneOverall += entry.validationTag.size();
    m_tagFed = true;
}

bool ValidationQueue::process()
{
    if (m_entries.isEmpty()) {
        stopSweep();
        emitProgress();
        return false;
    }

    const Validatee entry = m_entries.first();
    if (m_threaded && (m_sweep || entry.kind != SavedFileValidatee))
        return processSweep();
    if (m_bytesDone == 0 && !m_tagFed && !startEntry(entry)) {
        complete(entry, false);
        emitProgress();
        return !m_entries.isEmpty();
    }

    // A section whose tag stands at its very start gets the stand-in first.
    feedTagIfDue(entry);
    qint64 chunk = qMax<qint64>(0, qMin<qint64>(entry.length - m_bytesDone, m_sliceSize));
    if (entry.kind == SectionValidatee && !m_tagFed && entry.start + m_bytesDone < entry.tagPosition)
        chunk = qMin(chunk, entry.tagPosition - entry.start - m_bytesDone);

    const QByteArray bytes = readChunk(entry, chunk);
    if (bytes.size() != chunk) {
        // Bytes that are not there cannot match: the entry fails at once instead
        // of walking, slice by slice, over a length no file holds.
        complete(entry, false);
        emitProgress();
        return !m_entries.isEmpty();
    }
    m_validator.update(bytes);
    m_bytesDone += chunk;
    m_doneOverall += chunk;
    feedTagIfDue(entry);

    if (m_bytesDone >= entry.length) {
        // A tag that reaches past the section's end, or a section whose tag
        // lies outside it, cannot have been hashed as recorded.
        const bool inPlace = entry.kind != SectionValidatee || (m_tagFed && m_bytesDone == entry.length);
        complete(entry, inPlace && m_validator.isValid());
    }
    emitProgress();
    return !m_entries.isEmpty();
}

bool ValidationQueue::processSweep()
{
    if (!m_sweep) {
        // The sections and files at the head of the queue go out together.
        QList<Validatee> batch;
        for (const Validatee &entry : std::as_const(m_entries)) {
            if (entry.kind == SavedFileValidatee)
                break;
            batch.append(entry);
        }
        m_sweep = std::make_unique<ValidationSweep>(m_parser ? m_parser->fileHandle() : -1, batch, m_spread);
        m_sweepLeft = int(batch.size());
        m_sweepSkip = 0;
        m_sweepBase = m_doneOverall;
    }
    const QList<bool> verdicts = m_sweep->takeVerdicts(m_waitMilliseconds);
    for (const bool valid : verdicts) {
        --m_sweepLeft;
        if (m_sweepSkip > 0) {
            --m_sweepSkip;
            continue;
        }
        const Validatee entry = m_entries.takeFirst();
        report(entry, valid);
    }
    if (m_sweepLeft == 0) {
        m_doneOverall = m_sweepBase + m_sweep->bytesDone();
        stopSweep();
    } else {
        m_doneOverall = m_sweepBase + m_sweep->bytesDone();
    }
    emitProgress();
    return !m_entries.isEmpty();
}

void ValidationQueue::complete(const Validatee &entry, bool valid)
{
    report(entry, valid);
    nextEntry();
}

void ValidationQueue::report(const Validatee &entry, bool valid)
{
    qCDebug(lcContainer) << "checked" << entry.name << "valid:" << valid;
    switch (entry.kind) {
    case SectionValidatee:
        emit sectionProcessed(entry.id, valid);
        break;
    case FileValidatee:
        emit fileProcessed(entry.id, valid);
        break;
    default:
        emit savedFileProcessed(entry.name, valid);
        emitLog((valid ? QStringLiteral("Checksum of file %1 is correct")
                       : QStringLiteral("Checksum of file %1 is incorrect"))
                    .arg(entry.name),
            LogInfo);
        break;
    }
}

void ValidationQueue::nextEntry()
{
    if (m_entries.isEmpty())
        return;
    const Validatee entry = m_entries.takeFirst();
    // An entry of a running sweep: its verdict is still due and is dropped.
    if (m_sweep && m_sweepSkip < m_sweepLeft) {
        ++m_sweepSkip;
        return;
    }
    if (entry.length > m_bytesDone)
        m_doneOverall += entry.length - m_bytesDone;
    m_bytesDone = 0;
    m_tagFed = false;
    m_savedFile.close();
}

void ValidationQueue::emitProgress()
{
    // Overshoot is possible only for broken entries; never report beyond 100.
    const int percent = m_total > 0 ? int(qMin(m_doneOverall, m_total) * 100.0 / m_total) : 100;
    emit percentFinishedChanged(percent, QString());
    if (m_entries.isEmpty()) {
        m_stopWatch.stop();
        m_bytesDone = 0;
        m_tagFed = false;
        m_total = 0;
        m_doneOverall = 0;
    }
}

void ValidationQueue::cancelValidation()
{
    stopSweep();
    m_entries.clear();
    m_savedFile.close();
    m_bytesDone = 0;
    m_tagFed = false;
    m_total = 0;
    m_doneOverall = 0;
    m_stopWatch.stop();
}

} // namespace traxo
