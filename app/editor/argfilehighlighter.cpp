#include "argfilehighlighter.h"

#include "argfile/argfileparser.h"

#include <QFont>
#include <QTextCharFormat>

ArgFileHighlighter::ArgFileHighlighter(QObject *parent)
    : QSyntaxHighlighter(parent)
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

void ArgFileHighlighter::highlightBlock(const QString &text)
{
    // Counts the words since the last option: only the first one is italic.
    int argumentsSinceOption = 0;
    const QList<traxo::ArgfileToken> tokens = traxo::ArgfileParser().getHighlighterList(text);
    for (const traxo::ArgfileToken &token : tokens) {
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
