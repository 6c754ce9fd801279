#include "container/extractionpaths.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {

const QString UnnamedFile = QStringLiteral("unnamed");

// Control characters (NUL above all) have no business in a file name.
QString withoutControlCharacters(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            clean.append(c);
    }
    return clean;
}

bool onlyDots(const QString &text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char('.'))
            return false;
    }
    return true;
}

// One safe path component, or empty when nothing is left of it.
QString safeComponent(const QString &component)
{
    QString clean = withoutControlCharacters(component);
    clean.replace(QLatin1Char(':'), QLatin1Char('_'));
    if (clean.isEmpty())
        return QString();
    if (onlyDots(clean))
        clean.prepend(QLatin1Char('_'));
    return clean;
}

QStringList components(const QString &path)
{
    static const QRegularExpression separators(QStringLiteral("[\\\\/]+"));
    return path.split(separators, Qt::SkipEmptyParts);
}

} // namespace

namespace traxo {

QString safeFileName(const QString &name)
{
    const QStringList parts = components(name);
    for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
        const QString component = safeComponent(*it);
        if (!component.isEmpty())
            return component;
    }
    return UnnamedFile;
}

QString safeRelativeDirectory(const QString &path)
{
    QStringList safe;
    for (const QString &part : components(path)) {
        if (part == QLatin1String("."))
            continue;
        const QString component = safeComponent(part);
        if (!component.isEmpty())
            safe.append(component);
    }
    return safe.join(QLatin1Char('/'));
}

bool staysInside(const QString &root, const QString &relativeDirectory)
{
    QString current = root;
    for (const QString &component : components(relativeDirectory)) {
        if (component == QLatin1String("..") || component == QLatin1String("."))
            return false;
        current += QLatin1Char('/') + component;
        const QFileInfo info(current);
        if (info.isSymLink())
            return false;
        if (!info.exists())
            return true;
    }
    return true;
}

} // namespace traxo
