#include "utilities.h"

#include <QWidget>

void toolTip2WhatsThis(QWidget *widget)
{
    if (widget)
        widget->setWhatsThis(widget->toolTip());
}
