#ifndef TRAXO_EXTRACTEE_H
#define TRAXO_EXTRACTEE_H

#include <QString>

namespace traxo {

// One embedded file queued for extraction: where its stored bytes lie in the
// container and where they go.
struct Extractee
{
    int id = -1;
    qint64 start = -1; // offset of the stored data; -1 when the marker places it nowhere
    qint64 length = 0; // stored bytes to read
    QString md5;
    QString md5c;
    QString target;
    // "flate" or "none" as recorded; anything else cannot be decoded.
    QString compression;
};

} // namespace traxo

#endif
