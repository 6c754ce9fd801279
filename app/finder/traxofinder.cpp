#include "traxofinder.h"

#include "container/traxoparser.h"
#include "finder/lookaheadchecker.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <vector>

TraxoFinder::TraxoFinder() = default;

TraxoFinder::~TraxoFinder() = default;

QList<traxo::QueryError> TraxoFinder::init(const QString &query, const QString &directory, bool invert)
{
    // The workers read the old query; they end before it changes.
    stop();
    m_queryText = query;
    m_directory = directory;
    m_invert = invert;
    m_query.setQuery(query);
    // A query that cannot run needs no file list; the walk may take long.
    if (m_query.isValid())
        m_files = gatherTraxoFiles(directory, true);
    if (!m_files.isEmpty()) {
        m_lookAhead = std::make_unique<LookAheadChecker>(
            m_files, [query = m_query, invert](const QString &fileName) { return checkFile(query, invert, fileName); },
            QThread::idealThreadCount());
    }
    return m_query.getErrors();
}

EvaluationResult TraxoFinder::findNext()
{
    if (!hasMoreFiles())
        return EvaluationResult();
    ++m_nextFile;
    return m_lookAhead->takeNext();
}

EvaluationResult TraxoFinder::checkFile(const traxo::TraxoFindQuery &query, bool invert, const QString &fileName)
{
    EvaluationResult result;
    result.fileName = fileName;
    traxo::TraxoParser parser(traxo::ParseTolerant);
    if (!parser.open(fileName))
        return result;
    result.matched = query.matches(parser, &result.bindings, &result.undecided);
    // An invalid query matches nothing, and an undecided one may match;
    // inverting either must not turn the container into a hit.
    if (invert && query.isValid() && !result.undecided) {
        result.matched = !result.matched;
        // The bindings of a match that the inversion drops describe nothing
        // the user is shown.
        result.bindings.clear();
    }
    return result;
}

void TraxoFinder::stop()
{
    m_lookAhead.reset();
    m_files.clear();
    m_nextFile = 0;
}

QList<traxo::QueryError> TraxoFinder::checkQuery(const QString &text)
{
    return traxo::TraxoFindQuery(text).getErrors();
}

QStringList TraxoFinder::gatherTraxoFiles(const QString &directory, bool recursive)
{
    QStringList files;
    // QDir takes an empty path for the working directory, which the user
    // never meant to search.
    if (directory.isEmpty())
        return files;

    const QStringList nameFilters { QStringLiteral("*.pdf"), QStringLiteral("*.traxo") };
    QDir::Filters filters = QDir::Files | QDir::Readable;
    if (recursive)
        filters |= QDir::AllDirs | QDir::NoDotAndDotDot | QDir::NoSymLinks;

    // Depth first with an explicit stack, so a deep tree cannot exhaust the
    // call stack; a subdirectory's files take its place in the listing.
    struct Level
    {
        QFileInfoList entries;
        int next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({ QDir(QDir::cleanPath(directory)).entryInfoList(nameFilters, filters, QDir::NoSort) });
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next >= level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const QFileInfo entry = level.entries.at(level.next++);
        if (entry.isDir())
            stack.push_back({ QDir(entry.filePath()).entryInfoList(nameFilters, filters, QDir::NoSort) });
        else
            files.append(entry.filePath());
    }
    return files;
}
