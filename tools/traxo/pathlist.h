#ifndef TRAXO_PATHLIST_H
#define TRAXO_PATHLIST_H

#include <QString>
#include <QStringList>

// Paths named in a list file or on standard input ("-"), one per line or,
// with nulSeparated, separated by NUL bytes as `find -print0` writes them.
// Empty entries are skipped; a path is taken byte for byte, blanks included.
class PathList
{
public:
    // False with error set when the source cannot be read.
    static bool read(const QString &source, bool nulSeparated, QStringList *paths, QString *error);
    static QStringList split(const QByteArray &bytes, bool nulSeparated);
};

#endif
