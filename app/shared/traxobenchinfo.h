#ifndef TRAXO_TRAXOBENCHINFO_H
#define TRAXO_TRAXOBENCHINFO_H

#include <QString>

// Identity of the application: shown in about boxes and welcome pages and
// used as the settings' organisation.
extern const QString TRAXOBENCH_ORGANIZATION;
extern const QString TRAXOBENCH_DOMAIN;
extern const QString TRAXOBENCH_NAME;
extern const QString TRAXOBENCH_VERSION;
extern const QString TRAXOBENCH_DATE;
extern const QString TRAXOBENCH_NAME_VERSION;
extern const QString TRAXOBENCH_FULLNAME;

// The maker's block of about boxes and welcome pages. The addresses lie in
// the reserved domain example.org so they never point at a real third party.
extern const QString TRAXOBENCH_MAKER;
extern const QString TRAXOBENCH_MAKER_CITY;
extern const QString TRAXOBENCH_WEBPAGE;
extern const QString TRAXOBENCH_EMAIL;
extern const QString TRAXOBENCH_YEARS;

#endif
