#include "workflow/temptraxofile.h"

#include "workflow/workflowlogging.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace traxo {

TempTraxofile::TempTraxofile(const QString &path)
    : m_path(path)
{
}

TempTraxofile::~TempTraxofile()
{
    if (!m_path.isEmpty() && QFile::exists(m_path) && !QFile::remove(m_path))
        qCDebug(lcWorkflow) << "could not remove temporary container" << m_path;
}

QString TempTraxofile::createUniqueFile()
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/traxo-embedded-XXXXXX.traxo"));
    if (!file.open())
        return QString();
    // The name must outlive this object: its owner removes the file.
    file.setAutoRemove(false);
    return file.fileName();
}

} // namespace traxo
