#include "shared/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

// The frame's category: where the program looks for its parts is a question
// about the installation, whichever program asks.
Q_LOGGING_CATEGORY(lcPaths, "traxo.frame", QtInfoMsg)

namespace {

// A system installation (/usr/bin/TRAXObench) keeps its data in
// /usr/share/traxobench, in the same folders a self-contained tree has beside
// bin/. It is looked at only after every folder beside the program.
const QLatin1String SystemDataDir("/../share/traxobench");

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isDirectory(const QString &path)
{
    return QFileInfo(path).isDir();
}

// Documentation may come either directly in a folder or in a "traxo"
// sub-folder of it; the sub-folder wins when it exists.
QString withTraxoSubfolder(const QString &dir)
{
    const QString sub = cleanAbsolute(dir + QStringLiteral("/traxo/"));
    if (isDirectory(sub)) {
        qCDebug(lcPaths) << sub;
        return sub;
    }
    return cleanAbsolute(dir);
}

// The canonical form of path, or of its nearest existing ancestor with the
// missing tail appended, so paths that do not exist yet can be compared.
QString canonicalOrPlanned(const QString &path)
{
    QString existing = cleanAbsolute(path);
    QStringList tail;
    while (!QFileInfo::exists(existing)) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return cleanAbsolute(path);
        tail.prepend(existing.mid(slash + 1));
        existing.truncate(slash);
    }
    QString result = QFileInfo(existing).canonicalFilePath();
    for (const QString &part : tail)
        result += QLatin1Char('/') + part;
    return result;
}

} // namespace

QString getCoreDir()
{
    return getCoreDirFor(getBinaryDir());
}

QString getBinDir()
{
    return getBinDirFor(getBinaryDir());
}

QString getTemplatesDir()
{
    return getTemplatesDirFor(getBinaryDir(), getApplicationDir());
}

QString getExamplesDir()
{
    return getExamplesDirFor(getBinaryDir(), getApplicationDir());
}

QString getDocDir()
{
    return getDocDirFor(getBinaryDir(), getApplicationDir());
}

QString getCoreDirFor(const QString &binaryDir)
{
    return cleanAbsolute(binaryDir + QStringLiteral("/../traxo-src/"));
}

QString getBinDirFor(const QString &binaryDir)
{
    return cleanAbsolute(getCoreDirFor(binaryDir) + QStringLiteral("/bin/"));
}

QString getTemplatesDirFor(const QString &binaryDir, const QString &applicationDir)
{
    const QStringList candidates = {
        getCoreDirFor(binaryDir) + QStringLiteral("/res/templates/"),
        applicationDir + QStringLiteral("/../res/templates/"),
        applicationDir + QStringLiteral("/../templates/"),
        applicationDir + QStringLiteral("/../traxobench/templates/"),
        applicationDir + SystemDataDir + QStringLiteral("/templates/"),
    };
    for (const QString &candidate : candidates) {
        if (isDirectory(candidate))
            return cleanAbsolute(candidate);
    }
    return cleanAbsolute(candidates.first());
}

QString getExamplesDirFor(const QString &binaryDir, const QString &applicationDir)
{
    const QString inCore = getCoreDirFor(binaryDir) + QStringLiteral("/examples/");
    if (isDirectory(inCore))
        return cleanAbsolute(inCore);
    const QString beside = applicationDir + QStringLiteral("/../examples/");
    const QString inSystem = applicationDir + SystemDataDir + QStringLiteral("/examples/");
    if (!isDirectory(beside) && isDirectory(inSystem))
        return cleanAbsolute(inSystem);
    return cleanAbsolute(beside);
}

QString getDocDirFor(const QString &binaryDir, const QString &applicationDir)
{
    const QString inCore = getCoreDirFor(binaryDir) + QStringLiteral("/doc/usage/");
    qCDebug(lcPaths) << cleanAbsolute(inCore);
    const QString coreDoc = withTraxoSubfolder(inCore);
    if (isDirectory(coreDoc))
        return coreDoc;

    QDir dir(applicationDir);
    qCDebug(lcPaths) << "application dir:" << dir.absolutePath();
    dir.setPath(dir.absolutePath() + QStringLiteral("/.."));
    qCDebug(lcPaths) << "up:" << QDir::cleanPath(dir.absolutePath());
    dir.setPath(dir.absolutePath() + QStringLiteral("/doc/generated/usage"));
    qCDebug(lcPaths) << "doc:" << QDir::cleanPath(dir.absolutePath());
    const QString beside = withTraxoSubfolder(dir.absolutePath());
    const QString inSystem
        = withTraxoSubfolder(applicationDir + SystemDataDir + QStringLiteral("/doc/generated/usage"));
    if (!isDirectory(beside) && isDirectory(inSystem))
        return inSystem;
    return beside;
}

QString joinPaths(const QString &a, const QString &b)
{
    return a + QDir::separator() + b;
}

QString firstExistingPath(const QString &base, const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        const QString path = base + QDir::separator() + candidate;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString firstExistingFile(const QString &base, const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        const QString path = base + QLatin1Char('/') + candidate;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString makePathCanonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString makePathAbsolute(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool removeDirectory(const QString &dir)
{
    const QFileInfo top(dir);
    // A link named as the directory to remove is removed itself, never
    // followed into whatever it points at.
    if (top.isSymLink())
        return QFile::remove(top.absoluteFilePath());
    if (!top.isDir())
        return false;

    bool ok = true;
    // Hidden and system entries (dangling links) are listed too: leaving them
    // behind would make the final rmdir fail.
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::Dirs | QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        qCDebug(lcPaths) << "delete.." << entry.absoluteFilePath();
        if (entry.isSymLink() || !entry.isDir())
            ok = QFile::remove(entry.absoluteFilePath()) && ok;
        else
            ok = removeDirectory(entry.absoluteFilePath()) && ok;
    }
    return QDir().rmdir(top.absoluteFilePath()) && ok;
}

bool copyDirectory(const QString &from, const QString &to)
{
    const QString source = canonicalOrPlanned(from);
    const QString target = canonicalOrPlanned(to);
    if (source == target)
        return true;
    if (target.startsWith(source + QLatin1Char('/'))) {
        qCDebug(lcPaths) << "copying:" << source << "into its own subtree" << target << "refused";
        return false;
    }
    if (!QFileInfo(from).isDir())
        return false;

    bool ok = true;
    const QFileInfoList entries = QDir(from).entryInfoList(
        QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString sourcePath = entry.absoluteFilePath();
        const QString targetPath = QDir(to).absoluteFilePath(entry.fileName());
        qCDebug(lcPaths) << "copying:" << sourcePath << "->" << targetPath;
        if (entry.isDir()) {
            QDir(to).mkdir(entry.fileName());
            ok = copyDirectory(sourcePath, targetPath) && ok;
        } else {
            ok = QFile::copy(sourcePath, targetPath) && ok;
        }
    }
    return ok;
}
