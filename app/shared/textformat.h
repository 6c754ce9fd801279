#ifndef TRAXO_TEXTFORMAT_H
#define TRAXO_TEXTFORMAT_H

#include <QDateTime>
#include <QString>

// Makes text safe inside HTML: & < > and the double quote become entities,
// line feeds become <br />. The ampersand goes first so no entity is escaped
// twice.
QString escapeHtml(const QString &text);
// The escaped text in the colours and weight used for warnings and errors.
QString makeOrange(const QString &text);
QString makeRed(const QString &text);
QString makeBold(const QString &text);

// "Jan".."Dec" for 1..12, else "???".
QString getMonthStr(int month);
// "Son" for 0 and 7, "Mon".."Sat" for 1..6, else "???".
QString getDayStr(int day);
// "Jun 21 2013, 14:05:09" with the comma, "Jun 21 2013 14:05:09" without;
// month names come from the table, independent of the user's locale.
QString getDateTimeAsString(const QDateTime &dateTime, bool withComma);
QString getCurrentDateTimeAsString();

#endif
