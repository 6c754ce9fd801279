#ifndef TRAXO_ARGFILEHIGHLIGHTER_H
#define TRAXO_ARGFILEHIGHLIGHTER_H

#include <QColor>
#include <QList>
#include <QStringList>
#include <QSyntaxHighlighter>

namespace traxo {
class ArgfileToken;
}

// Colours arg-file text line by line: options by their group, the first
// argument after an option in italics, comments in green. A line the tokenizer
// cannot cut into words (an unterminated quote) stays uncoloured.
class ArgFileHighlighter : public QSyntaxHighlighter
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

    void highlightString(int start, int length, const QColor &colour, ArgTokenStyle style);
    void handleArgument(const traxo::ArgfileToken &token, const QList<QStringList> &groups,
        const QList<QColor> &colours, const QColor &defaultColour);
    void handleComment(const traxo::ArgfileToken &token, const QColor &colour);
    void handleRest(const traxo::ArgfileToken &token, const QColor &colour, ArgTokenStyle style);

private:
    QList<QStringList> m_optionGroups;
    QList<QColor> m_groupColours;
};

#endif
