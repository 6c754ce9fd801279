#include "shared/filenamemask.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <cmath>

// The viewer's category: masks are chosen in its extraction dialog.
Q_LOGGING_CATEGORY(lcFileNameMask, "traxo.viewer", QtWarningMsg)

namespace {

const int MaxPadding = 255;

// Alternatives never overlap at one position, so the first that matches is
// the only one that can.
const QRegularExpression &maskTokenExpression()
{
    static const QRegularExpression expression(QStringLiteral("(%d)|(%f)|(%\\*f)|(%%)|(%\\*d)|(%[0-9]+d)|([^%]+)"));
    return expression;
}

QString padded(int number, int digits)
{
    return QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0'));
}

} // namespace

QString FileNameMask::replacePlaceholders(const QString &mask, const QString &filename, int fileNumber, int numDigits)
{
    QString result;
    qsizetype position = 0;
    while (position < mask.size()) {
        const QRegularExpressionMatch match = maskTokenExpression().match(
            mask, position, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch() || match.capturedLength() == 0)
            return QString();
        const QString token = match.captured();
        position = match.capturedEnd();

        if (token == QLatin1String("%f")) {
            result += filename;
        } else if (token == QLatin1String("%*f")) {
            result += QString(filename).replace(QLatin1Char(' '), QLatin1Char('_'));
        } else if (token == QLatin1String("%d")) {
            result += QString::number(fileNumber);
        } else if (token == QLatin1String("%*d")) {
            result += padded(fileNumber, numDigits);
        } else if (token == QLatin1String("%%")) {
            result += QLatin1Char('%');
        } else if (token.startsWith(QLatin1Char('%'))) {
            // A width beyond any file-name length would only exhaust memory.
            const int digits = qBound(0, token.mid(1, token.size() - 2).toInt(), MaxPadding);
            qCDebug(lcFileNameMask) << "digits" << digits;
            result += padded(fileNumber, digits);
        } else {
            result += token;
        }
    }
    qCDebug(lcFileNameMask) << "filename" << result;
    return result;
}

QString FileNameMask::adjust(const QString &mask, const QString &filename, int numFiles, int fileNumber)
{
    if (mask.isEmpty())
        return filename;
    const int numDigits = int(std::ceil(std::log10(float(numFiles + 1))));
    return replacePlaceholders(mask, filename, fileNumber, numDigits);
}

bool FileNameMask::isValid(const QString &mask)
{
    return !replacePlaceholders(mask, QStringLiteral("fakename"), 1, 0).isEmpty();
}
