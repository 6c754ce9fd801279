#ifndef TRAXO_STEPWRITER_H
#define TRAXO_STEPWRITER_H

#include "argfile/argfile.h"
#include "container/containerwriter.h"
#include "summary/summary.h"

#include <QByteArray>
#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <QString>

#include "writerlocks.h"

namespace traxotools {

class ToolConsole;

// Appends one workflow step, described by an ArgFile, to each of its output
// containers. prepare() locks every container it will read or change (held
// until the object goes) and checks everything that can be checked before
// anything is written; write() streams each embedded file into each
// container and takes back what it has already written when a later
// container fails, so on error no output container is created or changed.
class StepWriter
{
public:
    StepWriter(const traxo::ArgFile &step, ToolConsole &console);

    void setLockTimeout(qint64 timeoutMs) { m_locks.setTimeout(timeoutMs); }

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
    };

    enum class TargetMode { AppendInPlace, CopyRoot, CreateNew, RewritePdf };

    struct Target
    {
        QString path;
        TargetMode mode = TargetMode::CreateNew;
        qint64 originalSize = 0;
    };

    bool hasDocumentInfo() const;
    bool isOutputPdf(const QFileInfo &info) const;
    bool lockContainers();
    bool prepareRoot();
    bool prepareFile(const traxo::WSFile &file);
    bool computeMd5(StepFile &entry) const;
    bool readMd5File(StepFile &entry);
    bool prepareTarget(const QString &path);
    void buildSummary();
    QByteArray summaryOfStoredFiles(const QList<traxo::ContainerWriter::StoredFile> &stored);
    bool writeTarget(const Target &target);
    bool writeNewContainer(const Target &target, traxo::ContainerWriter &writer);
    void undo(const Target &target);

    traxo::ArgFile m_step;
    ToolConsole &m_console;
    QString m_rootPath; // canonical path of an existing root container, or ""
    QList<StepFile> m_files;
    QList<Target> m_targets;
    traxo::Summary m_summary;
    traxo::ContainerWriter::Section m_section;
    WriterLocks m_locks;
};

} // namespace traxotools

#endif
