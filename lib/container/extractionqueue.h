#ifndef TRAXO_EXTRACTIONQUEUE_H
#define TRAXO_EXTRACTIONQUEUE_H

#include "container/extractee.h"
#include "container/filetag.h"
#include "container/inflater.h"
#include "logging/logsource.h"
#include "logging/stopwatch.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

#include <future>
#include <memory>

class QSaveFile;

namespace traxo {

class TraxoParser;

// Writes embedded files of a container to disk in slices of at most 100000
// stored bytes, one slice per process() call, so that an event loop can drive
// it, show progress and cancel it.
//
// A target is written through a temporary file beside it that replaces the
// target only once the file is complete (and, for "flate", its stream has
// ended): a failed or cancelled extraction never leaves a half-written file
// under the target's name, nor harms a file that was already there.
class ExtractionQueue : public LogSource
{
    Q_OBJECT

public:
    static constexpr int SliceSize = 100000;

    explicit ExtractionQueue(TraxoParser *parser = nullptr, QObject *parent = nullptr);
    ~ExtractionQueue() override;

    void reset(TraxoParser *parser);
    void reinit(TraxoParser *parser);
    // Queues the parser's files whose ids are keys of targets, in file order.
    void addExtractees(const QHash<int, QString> &targets);
    // One slice; true while entries remain.
    bool process();
    // Drops the current entry, counting what was left of it as done.
    void nextEntry();

    bool isEmpty() const { return m_entries.isEmpty(); }
    int count() const { return int(m_entries.size()); }

    // True: the commit of a complete file, which flushes it to disk and takes
    // long for a large one, runs on a thread of its own, and process()
    // returns at once while it runs (isCommitting()), so that an event loop
    // never waits for the disk. Cancelling waits for a running commit.
    void setBackgroundCommit(bool background) { m_backgroundCommit = background; }
    bool isCommitting() const { return m_commit.valid(); }

    static Extractee extracteeFromFile(const FileTag &file);

public slots:
    void cancelExtraction();

signals:
    // valid: the file was written completely and now stands under its target.
    void fileProcessed(int id, bool valid);
    void percentFinishedChanged(int percent, const QString &filename);

protected:
    bool handleError(const QString &message, const Extractee &entry);

private:
    bool startEntry(const Extractee &entry);
    bool writeOutput(const char *data, qint64 size);
    // Reports the current entry after its commit; the end of process().
    bool finishEntry(const Extractee &entry, bool committed);
    bool reportProgress();
    void discardOutput();
    void finishIfIdle();
    void clear(TraxoParser *parser);

    QPointer<TraxoParser> m_parser;
    Inflater m_inflater;
    QList<Extractee> m_entries;
    std::unique_ptr<QSaveFile> m_output;
    std::future<bool> m_commit; // m_output's commit on its own thread
    bool m_backgroundCommit = false;
    StopWatch m_stopWatch;
    qint64 m_bytesDone = 0;
    qint64 m_total = 0;
    qint64 m_doneOverall = 0;
};

} // namespace traxo

#endif
