#ifndef TRAXO_FILENAMEMASK_H
#define TRAXO_FILENAMEMASK_H

#include <QString>

// Masks that rename extracted files with their running number and original
// name: "%f" the name, "%*f" the name with blanks as "_", "%d" the number,
// "%*d" the number padded to the width of the largest, "%Nd" padded to N
// digits, "%%" a percent sign; any other text stays as it is.
class FileNameMask
{
public:
    // The mask applied to filename; empty when the mask cannot be read.
    static QString replacePlaceholders(const QString &mask, const QString &filename, int fileNumber, int numDigits);
    // filename unchanged for an empty mask; numbers count from 1 and are
    // padded by "%*d" to the digits of numFiles.
    static QString adjust(const QString &mask, const QString &filename, int numFiles, int fileNumber);
    static bool isValid(const QString &mask);
};

#endif
