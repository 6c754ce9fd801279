#include "queryeditor.h"

#include "queryhighlighter.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextFrameFormat>

QueryTextField::QueryTextField(QWidget *parent)
    : QTextEdit(parent)
{
    setFixedHeight(lineHeight());
    setMaximumHeight(lineHeight());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::NoWrap);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    applyFrameMargins();

    m_highlighter = new QueryHighlighter(document());
    connect(m_highlighter, &QueryHighlighter::errorOccurred, this, &QueryTextField::handleError);
    connect(m_highlighter, &QueryHighlighter::errorOccurred, this, &QueryTextField::errorOccured);
    connect(this, &QTextEdit::textChanged, this, &QueryTextField::fixChangedText);
}

QSize QueryTextField::sizeHint() const
{
    return QSize(QTextEdit::sizeHint().width(), lineHeight());
}

int QueryTextField::lineHeight() const
{
    return fontMetrics().height() + 2 * frameWidth();
}

void QueryTextField::applyFrameMargins()
{
    // The default document margin would push the single line out of a field
    // exactly one line high.
    QTextFrame *root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setTopMargin(0);
    format.setBottomMargin(0);
    format.setLeftMargin(3);
    format.setRightMargin(0);
    root->setFrameFormat(format);
}

void QueryTextField::fixChangedText()
{
    const QString text = toPlainText();
    QString fixed = text;
    fixed.replace(QLatin1String("\r\n"), QLatin1String(" "));
    fixed.replace(QLatin1Char('\n'), QLatin1Char(' '));
    fixed.replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (fixed == text)
        return;
    // Keep the cursor where it was: each "\r\n" before it became one blank.
    const int position = textCursor().position();
    const int newPosition = position - int(text.left(position).count(QLatin1String("\r\n")));
    clear();
    setPlainText(fixed);
    applyFrameMargins();
    QTextCursor cursor = textCursor();
    cursor.setPosition(qBound(0, newPosition, int(fixed.size())));
    setTextCursor(cursor);
}

void QueryTextField::handleError(const QString &message, bool isError)
{
    Q_UNUSED(isError);
    setToolTip(message);
}

void QueryTextField::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        emit enterPressed();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

QueryEditor::QueryEditor(QWidget *parent)
    : QWidget(parent)
    , m_textField(new QueryTextField(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_textField);
    setFixedHeight(m_textField->sizeHint().height());
    setFocusProxy(m_textField);

    connect(m_textField, &QueryTextField::enterPressed, this, &QueryEditor::enterPressed);
    connect(m_textField, &QueryTextField::errorOccured, this, &QueryEditor::errorOccured);
}

void QueryEditor::setQuery(const QString &query)
{
    m_textField->setPlainText(query);
}

QString QueryEditor::query() const
{
    return m_textField->document()->toPlainText();
}

void QueryEditor::recheck()
{
    m_textField->highlighter()->rehighlight();
}
