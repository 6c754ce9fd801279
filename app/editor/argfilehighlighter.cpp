#include "argfilehighlighter.h"

#include "argfile/argfileparser.h"

#include <QFont>
#include <QTextBlock>
#include <QTextCharFormat>

ArgFileHighlighter::ArgFileHighlighter(QObject *parent)
    : SearchHighlighter(parent)
    , m_optionGroups({
          { "--append-to-traxofile", "-A", "-O", "-J", "-I" },
          { "--infile", "-i", "--outfile", "-o" },
          { "--file-flag", "-f", "--file-attr", "-a" },
          { "--file-user-with-unit", "-w", "--file-user", "-u" },
          { "--step", "-s", "--doc", "-d" },
          { "--step-user-with-unit", "-W", "--step-user", "-U" },
      })
    , m_groupColours({
          QColor(255, 90, 90),
          QColor(21, 9, 181),
          QColor(85, 177, 230),
          QColor(165, 222, 255),
          QColor(189, 132, 21),
          QColor(220, 173, 81),
      })
{
}

namespace {

// The position of the quote that ends a quoted word, or -1; inside double
// quotes a backslash escapes the next character.
int closingQuote(const QString &text, int from, QChar quote)
{
    for (int i = from; i < text.size(); ++i) {
        if (quote == QLatin1Char('"') && text.at(i) == QLatin1Char('\\'))
            ++i;
        else if (text.at(i) == quote)
            return i;
    }
    return -1;
}

traxo::ArgfileToken shifted(const traxo::ArgfileToken &token, int offset)
{
    if (token.isSeparator())
        return traxo::ArgfileToken(traxo::ArgfileToken::Separator, token.position() + offset, token.originalText());
    return traxo::ArgfileToken(token.str(), token.position() + offset, token.originalText());
}

} // namespace

void ArgFileHighlighter::highlightBlock(const QString &text)
{
    highlightSyntax(text);
    SearchHighlighter::highlightBlock(text);
}

void ArgFileHighlighter::highlightSyntax(const QString &text)
{
    setCurrentBlockState(OutsideQuotes);
    // Counts the words since the last option: only the first one is italic.
    int argumentsSinceOption = 0;
    int offset = 0;

    const int previous = qMax(previousBlockState(), 0);
    if (previous & QuoteMask) {
        const QChar quote = (previous & QuoteMask) == InDoubleQuotes ? QLatin1Char('"') : QLatin1Char('\'');
        const ArgTokenStyle style = (previous & ItalicWord) ? Italic : Plain;
        const int end = closingQuote(text, 0, quote);
        if (end < 0) {
            highlightString(0, int(text.size()), argumentColour(), style);
            setCurrentBlockState(previous);
            return;
        }
        highlightString(0, end + 1, argumentColour(), style);
        offset = end + 1;
        argumentsSinceOption = 1;
    }

    const QString rest = text.mid(offset);
    QList<traxo::ArgfileToken> tokens = traxo::ArgfileParser::getHighlighterList(rest);
    // A line that cannot be cut may open a quoted word that ends further down:
    // closing it here tells where it starts.
    int openQuote = -1;
    if (tokens.isEmpty() && !rest.trimmed().isEmpty()) {
        for (const QChar quote : { QLatin1Char('"'), QLatin1Char('\'') }) {
            tokens = traxo::ArgfileParser::getHighlighterList(rest + quote);
            if (!tokens.isEmpty() && tokens.constLast().originalText().startsWith(quote) && closesOnLaterLine(quote)) {
                openQuote = tokens.takeLast().position();
                setCurrentBlockState(quote == QLatin1Char('"') ? InDoubleQuotes : InSingleQuotes);
                break;
            }
            tokens.clear();
        }
    }

    for (const traxo::ArgfileToken &unshifted : std::as_const(tokens)) {
        const traxo::ArgfileToken token = shifted(unshifted, offset);
        if (token.originalText().startsWith(QLatin1Char('#'))) {
            handleComment(token, commentColour());
        } else if (token.str().startsWith(QLatin1Char('-'))) {
            argumentsSinceOption = 0;
            handleArgument(token, m_optionGroups, m_groupColours, unknownOptionColour());
        } else if (!token.str().trimmed().isEmpty()) {
            handleRest(token, argumentColour(), argumentsSinceOption == 0 ? Italic : Plain);
            ++argumentsSinceOption;
        }
    }

    if (openQuote >= 0) {
        const bool italic = argumentsSinceOption == 0;
        highlightString(offset + openQuote, int(rest.size()) - openQuote, argumentColour(), italic ? Italic : Plain);
        if (italic)
            setCurrentBlockState(currentBlockState() | ItalicWord);
    }
}

// Both panes that use this highlighter get their whole text at once, so a look
// ahead is safe; a later edit that closes the quote does not recolour this line.
bool ArgFileHighlighter::closesOnLaterLine(QChar quote) const
{
    for (QTextBlock block = currentBlock().next(); block.isValid(); block = block.next()) {
        if (closingQuote(block.text(), 0, quote) >= 0)
            return true;
    }
    return false;
}

void ArgFileHighlighter::highlightString(int start, int length, const QColor &colour, ArgTokenStyle style)
{
    QTextCharFormat format;
    format.setForeground(colour);
    switch (style) {
    case Plain:
        format.setFontWeight(QFont::Normal);
        break;
    case SemiBold:
        format.setFontWeight(QFont::DemiBold);
        break;
    case Italic:
        format.setFontItalic(true);
        break;
    }
    setFormat(start, length, format);
}

void ArgFileHighlighter::handleArgument(const traxo::ArgfileToken &token, const QList<QStringList> &groups,
    const QList<QColor> &colours, const QColor &defaultColour)
{
    QColor colour = defaultColour;
    for (int i = 0; i < groups.size() && i < colours.size(); ++i) {
        if (groups.at(i).contains(token.str())) {
            colour = colours.at(i);
            break;
        }
    }
    highlightString(token.position(), token.originalLength(), colour, SemiBold);
}

void ArgFileHighlighter::handleComment(const traxo::ArgfileToken &token, const QColor &colour)
{
    highlightString(token.position(), token.originalLength(), colour, Plain);
}

void ArgFileHighlighter::handleRest(const traxo::ArgfileToken &token, const QColor &colour, ArgTokenStyle style)
{
    highlightString(token.position(), token.originalLength(), colour, style);
}
