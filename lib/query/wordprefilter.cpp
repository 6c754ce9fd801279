#include "query/wordprefilter.h"

#include "container/traxoparser.h"

#include <QSharedPointer>

#include <algorithm>
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

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

void appendLowered(QByteArray &haystack, const QByteArray &bytes)
{
    const qsizetype start = haystack.size();
    haystack.resize(start + bytes.size() + 1);
    char *out = haystack.data() + start;
    for (const char c : bytes)
        *out++ = lowerAscii(c);
    *out = '\n';
}

// Marker texts are UTF-16 by now; characters outside ASCII only matter
// through the two that lower-case to ASCII, so the rest become one byte
// that no word holds.
void appendLowered(QByteArray &haystack, const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            haystack.append(lowerAscii(char(u)));
        else if (u == 0x130)
            haystack.append(dottedCapitalI.data(), qsizetype(dottedCapitalI.size()));
        else if (u == 0x212A)
            haystack.append(kelvinSign.data(), qsizetype(kelvinSign.size()));
        else
            haystack.append(char(0x80));
    }
    haystack.append('\n');
}

bool isSummary(const FileTag &tag)
{
    return tag.filename == QLatin1String("ws_summary.xml");
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
        const char l = lowerAscii(char(u));
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
        QList<QByteArray> words;
        for (const CNFLiteral &literal : disjunction) {
            const bool textTest = literal.isPredicate() && !literal.isNegated()
                && literal.op() == QLatin1String("%contains") && literal.left().isVariable()
                && literal.right().isString();
            const QByteArray word = textTest ? decidableWord(literal.right().string()) : QByteArray();
            if (word.isEmpty()) {
                words.clear();
                break;
            }
            words.append(word);
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
    QByteArray haystack;
    const QList<SectionTag> sections = parser.getSections();
    for (const SectionTag &section : sections) {
        for (const QString *text :
            { &section.version, &section.creator, &section.title, &section.md5section, &section.previousmd5 })
            appendLowered(haystack, *text);
    }
    const QList<FileTag> files = parser.getFiles();
    for (const FileTag &file : files) {
        for (const QString *text : { &file.filetype, &file.filename, &file.description, &file.comment,
                 &file.compression, &file.md5file, &file.md5cfile })
            appendLowered(haystack, *text);
        if (isSummary(file)) {
            const QSharedPointer<QByteArray> content = parser.getFileContent(file.id);
            if (content)
                appendLowered(haystack, *content);
        }
    }

    const std::string_view text(haystack.constData(), size_t(haystack.size()));
    const bool dottedI = text.find(dottedCapitalI) != std::string_view::npos;
    const bool kelvin = text.find(kelvinSign) != std::string_view::npos;
    const auto holds = [&](const QByteArray &word) {
        if ((dottedI && word.contains('i')) || (kelvin && word.contains('k')))
            return true;
        return text.find(std::string_view(word.constData(), size_t(word.size()))) != std::string_view::npos;
    };
    for (const QList<QByteArray> &words : m_disjunctions) {
        if (std::none_of(words.cbegin(), words.cend(), holds))
            return false;
    }
    return true;
}

} // namespace traxo
