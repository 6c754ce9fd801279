#include "searchhighlighter.h"

#include "framelog.h"

#include <QTextCharFormat>
#include <QTextDocument>

SearchHighlighter::SearchHighlighter(QObject *parent)
    : QSyntaxHighlighter(parent)
{
    // Qt attaches a highlighter to its parent only when that is a text edit.
    if (auto *document = qobject_cast<QTextDocument *>(parent))
        setDocument(document);
}

void SearchHighlighter::setFindString(const QString &findString)
{
    m_findString = findString;
    rehighlight();
}

void SearchHighlighter::setCaseSensitive(bool caseSensitive)
{
    m_caseSensitive = caseSensitive;
    rehighlight();
}

void SearchHighlighter::highlightBlock(const QString &text)
{
    if (m_findString.isEmpty())
        return;
    QTextCharFormat format;
    format.setForeground(Qt::white);
    format.setBackground(Qt::darkMagenta);
    const Qt::CaseSensitivity cs = m_caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qCDebug(lcFrame) << "highlight block" << text;
    for (qsizetype at = text.indexOf(m_findString, 0, cs); at >= 0;
         at = text.indexOf(m_findString, at + m_findString.size(), cs)) {
        qCDebug(lcFrame) << "match at" << at;
        setFormat(int(at), int(m_findString.size()), format);
    }
}
