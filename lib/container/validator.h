#ifndef TRAXO_VALIDATOR_H
#define TRAXO_VALIDATOR_H

#include "container/inflater.h"
#include "container/md5generator.h"

#include <QByteArray>
#include <QString>

namespace traxo {

// Checks one run of bytes, fed in pieces, against its recorded MD5. With an
// expected digest of the stored bytes (md5c) the bytes are a zlib stream: they
// are hashed as stored, inflated, and the inflated output is hashed against
// md5.
class Validator
{
public:
    explicit Validator(const QString &md5 = QString(), const QString &md5c = QString());
    Validator(const Validator &) = delete;
    Validator &operator=(const Validator &) = delete;

    void reinit(const QString &md5, const QString &md5c);
    void update(const QByteArray &bytes);
    // An empty expectation never matches, so a missing checksum never passes.
    bool isValid();

    bool isCompressed() const { return m_compressed; }

private:
    QString m_md5;
    QString m_md5c;
    bool m_compressed = false;
    MD5Generator m_plain;
    MD5Generator m_stored;
    Inflater m_inflater;
};

} // namespace traxo

#endif
