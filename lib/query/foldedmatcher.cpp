#include "query/foldedmatcher.h"

#include <QtAlgorithms>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// The wide scan is built for AVX2 whatever the build's target and taken
// only where the processor has it.
#if defined(__x86_64__) && defined(__GNUC__)
#define TRAXO_FOLDED_AVX2 1
#include <immintrin.h>
#endif

namespace traxo {

namespace {

bool isLowerLetter(char c)
{
    return c >= 'a' && c <= 'z';
}

bool equalsFolded(const char *text, QByteArrayView word)
{
    return std::equal(word.begin(), word.end(), text, [](char w, char t) { return w == FoldedMatcher::lowerAscii(t); });
}

#if defined(TRAXO_FOLDED_AVX2)
bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The starts among thirty-two at at whose first and last bytes fit the
// word's, as a byte mask.
__attribute__((target("avx2"))) inline __m256i candidatesAt(
    const char *at, qsizetype length, __m256i firstBytes, __m256i firstFold, __m256i lastBytes, __m256i lastFold)
{
    const __m256i heads = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
    const __m256i tails = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + length - 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(heads, firstFold), firstBytes),
        _mm256_cmpeq_epi8(_mm256_or_si256(tails, lastFold), lastBytes));
}

// The first start of mask (bit i: the start at + i) where the whole word
// fits, or -1.
inline qsizetype firstFit(const char *data, qsizetype at, uint mask, QByteArrayView word)
{
    for (; mask; mask &= mask - 1) {
        const qsizetype found = at + qCountTrailingZeroBits(mask);
        if (equalsFolded(data + found, word))
            return found;
    }
    return -1;
}

// The SSE2 scan below with sixty-four starts at a time and one branch for
// the common case of no candidate among them, then thirty-two. Moves
// *start past the starts it has ruled out; the position found, or -1.
__attribute__((target("avx2"))) qsizetype indexInAvx2(QByteArrayView text, QByteArrayView word, qsizetype *start)
{
    const qsizetype length = word.size();
    const char *data = text.data();
    const char front = word.front();
    const char back = word.back();
    const __m256i firstBytes = _mm256_set1_epi8(front);
    const __m256i lastBytes = _mm256_set1_epi8(back);
    const __m256i firstFold = _mm256_set1_epi8(char(isLowerLetter(front) ? 0x20 : 0));
    const __m256i lastFold = _mm256_set1_epi8(char(isLowerLetter(back) ? 0x20 : 0));
    qsizetype at = *start;
    for (; at + length - 1 + 64 <= text.size(); at += 64) {
        const __m256i low = candidatesAt(data + at, length, firstBytes, firstFold, lastBytes, lastFold);
        const __m256i high = candidatesAt(data + at + 32, length, firstBytes, firstFold, lastBytes, lastFold);
        const __m256i either = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(either, either))
            continue;
        qsizetype found = firstFit(data, at, uint(_mm256_movemask_epi8(low)), word);
        if (found < 0)
            found = firstFit(data, at + 32, uint(_mm256_movemask_epi8(high)), word);
        if (found >= 0)
            return found;
    }
    for (; at + length - 1 + 32 <= text.size(); at += 32) {
        const __m256i mask = candidatesAt(data + at, length, firstBytes, firstFold, lastBytes, lastFold);
        const qsizetype found = firstFit(data, at, uint(_mm256_movemask_epi8(mask)), word);
        if (found >= 0)
            return found;
    }
    *start = at;
    return -1;
}
#endif

} // namespace

FoldedMatcher::FoldedMatcher(QByteArrayView word)
{
    m_word.reserve(word.size());
    for (const char c : word)
        m_word.append(lowerAscii(c));
    // A shift never exceeds the table's range; a shorter one is only slower.
    const qsizetype length = m_word.size();
    const auto longest = quint8(std::min<qsizetype>(length, 255));
    m_shift.fill(longest);
    for (qsizetype i = 0; i + 1 < length; ++i)
        m_shift[uchar(m_word.at(i))] = quint8(std::min<qsizetype>(length - 1 - i, longest));
}

qsizetype FoldedMatcher::indexIn(QByteArrayView text, qsizetype from) const
{
    const qsizetype length = m_word.size();
    if (from < 0 || from > text.size())
        return -1;
    if (length == 0)
        return from;
    const char *data = text.data();
    qsizetype start = from;
#if defined(TRAXO_FOLDED_AVX2)
    if (hasAvx2()) {
        const qsizetype found = indexInAvx2(text, m_word, &start);
        if (found >= 0)
            return found;
    }
#endif
#if defined(__SSE2__)
    // Sixteen starts at a time, each checked in full only where the word's
    // first and last bytes both fit. Setting bit 0x20 folds a letter's case
    // (and lets a few other bytes through, which the full check refuses).
    const auto broadcast = [](char c) { return _mm_set1_epi8(c); };
    const auto foldBit = [](char c) { return _mm_set1_epi8(char(isLowerLetter(c) ? 0x20 : 0)); };
    const char front = m_word.front();
    const char back = m_word.back();
    const __m128i firstBytes = broadcast(front);
    const __m128i lastBytes = broadcast(back);
    const __m128i firstFold = foldBit(front);
    const __m128i lastFold = foldBit(back);
    for (; start + length - 1 + 16 <= text.size(); start += 16) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + start));
        const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + start + length - 1));
        uint candidates
            = uint(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(heads, firstFold), firstBytes),
                _mm_cmpeq_epi8(_mm_or_si128(tails, lastFold), lastBytes))));
        for (; candidates; candidates &= candidates - 1) {
            const qsizetype at = start + qCountTrailingZeroBits(candidates);
            if (equalsFolded(data + at, m_word))
                return at;
        }
    }
#endif
    // Boyer-Moore-Horspool for the rest: the window's last byte, lowered,
    // tells how far it may move.
    const char last = m_word.back();
    for (qsizetype end = start + length - 1; end < text.size();) {
        const char c = lowerAscii(data[end]);
        if (c == last && equalsFolded(data + end - length + 1, m_word))
            return end - length + 1;
        end += m_shift[uchar(c)];
    }
    return -1;
}

} // namespace traxo
