#ifndef TRAXO_QUERYHIGHLIGHTER_H
#define TRAXO_QUERYHIGHLIGHTER_H

#include "query/queryerror.h"

#include <QColor>
#include <QList>
#include <QSyntaxHighlighter>

// Index of the first error (warning) in errors, or -1.
int findError(const QList<traxo::QueryError> &errors);
int findWarning(const QList<traxo::QueryError> &errors);

// Checks the query on every change with the full parser and type check and
// underlines the first error in red or, without errors, the first warning in
// blue, the message as the characters' tool tip. It reports what it marked,
// so the owner can tell whether the query may run. Nothing is cached: each
// run parses the whole text again.
class QueryHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    explicit QueryHighlighter(QTextDocument *document);

    static QColor errorColor() { return QColor(255, 0, 0); }
    static QColor warningColor() { return QColor(50, 60, 230); }

signals:
    // An empty message with isError false: the query is clean.
    void errorOccurred(const QString &message, bool isError);

protected:
    void highlightBlock(const QString &text) override;

private:
    void hightlightText(const QString &text, const QString &message, int position, int length, const QColor &color);
};

#endif
