#ifndef TRAXO_MD5HASH_H
#define TRAXO_MD5HASH_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace traxo {

// Incremental MD5 (RFC 1321) for the paths that hash whole containers and
// embedded files. MD5 is bound by the latency of one long dependency chain,
// so a core sits mostly idle while it runs: addData(first, a, second, b)
// feeds two independent hashes in one loop whose instructions interleave,
// which yields both digests in well under twice the time of one. The two
// runs of bytes may overlap or be the very same.
class Md5Hash
{
public:
    Md5Hash() { reset(); }

    void reset();
    void addData(QByteArrayView data);
    // The 16-byte digest of what was added so far; hashing may go on.
    QByteArray result() const;
    // result() as 32 lower-case hex digits, as containers record it.
    QString hexResult() const;

    static QByteArray hash(QByteArrayView data);
    // first.addData(a) and second.addData(b) in one interleaved pass.
    static void addData(Md5Hash &first, QByteArrayView a, Md5Hash &second, QByteArrayView b);

private:
    // Completes a partial block from data; returns the bytes taken.
    qsizetype fillBuffer(const unsigned char *data, qsizetype size);
    void keepTail(const unsigned char *data, qsizetype size);

    std::uint32_t m_state[4];
    std::uint64_t m_length; // bytes added; its value modulo 64 are buffered
    unsigned char m_buffer[64];
};

} // namespace traxo

#endif
