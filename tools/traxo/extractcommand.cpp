#include "extractcommand.h"

#include "console.h"
#include "containerhistory.h"

#include "container/extractionpaths.h"
#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "shared/filenamemask.h"
#include "summary/summarycreator.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

struct Candidate
{
    int id = -1;
    QString recordedPath;
};

// Every embedded file once, with the path its step recorded (the marker's
// name for a file no step declares).
QList<Candidate> embeddedFiles(traxo::TraxoParser &parser)
{
    QHash<int, QString> paths;
    traxo::SummaryCreator creator;
    for (const traxo::Summary &summary : creator.createSummaries(parser)) {
        for (const traxo::FileSummary &file : summary.files) {
            if (file.TagID >= 0 && !paths.contains(file.TagID))
                paths.insert(file.TagID, ContainerHistory::recordedPath(file));
        }
    }
    const QSet<int> summaries = ContainerHistory::summaryFileIds(parser);
    QList<Candidate> files;
    for (const traxo::FileTag &tag : parser.getFiles()) {
        if (paths.contains(tag.id) && !summaries.contains(tag.id))
            files.append(Candidate { tag.id, paths.value(tag.id) });
    }
    return files;
}

// A pattern names a file by its whole recorded path or by its name alone,
// so "*.dat" finds data files in every folder.
bool matchesAny(const QList<QRegularExpression> &patterns, const QString &recordedPath)
{
    if (patterns.isEmpty())
        return true;
    const QString name = recordedPath.section(QRegularExpression(QStringLiteral("[\\\\/]")), -1);
    for (const QRegularExpression &pattern : patterns) {
        if (pattern.match(recordedPath).hasMatch() || pattern.match(name).hasMatch())
            return true;
    }
    return false;
}

QString directoryPart(const QString &recordedPath)
{
    const qsizetype slash
        = qMax(recordedPath.lastIndexOf(QLatin1Char('/')), recordedPath.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? QString() : recordedPath.left(slash);
}

QString namePart(const QString &recordedPath)
{
    const qsizetype slash
        = qMax(recordedPath.lastIndexOf(QLatin1Char('/')), recordedPath.lastIndexOf(QLatin1Char('\\')));
    return recordedPath.mid(slash + 1);
}

QStringList directoryComponents(const QString &recordedPath)
{
    return directoryPart(recordedPath).split(QRegularExpression(QStringLiteral("[\\\\/]+")));
}

// The folders every chosen file's recorded path begins with: recorded paths
// are often absolute, and what matters below DIR is how the files lie to
// each other.
int sharedDirectoryDepth(const QList<Candidate> &files)
{
    if (files.isEmpty())
        return 0;
    const QStringList first = directoryComponents(files.first().recordedPath);
    int depth = int(first.size());
    for (const Candidate &file : files) {
        const QStringList components = directoryComponents(file.recordedPath);
        int same = 0;
        while (same < depth && same < components.size() && components.at(same) == first.at(same))
            ++same;
        depth = same;
    }
    return depth;
}

} // namespace

QString ExtractCommand::summary() const
{
    return QStringLiteral("write embedded files to disk, checked against their MD5");
}

QString ExtractCommand::help() const
{
    return QStringLiteral(R"(usage: traxo extract FILE [-o DIR] [--mask MASK] [--force] [PATTERN...]

Writes the embedded files of FILE below DIR under the paths their steps
recorded (less the folders all of them share), or only those whose recorded path or name matches one of the
wildcard PATTERNs ("*.dat", "raw/*"). Whatever names the container holds,
nothing is written outside DIR: "..", roots and drive letters are dropped
and links inside DIR are not followed.
  -o DIR         target directory (default: the current one; made if missing)
  --mask MASK    rename each file: %f name, %*f name with blanks as "_",
                 %d number, %*d number padded to the same width for all,
                 %Nd number padded to N digits
  --force        replace existing files (default: keep them)
Every extracted file is checked against its MD5.
Exit status: 0 all written and valid, 1 a file kept, skipped or invalid,
2 FILE is not a readable container or the options are wrong.
)");
}

void ExtractCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("DIR")));
    parser->addOption(QCommandLineOption(QStringLiteral("mask"), QString(), QStringLiteral("MASK")));
    parser->addOption(QCommandLineOption(QStringLiteral("force")));
    parser->addPositionalArgument(QStringLiteral("FILE"), QString());
}

int ExtractCommand::run(const QCommandLineParser &parser, Console &console)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty()) {
        console.error(QStringLiteral("extract needs a FILE (see 'traxo extract --help')"));
        return ExitTrouble;
    }
    const QString mask = parser.value(QStringLiteral("mask"));
    if (parser.isSet(QStringLiteral("mask")) && !FileNameMask::isValid(mask)) {
        console.error(QStringLiteral("the mask \"%1\" is not valid").arg(mask));
        return ExitTrouble;
    }
    QList<QRegularExpression> patterns;
    for (const QString &pattern : arguments.mid(1))
        patterns.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)));

    const QString container = arguments.first();
    traxo::TraxoParser containerParser(traxo::ParseTolerant);
    if (!containerParser.open(container)) {
        console.error(QStringLiteral("%1: not a readable container").arg(container));
        return ExitTrouble;
    }
    const QString directory
        = parser.isSet(QStringLiteral("o")) ? parser.value(QStringLiteral("o")) : QStringLiteral(".");
    if (!QDir().mkpath(directory) || !QFileInfo(directory).isDir()) {
        console.error(QStringLiteral("%1: cannot make the target directory").arg(directory));
        return ExitTrouble;
    }
    const QString root = QDir::cleanPath(QFileInfo(directory).absoluteFilePath());

    QList<Candidate> chosen;
    for (const Candidate &file : embeddedFiles(containerParser)) {
        if (matchesAny(patterns, file.recordedPath))
            chosen.append(file);
    }
    int status = ExitOk;
    if (chosen.isEmpty()) {
        console.error(patterns.isEmpty() ? QStringLiteral("%1: holds no embedded file").arg(container)
                                         : QStringLiteral("%1: no embedded file matches").arg(container));
        return ExitNegative;
    }

    QHash<int, QString> targets;
    QHash<int, QString> recorded;
    QList<traxo::SavedFile> saved;
    const bool force = parser.isSet(QStringLiteral("force"));
    const int shared = sharedDirectoryDepth(chosen);
    for (int k = 0; k < chosen.size(); ++k) {
        const Candidate &file = chosen.at(k);
        const QString name
            = traxo::safeFileName(FileNameMask::adjust(mask, namePart(file.recordedPath), int(chosen.size()), k + 1));
        const QString subdirectory
            = traxo::safeRelativeDirectory(directoryComponents(file.recordedPath).mid(shared).join(QLatin1Char('/')));
        if (!traxo::staysInside(root, subdirectory)) {
            console.error(QStringLiteral("%1: \"%2\" leads out of %3 through a link; skipped")
                              .arg(file.recordedPath, subdirectory, root));
            status = ExitNegative;
            continue;
        }
        const QString targetDirectory = subdirectory.isEmpty() ? root : root + QLatin1Char('/') + subdirectory;
        const QString target = targetDirectory + QLatin1Char('/') + name;
        const QFileInfo info(target);
        if (info.isDir() && !info.isSymLink()) {
            console.error(QStringLiteral("%1: a directory is in the way; skipped").arg(target));
            status = ExitNegative;
            continue;
        }
        if ((info.exists() || info.isSymLink()) && !force) {
            console.error(QStringLiteral("%1: exists, kept (--force replaces it)").arg(target));
            status = ExitNegative;
            continue;
        }
        if (!QDir().mkpath(targetDirectory)) {
            console.error(QStringLiteral("%1: cannot make the directory").arg(targetDirectory));
            status = ExitNegative;
            continue;
        }
        const QSharedPointer<traxo::FileTag> tag = containerParser.getFile(file.id);
        targets.insert(file.id, target);
        recorded.insert(file.id, file.recordedPath);
        saved.append(traxo::SavedFile { target, tag->md5file, tag->filesize });
    }

    QHash<int, bool> written;
    traxo::ExtractionQueue extraction(&containerParser);
    QObject::connect(&extraction, &traxo::ExtractionQueue::fileProcessed,
        [&written](int id, bool valid) { written.insert(id, valid); });
    extraction.addExtractees(targets);
    while (extraction.process()) { }

    QList<traxo::SavedFile> toCheck;
    for (const traxo::SavedFile &file : saved) {
        const int id = targets.key(file.filename);
        if (written.value(id, false)) {
            toCheck.append(file);
        } else {
            console.error(QStringLiteral("%1: could not be written").arg(file.filename));
            status = ExitNegative;
        }
    }
    QHash<QString, bool> valid;
    traxo::ValidationQueue validation;
    QObject::connect(&validation, &traxo::ValidationQueue::savedFileProcessed,
        [&valid](const QString &filename, bool ok) { valid.insert(filename, ok); });
    validation.addValidatees(toCheck);
    while (validation.process()) { }
    for (const traxo::SavedFile &file : toCheck) {
        if (valid.value(file.filename, false)) {
            console.writeLine(file.filename);
        } else {
            console.error(QStringLiteral("%1: MD5 mismatch, the extracted file is damaged").arg(file.filename));
            status = ExitNegative;
        }
    }
    return status;
}
