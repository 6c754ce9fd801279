#ifndef TRAXO_MD5GENERATOR_H
#define TRAXO_MD5GENERATOR_H

#include "container/md5hash.h"

#include <QByteArray>
#include <QString>

namespace traxo {

// Incremental MD5 (RFC 1321) giving the digest as 32 lower-case hex digits,
// the form in which containers record their checksums.
class MD5Generator
{
public:
    MD5Generator();
    explicit MD5Generator(const QByteArray &data);
    MD5Generator(const MD5Generator &) = delete;
    MD5Generator &operator=(const MD5Generator &) = delete;

    void update(const QByteArray &data);
    void update(const char *data, int size);
    // Finishes the digest on the first call; later calls return the same text
    // until reset(), and further updates are ignored until then.
    QString getHexDigest();
    void reset();

private:
    Md5Hash m_hash;
    QString m_digest;
};

} // namespace traxo

#endif
