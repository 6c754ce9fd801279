#include "pathlist.h"

#include <QFile>

#include <cstdio>

bool PathList::read(const QString &source, bool nulSeparated, QStringList *paths, QString *error)
{
    QFile file;
    const bool fromStdin = source == QLatin1String("-");
    const bool opened = fromStdin ? file.open(stdin, QIODevice::ReadOnly)
                                  : (file.setFileName(source), file.open(QIODevice::ReadOnly));
    if (!opened) {
        *error = QStringLiteral("cannot read the list of files \"%1\": %2").arg(source, file.errorString());
        return false;
    }
    *paths += split(file.readAll(), nulSeparated);
    return true;
}

QStringList PathList::split(const QByteArray &bytes, bool nulSeparated)
{
    QStringList paths;
    const char separator = nulSeparated ? '\0' : '\n';
    for (const QByteArray &entry : bytes.split(separator)) {
        if (!entry.isEmpty())
            paths.append(QFile::decodeName(entry));
    }
    return paths;
}
