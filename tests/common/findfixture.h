#ifndef TRAXO_FINDFIXTURE_H
#define TRAXO_FINDFIXTURE_H

#include "container/containerwriter.h"
#include "summary/summary.h"
#include "summary/summarywriter.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// Containers for the finder's tests, written by the project's own writer: one
// step per container with a title, a tool and the names of its output files.
namespace findfixture {

struct Step
{
    QString title;
    QString tool;
    QStringList files;
    traxo::ContainerWriter::Compression summaryCompression = traxo::ContainerWriter::Flate;
};

inline bool writeContainer(const QString &path, const Step &step, const QByteArray &leading = QByteArray())
{
    traxo::Summary summary;
    summary.Title = step.title;
    summary.Tool = step.tool;
    for (const QString &name : step.files) {
        traxo::FileSummary file;
        file.Filename = name;
        file.FilePurpose = QStringLiteral("OutFile");
        summary.files.append(file);
    }
    traxo::ContainerWriter::Section section;
    section.title = step.title;
    section.summary = traxo::SummaryWriter::writeSummaryUtf8(summary);
    section.summaryCompression = step.summaryCompression;
    traxo::ContainerWriter writer;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writer.create(path, leading) && writer.appendSection(path, section);
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Three containers of which exactly one was made by the tool "fitter", one in
// a subdirectory, beside a link to one of them and a link back to the top
// that a walk following links would loop through. The words Preprocessing
// and Postprocessing occur together only in smooth.traxo, whose summary
// alone is compressed.
inline bool writeThreeContainers(const QString &dir)
{
    const auto stored = traxo::ContainerWriter::None;
    return writeContainer(dir + "/fit.traxo", { "Fit the curve", "fitter", { "curve.csv" }, stored })
        && writeContainer(
            dir + "/smooth.traxo", { "Preprocessing before Postprocessing", "smoother", { "smooth.csv" } })
        && writeContainer(
            dir + "/sub/plot.pdf", { "Plot for Postprocessing", "plotter", { "plot.png" }, stored }, "%PDF-1.4\n")
        && QFile::link(dir + "/fit.traxo", dir + "/link.traxo") && QFile::link(dir, dir + "/sub/loop");
}

// Neither a container nor one that can be opened: listed in no search.
inline bool writeDamagedFile(const QString &path)
{
    return writeBytes(path, "%PDF-1.4\nthis file holds no history\n%%EOF\n");
}

} // namespace findfixture

#endif
