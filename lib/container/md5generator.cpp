#include "container/md5generator.h"

namespace traxo {

MD5Generator::MD5Generator() = default;

MD5Generator::MD5Generator(const QByteArray &data)
    : MD5Generator()
{
    update(data);
}

void MD5Generator::update(const QByteArray &data)
{
    update(data.constData(), int(data.size()));
}

void MD5Generator::update(const char *data, int size)
{
    // A finished digest is final: hashing on would silently change a value
    // that has already been handed out.
    if (m_digest.isEmpty() && size > 0)
        m_hash.addData(QByteArrayView(data, size));
}

QString MD5Generator::getHexDigest()
{
    if (m_digest.isEmpty())
        m_digest = m_hash.hexResult();
    return m_digest;
}

void MD5Generator::reset()
{
    m_hash.reset();
    m_digest.clear();
}

} // namespace traxo
