#ifndef TRAXO_VALIDATIONQUEUE_H
#define TRAXO_VALIDATIONQUEUE_H

#include "container/filetag.h"
#include "container/savedfile.h"
#include "container/sectiontag.h"
#include "container/validatee.h"
#include "container/validationsweep.h"
#include "container/validator.h"
#include "logging/logsource.h"
#include "logging/stopwatch.h"

#include <QFile>
#include <QList>
#include <QPointer>

#include <memory>

namespace traxo {

class TraxoParser;

// Checks sections and embedded files of a container, and files extracted to
// disk, against their MD5 checksums in slices of a bounded number of bytes,
// one slice per process() call, so that an event loop can drive it, show
// progress and cancel it.
//
// A section is hashed with its own marker's checksum zeroed: its slices stop
// exactly at the marker's tag, so the stand-in bytes are fed in place without
// copying the section.
//
// Threaded (the default), the sections and embedded files at the head of the
// queue are checked together by a ValidationSweep, which reads each byte once
// on worker threads; process() then waits at most WaitMilliseconds for
// verdicts, so a caller's event loop stays responsive. Results, their order
// and progress are those of the unthreaded slices on the caller's thread.
// Saved files are always checked in slices.
class ValidationQueue : public LogSource
{
    Q_OBJECT

public:
    static constexpr int DefaultSliceSize = 100000;
    static constexpr int WaitMilliseconds = 20;

    // A sliceSize of 0 or less means DefaultSliceSize.
    explicit ValidationQueue(
        TraxoParser *parser = nullptr, int sliceSize = DefaultSliceSize, QObject *parent = nullptr);
    ~ValidationQueue() override;

    // False: every check runs in slices on the caller's thread.
    void setThreaded(bool threaded);
    bool isThreaded() const { return m_threaded; }
    // How long process() waits for the workers' next verdict (default
    // WaitMilliseconds); 0 returns at once, for a caller polling from a timer.
    void setWaitMilliseconds(int milliseconds) { m_waitMilliseconds = qMax(0, milliseconds); }
    int waitMilliseconds() const { return m_waitMilliseconds; }
    // True while worker threads check entries: process() then only collects
    // their verdicts and progress.
    bool isSweeping() const { return m_sweep != nullptr; }
    // How a threaded check spreads over threads (default Auto; OneThread for
    // callers that check several containers at once). Takes effect with the
    // next sweep.
    void setSpread(ValidationSweep::Spread spread) { m_spread = spread; }
    ValidationSweep::Spread spread() const { return m_spread; }

    // Empties the queue and starts timing a new run.
    void reset(TraxoParser *parser);
    void reinit(TraxoParser *parser);
    // Queues every section, oldest first, then every embedded file.
    void repopulate(TraxoParser *parser);
    // Appends the sections, oldest first, then the files, in file order,
    // whose ids are listed.
    void addValidatees(const QList<int> &fileIds, const QList<int> &sectionIds);
    void addValidatees(const QList<SavedFile> &savedFiles);
    // One slice; true while entries remain.
    bool process();
    // Drops the current entry, counting what was left of it as done.
    void nextEntry();

    bool isEmpty() const { return m_entries.isEmpty(); }
    int count() const { return int(m_entries.size()); }
    int sliceSize() const { return m_sliceSize; }

    static Validatee validateeFromSection(const SectionTag &section);
    static Validatee validateeFromFile(const FileTag &file);
    static Validatee validateeFromSavedFile(const SavedFile &savedFile);

public slots:
    void cancelValidation();

signals:
    void sectionProcessed(int id, bool valid);
    void fileProcessed(int id, bool valid);
    void savedFileProcessed(const QString &filename, bool valid);
    void percentFinishedChanged(int percent, const QString &name);

private:
    void append(const Validatee &entry);
    bool processSweep();
    void stopSweep();
    void report(const Validatee &entry, bool valid);
    bool startEntry(const Validatee &entry);
    QByteArray readChunk(const Validatee &entry, qint64 chunk);
    void feedTagIfDue(const Validatee &entry);
    void complete(const Validatee &entry, bool valid);
    void emitProgress();
    void clear(TraxoParser *parser);

    QPointer<TraxoParser> m_parser;
    Validator m_validator;
    StopWatch m_stopWatch;
    QList<Validatee> m_entries;
    QFile m_savedFile;
    qint64 m_bytesDone = 0;
    bool m_tagFed = false;
    qint64 m_total = 0;
    qint64 m_doneOverall = 0;
    int m_sliceSize;
    bool m_threaded = true;
    int m_waitMilliseconds = WaitMilliseconds;
    ValidationSweep::Spread m_spread = ValidationSweep::Spread::Auto;
    std::unique_ptr<ValidationSweep> m_sweep;
    int m_sweepLeft = 0; // verdicts still due from the sweep
    int m_sweepSkip = 0; // verdicts of entries dropped by nextEntry()
    qint64 m_sweepBase = 0; // bytes done when the sweep started
};

} // namespace traxo

#endif
