#include "traxobench.h"

#include <QApplication>
#include <QFileOpenEvent>
#include <QIcon>

void setOrganizationInfo()
{
    QCoreApplication::setApplicationName(TRAXOBENCH_FULLNAME);
    QCoreApplication::setApplicationVersion(TRAXOBENCH_VERSION);
    QCoreApplication::setOrganizationName(TRAXOBENCH_ORGANIZATION);
    QCoreApplication::setOrganizationDomain(TRAXOBENCH_DOMAIN);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/resources/traxobench1-64.png")));
}

void handleCommandlineArguments(QApplication &app)
{
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i)
        QCoreApplication::postEvent(&app, new QFileOpenEvent(arguments.at(i)));
}
