#ifndef TRAXO_SAVEDFILE_H
#define TRAXO_SAVEDFILE_H

#include <QString>

namespace traxo {

// A file extracted to disk, with the size and MD5 its content must have.
struct SavedFile
{
    QString filename;
    QString md5;
    qint64 size = 0;
};

} // namespace traxo

#endif
