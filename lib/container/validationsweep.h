#ifndef TRAXO_VALIDATIONSWEEP_H
#define TRAXO_VALIDATIONSWEEP_H

#include "container/validatee.h"

#include <QList>

#include <memory>

namespace traxo {

// Checks a run of sections and embedded files of one container, reading each
// byte once: every block read is handed to each checksum that covers it (a
// section's MD5, a file's stored-bytes MD5, a "flate" file's inflater, whose
// output is hashed in turn). Each verdict is the one a Validator fed with
// that entry alone would give.
//
// The checksums that cover the same stored bytes (a section and a file in
// it) are hashed two at a time in one interleaved pass on the reading
// thread. Spread::Lanes inflates on one worker thread and hashes the inflated
// output on another, so one container uses the cores. Spread::OneThread
// inflates on the reading thread too: the way to use the cores when several
// containers are checked at once, one sweep per core. Spread::Auto takes Lanes when inflating is an eighth of the work
// or more, and OneThread for files stored "none" beside small compressed
// summaries: there the interleaved pair costs little more than one hash,
// and handing blocks between threads costs more than a second core gives.
//
// The threads start with the sweep and are stopped and joined by stop() or
// the destructor; no thread outlives the object.
class ValidationSweep
{
public:
    enum class Spread { Auto, Lanes, OneThread };

    // handle: a descriptor of the container, duplicated by the sweep (so it
    // reads the very file that was parsed, even if the name now points to
    // another); -1 makes every entry invalid.
    ValidationSweep(int handle, const QList<Validatee> &entries, Spread spread = Spread::Auto);
    ~ValidationSweep();
    ValidationSweep(const ValidationSweep &) = delete;
    ValidationSweep &operator=(const ValidationSweep &) = delete;

    // The verdicts decided since the last call, in entry order; waits up to
    // timeoutMs for the next one when none is ready.
    QList<bool> takeVerdicts(int timeoutMs);
    bool isFinished() const;
    // Whether the work went to two worker threads (Lanes, or Auto's choice).
    bool usesLanes() const;
    // Bytes of the entries checked so far (each entry counts its length once).
    qint64 bytesDone() const;
    void stop();
    // Reader and worker threads of all sweeps that have not ended yet.
    static int runningThreads();

    // The blocks of Spread::Lanes; one thread reads smaller ones.
    static constexpr qint64 BlockSize = 1 << 20;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace traxo

#endif
