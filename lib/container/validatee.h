#ifndef TRAXO_VALIDATEE_H
#define TRAXO_VALIDATEE_H

#include <QByteArray>
#include <QString>

namespace traxo {

enum ValidateeKind { SectionValidatee = 0, FileValidatee = 1, SavedFileValidatee = 2 };

// One queued checksum check: a section or an embedded file of the container,
// or a file on disk.
struct Validatee
{
    int kind = SectionValidatee;
    int id = -1;
    qint64 start = -1;
    qint64 length = 0;
    // Sections only: where the marker's tag lies, and the bytes hashed in its
    // place (the tag with its own checksum zeroed).
    qint64 tagPosition = -1;
    QByteArray validationTag;
    QString md5;
    QString md5c;
    QString name;
    // "flate" files: the size recorded for the inflated bytes, which weighs
    // the work of checking them.
    qint64 inflatedLength = 0;
};

} // namespace traxo

#endif
