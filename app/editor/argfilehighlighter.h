#ifndef TRAXO_ARGFILEHIGHLIGHTER_H
#define TRAXO_ARGFILEHIGHLIGHTER_H

#include "frame/searchhighlighter.h"

#include <QColor>
#include <QList>
#include <QStringList>

namespace traxo {
class ArgfileToken;
}

// Colours arg-file text line by line: options by their group, the first
// argument after an option in italics, comments in green. A quoted word that
// spans lines is carried from line to line in the block state; a line with a
// quote that never ends stays uncoloured. Search matches are painted on top.
class ArgFileHighlighter : public SearchHighlighter
{
    Q_OBJECT

public:
    enum ArgTokenStyle { Plain = 0, SemiBold = 1, Italic = 2 };

    explicit ArgFileHighlighter(QObject *parent = nullptr);

    static QColor commentColour() { return QColor(108, 156, 87); }
    static QColor argumentColour() { return QColor(0, 0, 0); }
    static QColor unknownOptionColour() { return QColor(0, 0, 0); }

protected:
    void highlightBlock(const QString &text) override;
    void highlightSyntax(const QString &text);

    void highlightString(int start, int length, const QColor &colour, ArgTokenStyle style);
    void handleArgument(const traxo::ArgfileToken &token, const QList<QStringList> &groups,
        const QList<QColor> &colours, const QColor &defaultColour);
    void handleComment(const traxo::ArgfileToken &token, const QColor &colour);
    void handleRest(const traxo::ArgfileToken &token, const QColor &colour, ArgTokenStyle style);

private:
    // Block states: outside quotes, or inside a quoted word begun on an
    // earlier line, with the style that word was given there.
    enum BlockState { OutsideQuotes = 0, InDoubleQuotes = 1, InSingleQuotes = 2, QuoteMask = 3, ItalicWord = 4 };

    bool closesOnLaterLine(QChar quote) const;

    QList<QStringList> m_optionGroups;
    QList<QColor> m_groupColours;
};

#endif
