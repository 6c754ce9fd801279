#ifndef TRAXO_EXTRACTIONPATHS_H
#define TRAXO_EXTRACTIONPATHS_H

#include <QString>

namespace traxo {

// Where an extracted file may be written. Names come from the container,
// which may have been made by anyone: whatever they hold, the result stays
// inside the target directory chosen by the user.

// The last component of name, without control characters and drive colons;
// a name that is empty or only dots becomes a harmless one.
QString safeFileName(const QString &name);
// A relative directory path made of safe components (no "..", no root, no
// drive, '/' only); empty for the target directory itself.
QString safeRelativeDirectory(const QString &path);
// True when no existing component of root/relativeDirectory below root is a
// symbolic link, so that creating and writing there cannot leave root.
bool staysInside(const QString &root, const QString &relativeDirectory);

} // namespace traxo

#endif
