#ifndef TRAXO_PATHS_H
#define TRAXO_PATHS_H

#include "argfile/libraryinfo.h"

#include <QString>
#include <QStringList>

// Where the installed parts of TRAXObench (templates, help pages, examples,
// helper programs) are found, relative to the running program. Every getter
// returns an absolute, cleaned path without a trailing separator.
//
// Three layouts are supported: a source-style tree with a "traxo-src" folder
// beside the program folder, a flat tree (bin/, templates/, examples/,
// doc/generated/usage/) as made by the build and by `cmake --install`, and a
// system tree (/usr/bin, the same folders in /usr/share/traxobench). An
// executable inside an application bundle (".../X.app/Contents/MacOS") counts
// as living in the folder that holds the bundle.

// The program's folder and the installation folder come from the library.
using traxo::getApplicationDir;
using traxo::getBinaryDir;

QString getCoreDir();
QString getBinDir();
QString getTemplatesDir();
QString getExamplesDir();
QString getDocDir();

// The same rules for a program in binaryDir installed in applicationDir; the
// getters above apply them to the running program. Public so that layouts
// can be checked without moving an executable around.
QString getCoreDirFor(const QString &binaryDir);
QString getBinDirFor(const QString &binaryDir);
QString getTemplatesDirFor(const QString &binaryDir, const QString &applicationDir);
QString getExamplesDirFor(const QString &binaryDir, const QString &applicationDir);
QString getDocDirFor(const QString &binaryDir, const QString &applicationDir);

// a + native separator + b, nothing normalised.
QString joinPaths(const QString &a, const QString &b);
// The first base/candidate that exists (file or directory), or empty.
QString firstExistingPath(const QString &base, const QStringList &candidates);
// The first base/candidate that exists and is a file, or empty.
QString firstExistingFile(const QString &base, const QStringList &candidates);
// Empty for a path that does not exist.
QString makePathCanonical(const QString &path);
QString makePathAbsolute(const QString &path);

// Removes dir with everything in it. A symbolic link inside is removed as a
// link: the removal never reaches anything outside dir. Goes on after a
// failed entry; returns true only when dir is gone.
bool removeDirectory(const QString &dir);

// Copies the contents of from into the existing directory to, recursively.
// Symbolic links are skipped and existing files are not overwritten. Copying
// a directory onto itself does nothing; copying it into its own subtree is
// refused (it would never end). Returns true when every entry was copied.
bool copyDirectory(const QString &from, const QString &to);

#endif
