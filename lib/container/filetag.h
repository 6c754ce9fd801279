#ifndef TRAXO_FILETAG_H
#define TRAXO_FILETAG_H

#include <QMetaType>
#include <QString>

namespace traxo {

// One parsed embedded-file marker. Text fields keep the marker's escapes as
// written; integer fields read -1 when the marker left them empty. Offsets
// and sizes are 64-bit: embedded files may exceed 2 GiB.
struct FileTag
{
    int id = 0; // 0, 1, 2, ... in file order
    qint64 position = 0; // byte offset of the tag's "<"
    int taglen = 0; // bytes from "<" through "-->"
    QString filetype;
    QString filename;
    QString description;
    QString comment;
    QString compression; // "flate" or "none"
    qint64 filesize = 0;
    qint64 cfilesize = 0;
    qint64 blocksize = 0; // extent of the block that follows the tag
    qint64 offset = 0; // from the end of the tag to the stored data
    QString md5file;
    QString md5cfile;
};

} // namespace traxo

// Moved in memory as a whole when a list of tags grows: the members are ints
// and implicitly shared Qt values, none of which points into itself.
Q_DECLARE_TYPEINFO(traxo::FileTag, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(traxo::FileTag)

#endif
