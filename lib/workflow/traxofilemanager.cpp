#include "workflow/traxofilemanager.h"

#include "container/traxoparser.h"
#include "workflow/temptraxofile.h"

namespace traxo {

TraxoFileManager::TraxoFileManager(QObject *sink)
    : LogSource(sink)
{
}

TraxoFileManager::~TraxoFileManager() = default;

QSharedPointer<TraxoParser> TraxoFileManager::addTraxoFile(const QString &path, bool temporary)
{
    if (path.isEmpty() || m_files.contains(path))
        return {};

    Record record;
    if (temporary)
        record.tempFile = QSharedPointer<TempTraxofile>::create(path);
    record.parser = QSharedPointer<TraxoParser>::create(ParseTolerant);
    record.parser->publishToLogSignal(this);
    if (!record.parser->open(path)) {
        emitLog(QStringLiteral("*** ERROR: could not open container \"%1\"\n").arg(path), LogError);
        return {};
    }
    m_files.insert(path, record);
    return record.parser;
}

QSharedPointer<TraxoParser> TraxoFileManager::addTraxoFile(
    const QSharedPointer<TraxoParser> &parser, const QString &path)
{
    if (!parser || m_files.contains(path))
        return {};
    Record record;
    record.parser = parser;
    m_files.insert(path, record);
    return parser;
}

QSharedPointer<TraxoParser> TraxoFileManager::parser(const QString &path) const
{
    return m_files.value(path).parser;
}

void TraxoFileManager::clear()
{
    m_files.clear();
}

} // namespace traxo
