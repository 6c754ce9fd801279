#ifndef TRAXO_TESTCOMMON_H
#define TRAXO_TESTCOMMON_H

#include <QByteArray>
#include <QString>

// Small file helpers shared by the tests; they return an empty value or false
// on failure and leave the verdict to the calling test.
namespace testcommon {

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &data);

} // namespace testcommon

#endif
