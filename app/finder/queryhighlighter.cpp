#include "queryhighlighter.h"

#include "shared/traxofinder.h"

#include <QFont>
#include <QTextCharFormat>

namespace {

int findFirst(const QList<traxo::QueryError> &errors, bool wantError)
{
    for (int i = 0; i < errors.size(); ++i) {
        if (errors.at(i).isError() == wantError)
            return i;
    }
    return -1;
}

QTextCharFormat plainFormat()
{
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::NoUnderline);
    format.setUnderlineColor(Qt::black);
    format.setToolTip(QString());
    return format;
}

// The mark's colour mixed with four parts of white.
QColor markBackground(const QColor &color)
{
    return QColor((color.red() + 4 * 255) / 5, (color.green() + 4 * 255) / 5, (color.blue() + 4 * 255) / 5);
}

} // namespace

int findError(const QList<traxo::QueryError> &errors)
{
    return findFirst(errors, true);
}

int findWarning(const QList<traxo::QueryError> &errors)
{
    return findFirst(errors, false);
}

QueryHighlighter::QueryHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
{
}

void QueryHighlighter::highlightBlock(const QString &text)
{
    const QList<traxo::QueryError> errors = TraxoFinder::checkQuery(text);
    const int error = findError(errors);
    const int warning = error < 0 ? findWarning(errors) : -1;
    const int index = error >= 0 ? error : warning;
    if (index < 0) {
        setFormat(0, int(text.size()), plainFormat());
        emit errorOccurred(QString(), false);
        return;
    }
    const traxo::QueryError &found = errors.at(index);
    hightlightText(
        text, found.errorMessage(), found.position(), found.length(), error >= 0 ? errorColor() : warningColor());
    emit errorOccurred(found.errorMessage(), error >= 0);
}

void QueryHighlighter::hightlightText(
    const QString &text, const QString &message, int position, int length, const QColor &color)
{
    const int size = int(text.size());
    // A message about the end of the query (a missing operand, a quote left
    // open) would mark nothing past the last character; mark that one.
    int start = qBound(0, position, qMax(0, size - 1));
    const int len = qMin(qMax(length, 1), qMax(size - start, 0));

    // A wave line alone is easy to miss under one character; the tinted
    // background makes the place stand out.
    QTextCharFormat marked;
    marked.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    marked.setUnderlineColor(color);
    marked.setBackground(markBackground(color));
    marked.setFontWeight(QFont::Bold);
    marked.setToolTip(message);

    const QTextCharFormat plain = plainFormat();
    setFormat(0, start, plain);
    setFormat(start, len, marked);
    setFormat(start + len, size - start - len, plain);
}
