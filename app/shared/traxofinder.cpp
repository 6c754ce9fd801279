#include "shared/traxofinder.h"

#include "container/traxoparser.h"
#include "shared/lookaheadchecker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <vector>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

TraxoFinder::TraxoFinder() = default;

TraxoFinder::~TraxoFinder() = default;

bool TraxoFinder::begin(const QString &query, bool invert)
{
    // The workers read the old query; they end before it changes.
    stop();
    m_queryText = query;
    m_invert = invert;
    m_query.setQuery(query);
    if (!m_query.isValid())
        return false;
    // The thread that walks and takes the verdicts checks files too: one
    // worker fewer than cores keeps them all busy, and a thread more than
    // cores only adds switches and contended descriptors.
    m_lookAhead = std::make_unique<LookAheadChecker>(
        [query = m_query, invert](const QString &fileName) { return checkFile(query, invert, fileName); },
        std::max(1, QThread::idealThreadCount() - 1));
    return true;
}

QList<traxo::QueryError> TraxoFinder::init(const QString &query, const QString &directory, bool invert)
{
    m_directory = directory;
    // A query that cannot run needs no file list; the walk may take long,
    // so the workers check each folder's files while it goes on.
    if (begin(query, invert)) {
        m_files
            = walkTraxoFiles(directory, true, true, [this](const QStringList &files) { m_lookAhead->addFiles(files); });
        m_lookAhead->finishListing();
    }
    return m_query.getErrors();
}

QList<traxo::QueryError> TraxoFinder::initPaths(const QString &query, const QStringList &paths, bool invert)
{
    m_directory = paths.value(0);
    if (begin(query, invert)) {
        for (const QString &path : paths) {
            if (QFileInfo(path).isDir()) {
                m_files += walkTraxoFiles(
                    path, true, false, [this](const QStringList &files) { m_lookAhead->addFiles(files); });
            } else {
                m_files.append(path);
                m_lookAhead->addFiles({ path });
            }
        }
        m_lookAhead->finishListing();
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
    if (!parser.openHeader(fileName))
        return result;
    // Most containers of a search lack the query's words, and a small one is
    // in memory by now: its bytes alone can rule it out, with no marker read.
    const QByteArrayView bytes = parser.bytesInMemory();
    if (bytes.isEmpty() || query.mayMatch(bytes)) {
        parser.readMarkers();
        result.matched = query.matches(parser, &result.bindings, &result.undecided);
    }
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

namespace {

// One entry of a directory listing: a container to check, or (when the walk
// is recursive) a subdirectory to list in its place.
struct ListedEntry
{
    QString path;
    bool isDir = false;
};

// macOS also hides files by a flag that only stat reports: QDir lists there.
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)

bool endsWithNoCase(const char *name, size_t length, QByteArrayView suffix)
{
    const auto suffixLength = size_t(suffix.size());
    return length >= suffixLength && qstrnicmp(name + length - suffixLength, suffix.data(), suffix.size()) == 0;
}

// A name the walk reports only as a QString must survive the way back to
// the file system, or the container could not be opened by its path. Nearly
// every name is ASCII and is taken as it stands: the decoder cost a fifth of
// listing a folder.
bool decodeLosslessly(const char *name, size_t length, QString *decoded)
{
    if (std::all_of(name, name + length, [](char c) { return uchar(c) < 0x80; })) {
        *decoded = QString::fromLatin1(name, qsizetype(length));
        return true;
    }
    *decoded = QFile::decodeName(name);
    return QFile::encodeName(*decoded) == QByteArrayView(name, qsizetype(length));
}

// The listing QDir gives with the filter Files and the name filters "*.pdf"
// and "*.traxo" (case-insensitive), plus AllDirs | NoDotAndDotDot |
// NoSymLinks when recursive, sorted as QDir sorts by default: by the
// lower-cased name, files and directories mixed. The entry type comes from
// readdir, so only a file system without one costs a stat per entry. A
// subdirectory is opened without following a link, so a directory replaced
// by a link after its listing cannot lead the walk elsewhere.
QList<ListedEntry> listDirectory(const QString &path, bool recursive, bool isTop, bool readableOnly)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isTop ? 0 : O_NOFOLLOW);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return {};
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return {};
    }
    struct SortedEntry
    {
        QString key;
        ListedEntry entry;
    };
    std::vector<SortedEntry> sorted;
    const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        // Hidden entries are left out, and with them "." and "..".
        if (name[0] == '.')
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status;
            if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = IFTODT(status.st_mode);
        }
        const size_t length = std::strlen(name);
        if (type == DT_DIR) {
            // Opening the directory later checks that it is readable.
            if (!recursive)
                continue;
        } else {
            if (!endsWithNoCase(name, length, ".pdf") && !endsWithNoCase(name, length, ".traxo"))
                continue;
            if (type == DT_LNK) {
                // Not recursive, a link counts as what it points to: anything
                // but a directory or nothing.
                struct stat target;
                if (recursive || ::fstatat(fd, name, &target, 0) != 0 || S_ISDIR(target.st_mode))
                    continue;
            } else if (type != DT_REG) {
                continue;
            }
            if (readableOnly && ::faccessat(fd, name, R_OK, 0) != 0)
                continue;
        }
        QString fileName;
        if (!decodeLosslessly(name, length, &fileName))
            continue;
        QString filePath = prefix + fileName;
        sorted.push_back({ std::move(fileName).toLower(), { std::move(filePath), type == DT_DIR } });
    }
    ::closedir(dir);

    std::sort(sorted.begin(), sorted.end(), [](const SortedEntry &a, const SortedEntry &b) { return a.key < b.key; });
    QList<ListedEntry> entries;
    entries.reserve(qsizetype(sorted.size()));
    for (SortedEntry &item : sorted)
        entries.append(std::move(item.entry));
    return entries;
}

#else

QList<ListedEntry> listDirectory(const QString &path, bool recursive, bool /*isTop*/, bool readableOnly)
{
    const QStringList nameFilters { QStringLiteral("*.pdf"), QStringLiteral("*.traxo") };
    QDir::Filters filters = QDir::Files;
    if (readableOnly)
        filters |= QDir::Readable;
    if (recursive)
        filters |= QDir::AllDirs | QDir::NoDotAndDotDot | QDir::NoSymLinks;
    QList<ListedEntry> entries;
    const QFileInfoList infos = QDir(path).entryInfoList(nameFilters, filters, QDir::NoSort);
    for (const QFileInfo &info : infos)
        entries.append({ info.filePath(), info.isDir() });
    return entries;
}

#endif

} // namespace

QStringList TraxoFinder::gatherTraxoFiles(const QString &directory, bool recursive)
{
    return walkTraxoFiles(directory, recursive, true, nullptr);
}

QStringList TraxoFinder::walkTraxoFiles(
    const QString &directory, bool recursive, bool readableOnly, const std::function<void(const QStringList &)> &found)
{
    QStringList files;
    // QDir takes an empty path for the working directory, which the user
    // never meant to search.
    if (directory.isEmpty())
        return files;

    // Depth first with an explicit stack, so a deep tree cannot exhaust the
    // call stack; a subdirectory's files take its place in the listing.
    struct Level
    {
        QList<ListedEntry> entries;
        qsizetype next = 0;
    };
    std::vector<Level> stack;
    qsizetype reported = 0;
    const auto report = [&] {
        if (found && reported < files.size())
            found(files.sliced(reported));
        reported = files.size();
    };
    stack.push_back({ listDirectory(QDir::cleanPath(directory), recursive, true, readableOnly) });
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next >= level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const ListedEntry entry = level.entries.at(level.next++);
        if (entry.isDir) {
            report();
            stack.push_back({ listDirectory(entry.path, recursive, false, readableOnly) });
        } else {
            files.append(entry.path);
        }
    }
    report();
    return files;
}
