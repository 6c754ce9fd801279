#include "elidedlabel.h"

#include <QFontMetrics>
#include <QResizeEvent>

ElidedLabel::ElidedLabel(QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{
}

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{
    setText(text);
}

void ElidedLabel::setText(const QString &text)
{
    m_fullText = text;
    const QString shown = QFontMetrics(font()).elidedText(text, Qt::ElideMiddle, width());
    QLabel::setText(shown);
    setToolTip(shown != text ? text : QString());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    setText(m_fullText);
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return QSize(metrics.horizontalAdvance(m_fullText) + margins.left() + margins.right() + 2 * margin(),
        QLabel::sizeHint().height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}
