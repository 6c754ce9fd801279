#include "vwaitcursor.h"

#include <QApplication>
#include <QCursor>

VWaitCursor::VWaitCursor()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

VWaitCursor::~VWaitCursor()
{
    QApplication::restoreOverrideCursor();
}
