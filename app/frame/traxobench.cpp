#include "traxobench.h"

#include <QApplication>
#include <QFileOpenEvent>
#include <QIcon>

const QString TRAXOBENCH_ORGANIZATION = QStringLiteral("Pelmix");
const QString TRAXOBENCH_DOMAIN = QStringLiteral("pelmix.example.org");
const QString TRAXOBENCH_NAME = QStringLiteral("TRAXObench");
const QString TRAXOBENCH_VERSION = QStringLiteral("1.83.0.2990");
const QString TRAXOBENCH_DATE = QStringLiteral("Jun 21 2013");
const QString TRAXOBENCH_NAME_VERSION = TRAXOBENCH_NAME + QLatin1Char(' ') + TRAXOBENCH_VERSION;
const QString TRAXOBENCH_FULLNAME = TRAXOBENCH_NAME_VERSION + QStringLiteral(", ") + TRAXOBENCH_DATE;

const QString TRAXOBENCH_MAKER = QStringLiteral("Pelmix Research Software Group");
const QString TRAXOBENCH_MAKER_CITY = QStringLiteral("Exampleton");
const QString TRAXOBENCH_WEBPAGE = QStringLiteral("https://www.example.org/traxobench/");
const QString TRAXOBENCH_EMAIL = QStringLiteral("traxobench@example.org");
const QString TRAXOBENCH_YEARS = QStringLiteral("2009-2013");

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
