#ifndef TRAXO_MIMETYPES_H
#define TRAXO_MIMETYPES_H

#include <QString>

// The fixed table of file types the editor offers for a step's files, and the
// guess of a type from a file name's extension.
class Mimetypes
{
public:
    static int getTypeCount();
    // The i-th type of the table; empty for an index outside it.
    static QString getType(int i);
    // Exact comparison: the table's spelling, case included, is the only one known.
    static bool isKnownMimeType(const QString &text);
    // The type belonging to the text after the last dot, compared without regard
    // to case; empty when the name has no dot or the extension is unknown.
    static QString guessMimeType(const QString &fileName);
};

#endif
