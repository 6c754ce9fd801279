#ifndef TRAXO_STEPWRITER_H
#define TRAXO_STEPWRITER_H

#include "argfile/argfile.h"
#include "container/containerwriter.h"
#include "summary/summary.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace traxotools {

class ToolConsole;

// Appends one workflow step, described by an ArgFile, to each of its output
// containers. Everything that can go wrong is checked by prepare() before
// anything is written, and write() takes back what it has already written
// when a later container fails, so on error no output container is created
// or changed.
class StepWriter
{
public:
    StepWriter(const traxo::ArgFile &step, ToolConsole &console);

    // Reads and checks the files and containers and builds the section;
    // reports every problem it finds and returns false when there was one.
    bool prepare();
    // Says what write() would do.
    void pretend() const;
    bool write();

    // The summary as it will be stored; valid after prepare().
    traxo::Summary summary() const { return m_summary; }

    static QString creator();

private:
    struct StepFile
    {
        traxo::WSFile file;
        QString path; // as given
        QString absolutePath;
        qint64 size = -1;
        QString md5;
        QDateTime lastModified;
        bool embed = false;
        bool flate = false;
        QByteArray content;
        QByteArray stored; // the bytes as they lie in the container
    };

    enum class TargetMode { AppendInPlace, CopyRoot, CreateNew };

    struct Target
    {
        QString path;
        TargetMode mode = TargetMode::CreateNew;
        qint64 originalSize = 0;
    };

    bool prepareRoot();
    bool prepareFile(const traxo::WSFile &file);
    bool readMd5File(StepFile &entry);
    bool prepareTarget(const QString &path);
    void buildSummary();
    bool writeTarget(const Target &target);
    void undo(const Target &target);

    traxo::ArgFile m_step;
    ToolConsole &m_console;
    QString m_rootPath; // canonical path of an existing root container, or ""
    QList<StepFile> m_files;
    QList<Target> m_targets;
    traxo::Summary m_summary;
    traxo::ContainerWriter::Section m_section;
};

} // namespace traxotools

#endif
