#ifndef TRAXO_TRAXOFILEMANAGER_H
#define TRAXO_TRAXOFILEMANAGER_H

#include "logging/logsource.h"

#include <QHash>
#include <QSharedPointer>
#include <QString>

namespace traxo {

class TempTraxofile;
class TraxoParser;

// The containers a workflow tree has opened, by path. Temporary copies of
// embedded containers belong to the manager and are removed when it is
// cleared or destroyed.
class TraxoFileManager : public LogSource
{
    Q_OBJECT

public:
    explicit TraxoFileManager(QObject *sink = nullptr);
    ~TraxoFileManager() override;

    // Opens path in tolerant mode and registers it. Null when the path is
    // already registered or cannot be opened; a temporary file that cannot be
    // opened is removed at once, since no one else will.
    QSharedPointer<TraxoParser> addTraxoFile(const QString &path, bool temporary);
    // Registers an opened parser under path; null when path is taken.
    QSharedPointer<TraxoParser> addTraxoFile(const QSharedPointer<TraxoParser> &parser, const QString &path);

    QSharedPointer<TraxoParser> parser(const QString &path) const;
    bool contains(const QString &path) const { return m_files.contains(path); }
    int count() const { return int(m_files.size()); }
    void clear();

private:
    struct Record
    {
        // Declared first so that it goes last: the parser closes the file
        // before the file is removed.
        QSharedPointer<TempTraxofile> tempFile;
        QSharedPointer<TraxoParser> parser;
    };

    QHash<QString, Record> m_files;
};

} // namespace traxo

#endif
