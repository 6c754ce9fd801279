#include "argfile/libraryinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace traxo {

QString getVersion()
{
    return QStringLiteral("traxolib 1.83.0.2990 of ") + getReleaseData();
}

QString getReleaseData()
{
    return QStringLiteral("Jun 21 2013");
}

QString getBinaryDir()
{
    return QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
}

QString getApplicationDir()
{
    const QString binaryDir = getBinaryDir();
    if (binaryDir.endsWith(QLatin1String("/Contents/MacOS")))
        return QDir(binaryDir + QLatin1String("/../../..")).absolutePath();
    return binaryDir;
}

} // namespace traxo
