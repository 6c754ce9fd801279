#include "container/validationsweep.h"

#include "container/inflater.h"
#include "container/md5hash.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace traxo {

namespace {

constexpr int LaneCount = 2;
// Stored bytes queued for the workers, and inflated output waiting to be
// hashed: together they bound the memory whatever the sizes and ratios. Eight
// blocks keep both lanes busy; more only touches fresh pages, and with them
// page faults (24 MiB cost a "flate" check 4% more time).
constexpr qint64 MaxQueuedBytes = 8 << 20;
constexpr qint64 MaxQueuedOutput = 8 << 20;
// The reader hashes the stored bytes itself, the checksums of the same bytes
// two at a time, which costs little more than one. Inflating runs on the
// first lane and hashing its output on the second: a lane that waits for room
// in another lane's queue is never waited for in turn, so the two cannot
// block each other.
constexpr int InflateLane = 0;
constexpr int OutputLane = 1;

// On one thread a block is read and hashed by the same core: small enough
// to stay in its cache in between, which saves about a fifth of the time.
constexpr qint64 CachedBlockSize = 64 << 10;

std::atomic<int> liveThreads { 0 };

enum class JobKind { Hash, Inflate, OutputHash };

struct Job
{
    JobKind kind = JobKind::Hash;
    int entry = -1;
    int lane = 0;
    bool countsProgress = false;
    qint64 start = 0; // the container range read; none for an output hash
    qint64 end = 0;
    // Sections: the container bytes [skipFrom, skipTo) are hashed as insert.
    qint64 skipFrom = -1;
    qint64 skipTo = -1;
    QByteArray insert;
    bool inserted = false;
    qint64 consumed = 0;
    Md5Hash hash;
    std::unique_ptr<Inflater> inflater;
    bool streamValid = false;
    bool streamFinished = false;
    Job *output = nullptr;
    QString digest;
};

struct Piece
{
    Job *job = nullptr;
    QByteArray bytes; // a whole block, shared by the jobs that cover it
    qsizetype from = 0;
    qsizetype length = 0;
    qint64 offset = 0; // container offset of bytes[from]
    bool last = false; // output hashes: the stream has ended
};

// The bytes of a piece that go into a container hash: a section's run is cut
// at its marker's tag, whose stand-in goes in between.
struct Split
{
    QByteArrayView before;
    bool insert = false;
    QByteArrayView after;
};

struct Entry
{
    Validatee validatee;
    int pendingJobs = 0;
    bool decided = false;
    bool valid = false;
    Job *stored = nullptr; // the section's or the stored bytes' hash
    Job *inflate = nullptr;
    Job *output = nullptr;
    std::atomic<qint64> progress { 0 };
};

} // namespace

struct ValidationSweep::State
{
    int fd = -1;
    qint64 fileSize = 0;
    bool oneThread = false;
    std::unique_ptr<Entry[]> entries;
    int entryCount = 0;
    std::vector<std::unique_ptr<Job>> jobs;
    std::vector<Job *> sweepOrder; // jobs that read the container, by start

    mutable std::mutex mutex;
    std::condition_variable laneWork[LaneCount];
    std::condition_variable room;
    std::condition_variable verdict;
    std::deque<Piece> lanes[LaneCount];
    qint64 queued = 0;
    qint64 queuedOutput = 0;
    int nextOut = 0;
    bool stopping = false;
    std::thread reader;
    std::thread workers[LaneCount];

    void setUp(const QList<Validatee> &list);
    bool inflatingIsAnEighth() const;
    Job *addJob(JobKind kind, int entry);
    void decide(Entry &entry, bool valid);
    bool verdictOf(const Entry &entry) const;
    void readLoop();
    void workLoop(int lane);
    bool post(Piece piece);
    bool handOut(Piece piece);
    void processTogether(std::vector<Piece> &pieces);
    void process(Piece &piece);
    void advance(Job &job, qint64 length);
    static Split split(Job &job, const Piece &piece);
    static void hashRest(Job &job, const Split &split);
    void finish(Job &job);
    QByteArray readBlock(qint64 position, qint64 length) const;
    void failUndecided();
};

ValidationSweep::ValidationSweep(int handle, const QList<Validatee> &entries, Spread spread)
    : d(std::make_unique<State>())
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (handle >= 0) {
        d->fd = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
        if (d->fd >= 0 && ::fstat(d->fd, &status) == 0)
            d->fileSize = status.st_size;
    }
#else
    Q_UNUSED(handle);
#endif
    d->setUp(entries);
    if (d->sweepOrder.empty())
        return;
    d->oneThread = spread == Spread::OneThread || (spread == Spread::Auto && !d->inflatingIsAnEighth());
    // Counted before they start, so that a thread not yet scheduled counts.
    liveThreads += d->oneThread ? 1 : 1 + LaneCount;
    d->reader = std::thread([this] { d->readLoop(); });
    for (int lane = 0; lane < LaneCount && !d->oneThread; ++lane)
        d->workers[lane] = std::thread([this, lane] { d->workLoop(lane); });
}

ValidationSweep::~ValidationSweep()
{
    stop();
#ifdef Q_OS_UNIX
    if (d->fd >= 0)
        ::close(d->fd);
#endif
}

void ValidationSweep::stop()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
    }
    for (auto &work : d->laneWork)
        work.notify_all();
    d->room.notify_all();
    d->verdict.notify_all();
    if (d->reader.joinable())
        d->reader.join();
    for (auto &worker : d->workers) {
        if (worker.joinable())
            worker.join();
    }
}

int ValidationSweep::runningThreads()
{
    return liveThreads.load();
}

QList<bool> ValidationSweep::takeVerdicts(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(d->mutex);
    const auto ready = [this] { return d->stopping || d->nextOut >= d->entryCount || d->entries[d->nextOut].decided; };
    d->verdict.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    QList<bool> verdicts;
    while (d->nextOut < d->entryCount && d->entries[d->nextOut].decided)
        verdicts.append(d->entries[d->nextOut++].valid);
    return verdicts;
}

bool ValidationSweep::usesLanes() const
{
    return !d->sweepOrder.empty() && !d->oneThread;
}

bool ValidationSweep::isFinished() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->nextOut >= d->entryCount;
}

qint64 ValidationSweep::bytesDone() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    qint64 done = 0;
    for (int i = 0; i < d->entryCount; ++i) {
        const Entry &entry = d->entries[i];
        const qint64 length = qMax<qint64>(entry.validatee.length, 0);
        // An entry counts whole only once decided: its hashing may be done
        // while its inflated output is still being hashed.
        done += entry.decided ? length : qMin(entry.progress.load(), qMax<qint64>(length - 1, 0));
    }
    return done;
}

void ValidationSweep::State::setUp(const QList<Validatee> &list)
{
    entryCount = int(list.size());
    entries = std::make_unique<Entry[]>(size_t(entryCount));
    for (int i = 0; i < entryCount; ++i) {
        Entry &entry = entries[i];
        const Validatee &v = list.at(i);
        entry.validatee = v;
        const bool inFile = fd >= 0 && v.kind != SavedFileValidatee && v.start >= 0 && v.length >= 0
            && v.start <= fileSize && v.length <= fileSize - v.start;
        // A section is hashed with its marker's tag replaced by the validation
        // tag, which must lie wholly inside it.
        const qint64 tagEnd = v.tagPosition + v.validationTag.size();
        const bool tagInPlace
            = v.kind != SectionValidatee || (v.tagPosition >= v.start && tagEnd <= v.start + v.length);
        if (!inFile || !tagInPlace) {
            decide(entry, false);
            continue;
        }
        const bool compressed = !v.md5c.isEmpty();
        if (compressed) {
            entry.inflate = addJob(JobKind::Inflate, i);
            entry.output = addJob(JobKind::OutputHash, i);
            entry.inflate->output = entry.output;
        }
        entry.stored = addJob(JobKind::Hash, i);
        entry.stored->countsProgress = true;
        if (v.kind == SectionValidatee) {
            entry.stored->skipFrom = v.tagPosition;
            entry.stored->skipTo = tagEnd;
            entry.stored->insert = v.validationTag;
        }
        if (v.length == 0) {
            // Nothing to read: the verdict is that of an empty run.
            if (entry.stored->skipFrom >= 0)
                entry.stored->hash.addData(entry.stored->insert);
            entry.stored->digest = entry.stored->hash.hexResult();
            decide(entry, verdictOf(entry));
        }
    }
    for (const auto &job : jobs) {
        if (job->kind != JobKind::OutputHash && job->end > job->start && !entries[job->entry].decided)
            sweepOrder.push_back(job.get());
    }
    std::stable_sort(
        sweepOrder.begin(), sweepOrder.end(), [](const Job *a, const Job *b) { return a->start < b->start; });
}

// Whether inflating is an eighth of the work or more, where the lanes pay
// off. Inflating and hashing the output cost about two hashes of the inflated
// bytes, whatever the ratio; in floating point, as a recorded size may be
// anything.
bool ValidationSweep::State::inflatingIsAnEighth() const
{
    double hashing = 0;
    double inflating = 0;
    for (const auto &job : jobs) {
        const qint64 length = job->end - job->start;
        if (job->kind == JobKind::Hash)
            hashing += double(length);
        else if (job->kind == JobKind::Inflate)
            inflating += 2.0 * double(std::max(entries[job->entry].validatee.inflatedLength, length));
    }
    return 7 * inflating >= hashing;
}

Job *ValidationSweep::State::addJob(JobKind kind, int index)
{
    Entry &entry = entries[index];
    auto job = std::make_unique<Job>();
    job->kind = kind;
    job->entry = index;
    job->start = entry.validatee.start;
    job->end = entry.validatee.start + entry.validatee.length;
    job->lane = kind == JobKind::OutputHash ? OutputLane : InflateLane;
    ++entry.pendingJobs;
    jobs.push_back(std::move(job));
    return jobs.back().get();
}

void ValidationSweep::State::decide(Entry &entry, bool valid)
{
    entry.decided = true;
    entry.valid = valid;
    verdict.notify_all();
}

bool ValidationSweep::State::verdictOf(const Entry &entry) const
{
    const Validatee &v = entry.validatee;
    if (v.md5.isEmpty())
        return false;
    if (!entry.inflate)
        return entry.stored->digest == v.md5;
    return entry.inflate->streamValid && entry.inflate->streamFinished && entry.stored->digest == v.md5c
        && entry.output->digest == v.md5;
}

// Reads the container once, front to back, in blocks of at most BlockSize,
// skipping what no entry covers, and hands every block to each job whose
// range it overlaps.
void ValidationSweep::State::readLoop()
{
    std::vector<Job *> live;
    size_t next = 0;
    qint64 position = 0;
    for (;;) {
        live.erase(
            std::remove_if(live.begin(), live.end(), [position](const Job *job) { return job->end <= position; }),
            live.end());
        if (live.empty()) {
            if (next == sweepOrder.size())
                break;
            position = std::max(position, sweepOrder[next]->start);
        }
        qint64 blockEnd = position + (oneThread ? CachedBlockSize : BlockSize);
        while (next < sweepOrder.size() && sweepOrder[next]->start < blockEnd)
            live.push_back(sweepOrder[next++]);
        qint64 coveredEnd = position;
        for (const Job *job : live)
            coveredEnd = std::max(coveredEnd, job->end);
        blockEnd = std::min(blockEnd, coveredEnd);

        const QByteArray block = readBlock(position, blockEnd - position);
        if (block.size() != blockEnd - position) {
            failUndecided();
            break;
        }
        bool stopped = false;
        std::vector<Piece> pieces;
        for (Job *job : live) {
            const qint64 from = std::max(job->start, position);
            const qint64 to = std::min(job->end, blockEnd);
            if (from >= to)
                continue;
            Piece piece { job, block, qsizetype(from - position), qsizetype(to - from), from, false };
            if (oneThread || job->kind == JobKind::Hash) {
                pieces.push_back(std::move(piece));
            } else if (!post(std::move(piece))) {
                stopped = true;
                break;
            }
        }
        if (!stopped && !pieces.empty()) {
            processTogether(pieces);
            std::lock_guard<std::mutex> lock(mutex);
            stopped = stopping;
        }
        if (stopped)
            break;
        position = blockEnd;
    }
    --liveThreads;
}

void ValidationSweep::State::workLoop(int lane)
{
    for (;;) {
        Piece piece;
        {
            std::unique_lock<std::mutex> lock(mutex);
            laneWork[lane].wait(lock, [this, lane] { return stopping || !lanes[lane].empty(); });
            if (stopping)
                break;
            piece = std::move(lanes[lane].front());
            lanes[lane].pop_front();
        }
        process(piece);
        {
            std::lock_guard<std::mutex> lock(mutex);
            (piece.job->kind == JobKind::OutputHash ? queuedOutput : queued) -= piece.length;
        }
        room.notify_all();
    }
    --liveThreads;
}

// Queues a piece on its job's lane, waiting while that kind of queue is full;
// false once the sweep is stopping.
bool ValidationSweep::State::post(Piece piece)
{
    const int lane = piece.job->lane;
    {
        std::unique_lock<std::mutex> lock(mutex);
        qint64 &counter = piece.job->kind == JobKind::OutputHash ? queuedOutput : queued;
        const qint64 limit = piece.job->kind == JobKind::OutputHash ? MaxQueuedOutput : MaxQueuedBytes;
        room.wait(lock, [this, &counter, limit] { return stopping || counter < limit; });
        if (stopping)
            return false;
        counter += piece.length;
        lanes[lane].push_back(std::move(piece));
    }
    laneWork[lane].notify_one();
    return true;
}

// A piece of inflated output goes to its hash: on the second lane, or at once
// when the sweep has one thread. False once the sweep is stopping.
bool ValidationSweep::State::handOut(Piece piece)
{
    if (!oneThread)
        return post(std::move(piece));
    process(piece);
    std::lock_guard<std::mutex> lock(mutex);
    return !stopping;
}

// The pieces of one block, on the reading thread: container hashes go two
// at a time through the interleaved MD5, inflating as usual.
void ValidationSweep::State::processTogether(std::vector<Piece> &pieces)
{
    Piece *waiting = nullptr;
    for (Piece &piece : pieces) {
        if (piece.job->kind != JobKind::Hash) {
            process(piece);
            continue;
        }
        if (!waiting) {
            waiting = &piece;
            continue;
        }
        Job &first = *waiting->job;
        Job &second = *piece.job;
        const Split splitFirst = split(first, *waiting);
        const Split splitSecond = split(second, piece);
        Md5Hash::addData(first.hash, splitFirst.before, second.hash, splitSecond.before);
        hashRest(first, splitFirst);
        hashRest(second, splitSecond);
        advance(first, waiting->length);
        advance(second, piece.length);
        waiting = nullptr;
    }
    if (waiting)
        process(*waiting);
}

void ValidationSweep::State::process(Piece &piece)
{
    Job &job = *piece.job;
    const char *data = piece.bytes.constData() + piece.from;
    switch (job.kind) {
    case JobKind::OutputHash:
        job.hash.addData(QByteArrayView(data, piece.length));
        if (piece.last)
            finish(job);
        return;
    case JobKind::Hash: {
        const Split bytes = split(job, piece);
        job.hash.addData(bytes.before);
        hashRest(job, bytes);
        break;
    }
    case JobKind::Inflate:
        if (!job.inflater) {
            job.inflater = std::make_unique<Inflater>();
            job.streamValid = job.inflater->isValid();
        }
        if (job.streamValid) {
            job.streamValid = job.inflater->inflateData(
                QByteArray::fromRawData(data, piece.length), [this, &job](const char *out, int size) {
                    return handOut(Piece { job.output, QByteArray(out, size), 0, size, 0, false });
                });
        }
        break;
    }
    advance(job, piece.length);
}

// Counts a piece of a job that reads the container, and ends the job after
// its last one.
void ValidationSweep::State::advance(Job &job, qint64 length)
{
    job.consumed += length;
    if (job.countsProgress)
        entries[job.entry].progress += length;
    if (job.consumed < job.end - job.start)
        return;
    if (job.kind == JobKind::Inflate) {
        job.streamFinished = job.inflater && job.inflater->hasFinished();
        job.inflater.reset();
        handOut(Piece { job.output, QByteArray(), 0, 0, 0, true });
    }
    finish(job);
}

Split ValidationSweep::State::split(Job &job, const Piece &piece)
{
    const char *data = piece.bytes.constData() + piece.from;
    const qint64 begin = piece.offset;
    const qint64 end = piece.offset + piece.length;
    const auto range = [&](qint64 from, qint64 to) {
        return to > from ? QByteArrayView(data + (from - begin), to - from) : QByteArrayView();
    };
    if (job.skipFrom < 0)
        return Split { range(begin, end), false, QByteArrayView() };
    return Split { range(begin, std::min(end, job.skipFrom)), !job.inserted && end > job.skipFrom,
        range(std::max(begin, job.skipTo), end) };
}

void ValidationSweep::State::hashRest(Job &job, const Split &split)
{
    if (split.insert) {
        job.hash.addData(job.insert);
        job.inserted = true;
    }
    job.hash.addData(split.after);
}

void ValidationSweep::State::finish(Job &job)
{
    if (job.kind != JobKind::Inflate)
        job.digest = job.hash.hexResult();
    std::lock_guard<std::mutex> lock(mutex);
    Entry &entry = entries[job.entry];
    if (--entry.pendingJobs == 0 && !entry.decided)
        decide(entry, verdictOf(entry));
}

QByteArray ValidationSweep::State::readBlock(qint64 position, qint64 length) const
{
#ifdef Q_OS_UNIX
    QByteArray data(qsizetype(length), Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t count = ::pread(fd, data.data() + done, size_t(length - done), off_t(position + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return {};
        done += count;
    }
    return data;
#else
    Q_UNUSED(position);
    Q_UNUSED(length);
    return {};
#endif
}

// A read error (the file shrank or failed) leaves nothing to check against.
void ValidationSweep::State::failUndecided()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (int i = 0; i < entryCount; ++i) {
        if (!entries[i].decided)
            decide(entries[i], false);
    }
}

} // namespace traxo
