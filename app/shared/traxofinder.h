#ifndef TRAXO_TRAXOFINDER_H
#define TRAXO_TRAXOFINDER_H

#include "query/queryerror.h"
#include "query/traxofindquery.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class LookAheadChecker;

// The verdict on one checked container: its full path, whether it is a hit,
// and for a hit the query's named variables with what they were bound to
// ("workflowstep: <title>" or "file: <name>"). Undecided when the query
// was too large to decide for this container: neither a hit nor a miss.
struct EvaluationResult
{
    QString fileName;
    bool matched = false;
    bool undecided = false;
    QHash<QString, QString> bindings;
};

// One search: the containers below a directory, checked against a query and
// handed out one per findNext(). It holds no widgets; the containers are
// checked on worker threads ahead of findNext(), which never waits longer
// than the check of one container, so its owner decides how to spread the
// results over time.
class TraxoFinder
{
public:
    TraxoFinder();
    ~TraxoFinder();

    // Starts a new search, replacing any earlier one: parses the query and,
    // when it holds no error, gathers the containers below directory.
    // Returns the query's errors and warnings.
    QList<traxo::QueryError> init(const QString &query, const QString &directory, bool invert);
    // The same over several paths: a directory is walked as above, any
    // other path is checked as the container it names. The walk lists the
    // files this user may not read too, sparing a permission call per file:
    // such a file fails to open, so the hits are the same as init's and only
    // numberOfFiles() counts it.
    QList<traxo::QueryError> initPaths(const QString &query, const QStringList &paths, bool invert);

    // Checks the next container. A file that is not a readable container is
    // counted but never a hit, also when the results are inverted. Past the
    // last file, an empty unmatched result.
    EvaluationResult findNext();

    // Forgets the remaining files, so the search ends where it is; waits
    // only for the containers being checked at that moment.
    void stop();

    bool initialized() const { return m_query.isValid(); }
    bool hasMoreFiles() const { return m_nextFile < m_files.size(); }
    // Files checked so far (the index of the next one) and files found.
    int nextFileNumber() const { return m_nextFile; }
    int numberOfFiles() const { return int(m_files.size()); }
    QString queryText() const { return m_queryText; }
    QString directory() const { return m_directory; }
    bool invert() const { return m_invert; }
    QStringList files() const { return m_files; }

    // The errors and warnings of the query text, for checking while typing.
    static QList<traxo::QueryError> checkQuery(const QString &text);

    // Every "*.pdf" and "*.traxo" file below directory (name filters apply
    // to files only and ignore case; hidden entries are left out), depth
    // first, each directory ordered by its lower-cased names. When
    // recursive, symbolic links are skipped, so a link cannot lead the walk
    // into a loop. Files this user may not read are left out. An empty,
    // missing or unreadable directory yields no files.
    static QStringList gatherTraxoFiles(const QString &directory, bool recursive);

private:
    // Stops the previous search and sets up the query; true when it can run.
    bool begin(const QString &query, bool invert);
    // gatherTraxoFiles, telling found (may be null) of the files listed so
    // far before each subdirectory and at the end; unreadable files are
    // listed too unless readableOnly.
    static QStringList walkTraxoFiles(const QString &directory, bool recursive, bool readableOnly,
        const std::function<void(const QStringList &)> &found);
    static EvaluationResult checkFile(const traxo::TraxoFindQuery &query, bool invert, const QString &fileName);

    QString m_queryText;
    QString m_directory;
    QStringList m_files;
    int m_nextFile = 0;
    traxo::TraxoFindQuery m_query;
    bool m_invert = false;
    std::unique_ptr<LookAheadChecker> m_lookAhead;
};

#endif
