#include "findedit.h"

#include <QKeyEvent>

FindEdit::FindEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void FindEdit::keyPressEvent(QKeyEvent *event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        event->accept();
        return;
    }
    if (isReturn && (event->modifiers() & Qt::ShiftModifier)) {
        emit shiftReturnPressed();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
