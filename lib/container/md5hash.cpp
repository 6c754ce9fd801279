#include "container/md5hash.h"

#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace traxo {

namespace {

using u32 = std::uint32_t;

inline u32 rotl(u32 x, int c)
{
    return (x << c) | (x >> (32 - c));
}

inline u32 word(const unsigned char *block, int index)
{
    return qFromLittleEndian<u32>(block + 4 * index);
}

// The round functions, written so that the operands that do not depend on b
// (the newest value of the chain) are combined first. G's two terms have no
// bit in common, so the sum equals the usual or.
#define MD5_F(a, b, c, d, x) a += (d ^ (b & (c ^ d))) + x
#define MD5_G(a, b, c, d, x) a += (c & ~d) + x + (b & d)
#define MD5_H(a, b, c, d, x) a += (c ^ d ^ b) + x
#define MD5_I(a, b, c, d, x) a += (c ^ (b | ~d)) + x

// One step of lane n: a = b + ((a + f(b,c,d) + X[i] + t) <<< s).
#define MD5_LANE(f, a, b, c, d, i, t, s, n)                                                                            \
    MD5_##f(a##n, b##n, c##n, d##n, word(p##n, i) + t);                                                                \
    a##n = b##n + rotl(a##n, s);

// The 64 steps of one block, each handed to STEP.
#define MD5_ROUNDS(STEP)                                                                                               \
    STEP(F, a, b, c, d, 0, 0xd76aa478, 7)                                                                              \
    STEP(F, d, a, b, c, 1, 0xe8c7b756, 12)                                                                             \
    STEP(F, c, d, a, b, 2, 0x242070db, 17)                                                                             \
    STEP(F, b, c, d, a, 3, 0xc1bdceee, 22)                                                                             \
    STEP(F, a, b, c, d, 4, 0xf57c0faf, 7)                                                                              \
    STEP(F, d, a, b, c, 5, 0x4787c62a, 12)                                                                             \
    STEP(F, c, d, a, b, 6, 0xa8304613, 17)                                                                             \
    STEP(F, b, c, d, a, 7, 0xfd469501, 22)                                                                             \
    STEP(F, a, b, c, d, 8, 0x698098d8, 7)                                                                              \
    STEP(F, d, a, b, c, 9, 0x8b44f7af, 12)                                                                             \
    STEP(F, c, d, a, b, 10, 0xffff5bb1, 17)                                                                            \
    STEP(F, b, c, d, a, 11, 0x895cd7be, 22)                                                                            \
    STEP(F, a, b, c, d, 12, 0x6b901122, 7)                                                                             \
    STEP(F, d, a, b, c, 13, 0xfd987193, 12)                                                                            \
    STEP(F, c, d, a, b, 14, 0xa679438e, 17)                                                                            \
    STEP(F, b, c, d, a, 15, 0x49b40821, 22)                                                                            \
    STEP(G, a, b, c, d, 1, 0xf61e2562, 5)                                                                              \
    STEP(G, d, a, b, c, 6, 0xc040b340, 9)                                                                              \
    STEP(G, c, d, a, b, 11, 0x265e5a51, 14)                                                                            \
    STEP(G, b, c, d, a, 0, 0xe9b6c7aa, 20)                                                                             \
    STEP(G, a, b, c, d, 5, 0xd62f105d, 5)                                                                              \
    STEP(G, d, a, b, c, 10, 0x02441453, 9)                                                                             \
    STEP(G, c, d, a, b, 15, 0xd8a1e681, 14)                                                                            \
    STEP(G, b, c, d, a, 4, 0xe7d3fbc8, 20)                                                                             \
    STEP(G, a, b, c, d, 9, 0x21e1cde6, 5)                                                                              \
    STEP(G, d, a, b, c, 14, 0xc33707d6, 9)                                                                             \
    STEP(G, c, d, a, b, 3, 0xf4d50d87, 14)                                                                             \
    STEP(G, b, c, d, a, 8, 0x455a14ed, 20)                                                                             \
    STEP(G, a, b, c, d, 13, 0xa9e3e905, 5)                                                                             \
    STEP(G, d, a, b, c, 2, 0xfcefa3f8, 9)                                                                              \
    STEP(G, c, d, a, b, 7, 0x676f02d9, 14)                                                                             \
    STEP(G, b, c, d, a, 12, 0x8d2a4c8a, 20)                                                                            \
    STEP(H, a, b, c, d, 5, 0xfffa3942, 4)                                                                              \
    STEP(H, d, a, b, c, 8, 0x8771f681, 11)                                                                             \
    STEP(H, c, d, a, b, 11, 0x6d9d6122, 16)                                                                            \
    STEP(H, b, c, d, a, 14, 0xfde5380c, 23)                                                                            \
    STEP(H, a, b, c, d, 1, 0xa4beea44, 4)                                                                              \
    STEP(H, d, a, b, c, 4, 0x4bdecfa9, 11)                                                                             \
    STEP(H, c, d, a, b, 7, 0xf6bb4b60, 16)                                                                             \
    STEP(H, b, c, d, a, 10, 0xbebfbc70, 23)                                                                            \
    STEP(H, a, b, c, d, 13, 0x289b7ec6, 4)                                                                             \
    STEP(H, d, a, b, c, 0, 0xeaa127fa, 11)                                                                             \
    STEP(H, c, d, a, b, 3, 0xd4ef3085, 16)                                                                             \
    STEP(H, b, c, d, a, 6, 0x04881d05, 23)                                                                             \
    STEP(H, a, b, c, d, 9, 0xd9d4d039, 4)                                                                              \
    STEP(H, d, a, b, c, 12, 0xe6db99e5, 11)                                                                            \
    STEP(H, c, d, a, b, 15, 0x1fa27cf8, 16)                                                                            \
    STEP(H, b, c, d, a, 2, 0xc4ac5665, 23)                                                                             \
    STEP(I, a, b, c, d, 0, 0xf4292244, 6)                                                                              \
    STEP(I, d, a, b, c, 7, 0x432aff97, 10)                                                                             \
    STEP(I, c, d, a, b, 14, 0xab9423a7, 15)                                                                            \
    STEP(I, b, c, d, a, 5, 0xfc93a039, 21)                                                                             \
    STEP(I, a, b, c, d, 12, 0x655b59c3, 6)                                                                             \
    STEP(I, d, a, b, c, 3, 0x8f0ccc92, 10)                                                                             \
    STEP(I, c, d, a, b, 10, 0xffeff47d, 15)                                                                            \
    STEP(I, b, c, d, a, 1, 0x85845dd1, 21)                                                                             \
    STEP(I, a, b, c, d, 8, 0x6fa87e4f, 6)                                                                              \
    STEP(I, d, a, b, c, 15, 0xfe2ce6e0, 10)                                                                            \
    STEP(I, c, d, a, b, 6, 0xa3014314, 15)                                                                             \
    STEP(I, b, c, d, a, 13, 0x4e0811a1, 21)                                                                            \
    STEP(I, a, b, c, d, 4, 0xf7537e82, 6)                                                                              \
    STEP(I, d, a, b, c, 11, 0xbd3af235, 10)                                                                            \
    STEP(I, c, d, a, b, 2, 0x2ad7d2bb, 15)                                                                             \
    STEP(I, b, c, d, a, 9, 0xeb86d391, 21)

#define MD5_ONE(f, a, b, c, d, i, t, s) MD5_LANE(f, a, b, c, d, i, t, s, 0)
#define MD5_TWO(f, a, b, c, d, i, t, s) MD5_LANE(f, a, b, c, d, i, t, s, 0) MD5_LANE(f, a, b, c, d, i, t, s, 1)

void blocks(u32 *state, const unsigned char *p0, qsizetype count)
{
    u32 a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];
    for (; count > 0; --count, p0 += 64) {
        const u32 sa0 = a0, sb0 = b0, sc0 = c0, sd0 = d0;
        MD5_ROUNDS(MD5_ONE)
        a0 += sa0;
        b0 += sb0;
        c0 += sc0;
        d0 += sd0;
    }
    state[0] = a0;
    state[1] = b0;
    state[2] = c0;
    state[3] = d0;
}

// Two independent chains in one loop; written out step by step because a
// loop over the lanes is not reliably unrolled, and then gains nothing.
void blocks2(u32 *state0, const unsigned char *p0, u32 *state1, const unsigned char *p1, qsizetype count)
{
    u32 a0 = state0[0], b0 = state0[1], c0 = state0[2], d0 = state0[3];
    u32 a1 = state1[0], b1 = state1[1], c1 = state1[2], d1 = state1[3];
    for (; count > 0; --count, p0 += 64, p1 += 64) {
        const u32 sa0 = a0, sb0 = b0, sc0 = c0, sd0 = d0;
        const u32 sa1 = a1, sb1 = b1, sc1 = c1, sd1 = d1;
        MD5_ROUNDS(MD5_TWO)
        a0 += sa0;
        b0 += sb0;
        c0 += sc0;
        d0 += sd0;
        a1 += sa1;
        b1 += sb1;
        c1 += sc1;
        d1 += sd1;
    }
    state0[0] = a0;
    state0[1] = b0;
    state0[2] = c0;
    state0[3] = d0;
    state1[0] = a1;
    state1[1] = b1;
    state1[2] = c1;
    state1[3] = d1;
}

#undef MD5_TWO
#undef MD5_ONE
#undef MD5_ROUNDS
#undef MD5_LANE
#undef MD5_I
#undef MD5_H
#undef MD5_G
#undef MD5_F

const unsigned char *bytes(QByteArrayView data)
{
    return reinterpret_cast<const unsigned char *>(data.data());
}

} // namespace

void Md5Hash::reset()
{
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
    m_length = 0;
}

qsizetype Md5Hash::fillBuffer(const unsigned char *data, qsizetype size)
{
    const qsizetype buffered = qsizetype(m_length % 64);
    if (buffered == 0 || size == 0)
        return 0;
    const qsizetype taken = std::min<qsizetype>(64 - buffered, size);
    std::memcpy(m_buffer + buffered, data, size_t(taken));
    m_length += std::uint64_t(taken);
    if (buffered + taken == 64)
        blocks(m_state, m_buffer, 1);
    return taken;
}

void Md5Hash::keepTail(const unsigned char *data, qsizetype size)
{
    std::memcpy(m_buffer, data, size_t(size));
    m_length += std::uint64_t(size);
}

void Md5Hash::addData(QByteArrayView data)
{
    const unsigned char *p = bytes(data);
    qsizetype size = data.size();
    const qsizetype taken = fillBuffer(p, size);
    p += taken;
    size -= taken;
    if (size == 0)
        return;
    const qsizetype count = size / 64;
    blocks(m_state, p, count);
    m_length += std::uint64_t(count) * 64;
    keepTail(p + count * 64, size % 64);
}

void Md5Hash::addData(Md5Hash &first, QByteArrayView a, Md5Hash &second, QByteArrayView b)
{
    const unsigned char *pa = bytes(a);
    const unsigned char *pb = bytes(b);
    qsizetype sizeA = a.size();
    qsizetype sizeB = b.size();
    const qsizetype takenA = first.fillBuffer(pa, sizeA);
    const qsizetype takenB = second.fillBuffer(pb, sizeB);
    pa += takenA;
    sizeA -= takenA;
    pb += takenB;
    sizeB -= takenB;
    // Whatever is left of a run starts on a block boundary of its hash.
    const qsizetype common = std::min(sizeA / 64, sizeB / 64);
    blocks2(first.m_state, pa, second.m_state, pb, common);
    first.m_length += std::uint64_t(common) * 64;
    second.m_length += std::uint64_t(common) * 64;
    first.addData(QByteArrayView(pa + common * 64, sizeA - common * 64));
    second.addData(QByteArrayView(pb + common * 64, sizeB - common * 64));
}

QByteArray Md5Hash::result() const
{
    u32 state[4] = { m_state[0], m_state[1], m_state[2], m_state[3] };
    unsigned char tail[128] = {};
    const qsizetype buffered = qsizetype(m_length % 64);
    std::memcpy(tail, m_buffer, size_t(buffered));
    tail[buffered] = 0x80;
    // The length in bits ends the last block; it needs eight free bytes.
    const qsizetype padded = buffered < 56 ? 64 : 128;
    qToLittleEndian<std::uint64_t>(m_length * 8, tail + padded - 8);
    blocks(state, tail, padded / 64);
    QByteArray digest(16, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<u32>(state[i], digest.data() + 4 * i);
    return digest;
}

QString Md5Hash::hexResult() const
{
    return QString::fromLatin1(result().toHex());
}

QByteArray Md5Hash::hash(QByteArrayView data)
{
    Md5Hash hash;
    hash.addData(data);
    return hash.result();
}

} // namespace traxo
