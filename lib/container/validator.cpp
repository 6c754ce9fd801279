#include "container/validator.h"

namespace traxo {

Validator::Validator(const QString &md5, const QString &md5c)
{
    reinit(md5, md5c);
}

void Validator::reinit(const QString &md5, const QString &md5c)
{
    m_md5 = md5;
    m_md5c = md5c;
    m_compressed = !md5c.isEmpty();
    m_plain.reset();
    m_stored.reset();
    m_inflater.reset();
}

void Validator::update(const QByteArray &bytes)
{
    if (!m_compressed) {
        m_plain.update(bytes);
        return;
    }
    m_stored.update(bytes);
    m_inflater.inflateData(bytes, [this](const char *data, int size) {
        m_plain.update(data, size);
        return true;
    });
}

bool Validator::isValid()
{
    if (m_compressed) {
        if (!m_inflater.hasFinished() || !m_inflater.isValid())
            return false;
        if (m_stored.getHexDigest() != m_md5c)
            return false;
    }
    return !m_md5.isEmpty() && m_plain.getHexDigest() == m_md5;
}

} // namespace traxo
