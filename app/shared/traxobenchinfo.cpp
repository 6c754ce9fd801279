#include "shared/traxobenchinfo.h"

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
