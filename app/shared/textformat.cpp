#include "shared/textformat.h"

namespace {

const char *const monthNames[13]
    = { "???", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
// Sunday twice, so both 0-based and 1-to-7 day numbers work.
const char *const dayNames[8] = { "Son", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Son" };

} // namespace

QString escapeHtml(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    result.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    result.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    result.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    result.replace(QLatin1Char('\n'), QStringLiteral("<br />"));
    return result;
}

QString makeOrange(const QString &text)
{
    return QStringLiteral("<font color=\"#FEBF1C\">%1</font>").arg(escapeHtml(text));
}

QString makeRed(const QString &text)
{
    return QStringLiteral("<font color=\"#EB0014\">%1</font>").arg(escapeHtml(text));
}

QString makeBold(const QString &text)
{
    return QStringLiteral("<b>%1</b>").arg(escapeHtml(text));
}

QString getMonthStr(int month)
{
    if (month < 1 || month > 12)
        return QString::fromLatin1(monthNames[0]);
    return QString::fromLatin1(monthNames[month]);
}

QString getDayStr(int day)
{
    if (day < 0 || day > 7)
        return QStringLiteral("???");
    return QString::fromLatin1(dayNames[day]);
}

QString getDateTimeAsString(const QDateTime &dateTime, bool withComma)
{
    const QString format = withComma ? QStringLiteral("dd yyyy, hh:mm:ss") : QStringLiteral("dd yyyy hh:mm:ss");
    return QStringLiteral("%1 %2").arg(getMonthStr(dateTime.date().month()), dateTime.toString(format));
}

QString getCurrentDateTimeAsString()
{
    return getDateTimeAsString(QDateTime::currentDateTime(), false);
}
