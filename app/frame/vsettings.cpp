#include "vsettings.h"

#include <QProcess>

namespace {

QString askHostname()
{
    QProcess process;
    process.start(QStringLiteral("hostname"), QStringList());
    if (!process.waitForFinished(30000))
        return QStringLiteral("unknown");
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString &cachedComputerName()
{
    static QString name;
    return name;
}

} // namespace

QString getComputerName()
{
    QString &name = cachedComputerName();
    if (name.isEmpty())
        name = askHostname();
    return name;
}

QString VSettings::getOrganization()
{
    return QStringLiteral("Pelmix");
}

QString VSettings::getApplication()
{
    return QStringLiteral("traxo.") + getComputerName();
}

void VSettings::overrideComputerName(const QString &name)
{
    cachedComputerName() = name;
}
