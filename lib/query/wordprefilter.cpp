#include "query/wordprefilter.h"

#include "container/traxoparser.h"

#include <QSharedPointer>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace traxo {

namespace {

// Lower-cased, a text keeps its ASCII letters in place; only these two
// characters outside ASCII become ASCII letters ("i" with a combining dot,
// and "k"), so their presence keeps every word with that letter in play.
constexpr std::string_view dottedCapitalI("\xC4\xB0"); // U+0130
constexpr std::string_view kelvinSign("\xE2\x84\xAA"); // U+212A

// Texts a summary holds without reading them from the container: the ids,
// sizes and hashes of the attribute tables, and two default texts.
constexpr std::string_view madeUpCharacters("0123456789-+.e:wfsil");
const char *const madeUpTexts[] = { "undefined", "<unmatched files>" };

// Appends to a buffer reserved for the worst case, so that no character
// costs a capacity check: the filter runs on every container of a search.
char *appendText(char *out, QByteArrayView bytes)
{
    std::memcpy(out, bytes.data(), size_t(bytes.size()));
    out[bytes.size()] = '\n';
    return out + bytes.size() + 1;
}

// Marker texts are UTF-16 by now; characters outside ASCII only matter
// through the two that lower-case to ASCII, so the rest become one byte
// that no word holds.
char *appendText(char *out, const QString &text)
{
    const QChar *in = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    // Four ASCII characters at a time (marker texts are nearly always
    // ASCII), narrowed to bytes.
    for (; i + 4 <= size; i += 4) {
        quint64 units;
        std::memcpy(&units, in + i, 8);
        if (units & 0xff80ff80ff80ff80ULL)
            break;
        const auto narrowed = quint32(
            (units & 0xff) | ((units >> 8) & 0xff00) | ((units >> 16) & 0xff0000) | ((units >> 24) & 0xff000000));
        std::memcpy(out, &narrowed, 4);
        out += 4;
    }
    for (; i < size; ++i) {
        const char16_t u = in[i].unicode();
        if (u < 0x80) {
            *out++ = char(u);
        } else {
            const std::string_view special = u == 0x130 ? dottedCapitalI
                : u == 0x212A                           ? kelvinSign
                                                        : std::string_view("\x80");
            out = std::copy(special.cbegin(), special.cend(), out);
        }
    }
    *out++ = '\n';
    return out;
}

// The marker texts a summary copies: a section's title and creator and a
// file's texts; its checksums only when some word could lie in one.
template<typename Visit>
void forEachMarkerText(const QList<SectionTag> &sections, const QList<FileTag> &files, bool checksums, Visit visit)
{
    for (const SectionTag &section : sections) {
        visit(section.title);
        visit(section.creator);
    }
    for (const FileTag &file : files) {
        for (const QString *text :
            { &file.filetype, &file.filename, &file.description, &file.comment, &file.compression })
            visit(*text);
        if (checksums) {
            visit(file.md5file);
            visit(file.md5cfile);
        }
    }
}

bool isLowerHex(const QByteArray &word)
{
    return std::all_of(
        word.cbegin(), word.cend(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool isSummary(const FileTag &tag)
{
    return tag.filename == QLatin1String("ws_summary.xml");
}

// Whether a summary among a container's bytes is compressed, its words
// hidden from a search of the bytes: its marker line names both. The name is
// looked for, not "[compression:flate]", which every compressed data file's
// marker holds and whose brackets are common bytes.
bool holdsCompressedSummary(QByteArrayView container)
{
    // Both found in any case, which can only keep more containers in play.
    static const FoldedMatcher summaryName("ws_summary.xml");
    static const FoldedMatcher flate("[compression:flate]");
    const std::string_view text(container.data(), size_t(container.size()));
    for (qsizetype at = summaryName.indexIn(container); at >= 0; at = summaryName.indexIn(container, at + 1)) {
        const size_t lineFeed = text.rfind('\n', size_t(at));
        const size_t lineStart = lineFeed == std::string_view::npos ? 0 : lineFeed + 1;
        const size_t lineEnd = std::min(text.find('\n', size_t(at)), text.size());
        if (flate.indexIn(container.sliced(qsizetype(lineStart), qsizetype(lineEnd - lineStart))) >= 0)
            return true;
    }
    return false;
}

} // namespace

QByteArray WordPrefilter::decidableWord(const QString &word)
{
    QByteArray lower;
    lower.reserve(word.size());
    bool madeUpAlike = true;
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        // Backslash and "]" change under marker escapes, "," and line
        // breaks join texts; outside printable ASCII case mapping differs.
        if (u < 0x20 || u > 0x7E || u == '\\' || u == ']' || u == ',')
            return QByteArray();
        const char l = FoldedMatcher::lowerAscii(char(u));
        madeUpAlike = madeUpAlike && madeUpCharacters.find(l) != std::string_view::npos;
        lower.append(l);
    }
    if (lower.isEmpty() || madeUpAlike)
        return QByteArray();
    for (const char *text : madeUpTexts) {
        if (std::string_view(text).find(std::string_view(lower.constData(), size_t(lower.size())))
            != std::string_view::npos)
            return QByteArray();
    }
    return lower;
}

WordPrefilter::WordPrefilter(const ConjunctiveNormalForm &cnf)
{
    for (const CNFDisjunction &disjunction : cnf) {
        QList<FoldedMatcher> words;
        for (const CNFLiteral &literal : disjunction) {
            const bool textTest = literal.isPredicate() && !literal.isNegated()
                && literal.op() == QLatin1String("%contains") && literal.left().isVariable()
                && literal.right().isString();
            const QByteArray word = textTest ? decidableWord(literal.right().string()) : QByteArray();
            if (word.isEmpty()) {
                words.clear();
                break;
            }
            words.append(FoldedMatcher(word));
            m_hexWords = m_hexWords || isLowerHex(word);
        }
        if (!words.isEmpty())
            m_disjunctions.append(words);
    }
}

bool WordPrefilter::mayMatch(TraxoParser &parser) const
{
    if (m_disjunctions.isEmpty())
        return true;

    // Every text the summaries can be made of: marker fields (of all files,
    // also those outside sections) and every summary file's content.
    const QList<SectionTag> sections = parser.getSections();
    const QList<FileTag> files = parser.getFiles();
    QList<QSharedPointer<QByteArray>> summaries;
    qsizetype size = 0;
    forEachMarkerText(sections, files, m_hexWords, [&size](const QString &text) { size += 3 * text.size() + 1; });
    for (const FileTag &file : files) {
        if (isSummary(file)) {
            QSharedPointer<QByteArray> content = parser.getFileContent(file.id);
            if (content) {
                size += content->size() + 1;
                summaries.append(std::move(content));
            }
        }
    }

    QByteArray haystack(size, Qt::Uninitialized);
    char *out = haystack.data();
    forEachMarkerText(sections, files, m_hexWords, [&out](const QString &text) { out = appendText(out, text); });
    for (const QSharedPointer<QByteArray> &content : std::as_const(summaries))
        out = appendText(out, QByteArrayView(*content));
    haystack.truncate(out - haystack.constData());
    return holdsEveryDisjunction(haystack);
}

bool WordPrefilter::mayMatch(QByteArrayView container) const
{
    // The words first: a container holding them needs no search for
    // compressed summaries.
    return m_disjunctions.isEmpty() || holdsEveryDisjunction(container) || holdsCompressedSummary(container);
}

bool WordPrefilter::holdsEveryDisjunction(QByteArrayView haystack) const
{
    const std::string_view text(haystack.data(), size_t(haystack.size()));
    // The two characters are looked for only when a word with their letter
    // is missing, and then once: most haystacks lack both, and each search
    // reads all of it.
    enum Presence : signed char { Unknown, Absent, Present };
    Presence dottedI = Unknown;
    Presence kelvin = Unknown;
    const auto present = [&text](Presence &known, std::string_view character) {
        if (known == Unknown)
            known = text.find(character) != std::string_view::npos ? Present : Absent;
        return known == Present;
    };
    const auto holds = [&](const FoldedMatcher &matcher) {
        if (matcher.indexIn(haystack) >= 0)
            return true;
        const QByteArray &word = matcher.word();
        return (word.contains('i') && present(dottedI, dottedCapitalI))
            || (word.contains('k') && present(kelvin, kelvinSign));
    };
    for (const QList<FoldedMatcher> &words : m_disjunctions) {
        if (std::none_of(words.cbegin(), words.cend(), holds))
            return false;
    }
    return true;
}

} // namespace traxo
