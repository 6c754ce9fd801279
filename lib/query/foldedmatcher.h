#ifndef TRAXO_FOLDEDMATCHER_H
#define TRAXO_FOLDEDMATCHER_H

#include <QByteArray>
#include <QByteArrayView>

#include <array>

namespace traxo {

// Finds a word in bytes of any letter case without lowering a copy of them,
// reading every byte through lowerAscii(): sixteen start positions at a time
// where SSE2 is available, Boyer-Moore-Horspool elsewhere. Only ASCII letters
// fold; every other byte, those of UTF-8 sequences included, must match
// exactly.
class FoldedMatcher
{
public:
    FoldedMatcher() = default;
    // The word is lowered the same way; an empty word is found at from.
    explicit FoldedMatcher(QByteArrayView word);

    QByteArray word() const { return m_word; }
    // The first position at or after from where the word starts, or -1.
    qsizetype indexIn(QByteArrayView text, qsizetype from = 0) const;

    static char lowerAscii(char c) { return char(c | (static_cast<unsigned char>(c - 'A') < 26 ? 0x20 : 0)); }

private:
    QByteArray m_word;
    // How far the window may move when its last byte, lowered, is the index.
    std::array<quint8, 256> m_shift {};
};

} // namespace traxo

#endif
