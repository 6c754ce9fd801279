#ifndef TRAXO_SECTIONTAG_H
#define TRAXO_SECTIONTAG_H

#include <QByteArray>
#include <QMetaType>
#include <QString>

namespace traxo {

// One parsed section marker. Text fields keep the marker's escapes as
// written; integer fields read -1 when the marker left them empty. Offsets
// and sizes are 64-bit: containers may exceed 2 GiB.
struct SectionTag
{
    int id = 0; // 0 is the newest section, counting up towards the file start
    qint64 position = 0; // byte offset of the tag's "<"
    int taglen = 0; // bytes from "<" through "-->"
    QString version;
    QString creator;
    QString title;
    qint64 left = 0;
    qint64 size = 0;
    qint64 index = 0;
    QString md5section;
    QString previousmd5;
    qint64 previousmarker = 0;
    // The marker's bytes from "<" to the end of its line with md5section
    // replaced by 32 zeros: what the section checksum is computed over.
    QByteArray validationTag;
};

} // namespace traxo

// Moved in memory as a whole when a list of tags grows: the members are ints
// and implicitly shared Qt values, none of which points into itself.
Q_DECLARE_TYPEINFO(traxo::SectionTag, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(traxo::SectionTag)

#endif
