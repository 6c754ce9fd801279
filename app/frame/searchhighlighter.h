#ifndef TRAXO_SEARCHHIGHLIGHTER_H
#define TRAXO_SEARCHHIGHLIGHTER_H

#include <QSyntaxHighlighter>

// Paints every occurrence of the search text in a document, white on dark
// magenta; an empty search text paints nothing. A highlighter that colours
// more (syntax) derives from it and paints the matches last, since two
// highlighters on one document erase each other's formats.
class SearchHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    explicit SearchHighlighter(QObject *parent = nullptr);

    QString findString() const { return m_findString; }
    bool caseSensitive() const { return m_caseSensitive; }

public slots:
    void setFindString(const QString &findString);
    void setCaseSensitive(bool caseSensitive);

protected:
    void highlightBlock(const QString &text) override;

private:
    QString m_findString;
    bool m_caseSensitive = false;
};

#endif
