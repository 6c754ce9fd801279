#ifndef TRAXO_LIBRARYINFO_H
#define TRAXO_LIBRARYINFO_H

#include <QString>

namespace traxo {

// "traxolib 1.83.0.2990 of Jun 21 2013"
QString getVersion();
// "Jun 21 2013"
QString getReleaseData();

// Canonical directory of the running program; the tools are looked up here.
QString getBinaryDir();
// The installation folder: the binary directory, or for an application
// bundle (".../Contents/MacOS") the folder three levels above it.
QString getApplicationDir();

} // namespace traxo

#endif
