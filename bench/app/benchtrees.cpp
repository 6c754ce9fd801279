#include "benchtrees.h"

#include "container/containerwriter.h"
#include "summary/summarywriter.h"

#include <QDir>
#include <QRandomGenerator>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace benchtrees {

QString word()
{
    return QStringLiteral("Postprocessing");
}

namespace {

// One step whose title holds the word in every hitEvery-th container. The
// summary is stored as is, so grep sees the same words the finder reads.
traxo::ContainerWriter::Section makeStep(
    int container, int step, bool hit, const QList<traxo::ContainerWriter::File> &files)
{
    traxo::Summary summary;
    summary.Title = hit && step == 0 ? QStringLiteral("%1 of run %2").arg(word()).arg(container)
                                     : QStringLiteral("Step %1 of run %2").arg(step).arg(container);
    summary.Tool = QStringLiteral("tool%1").arg(step);
    summary.Host = QStringLiteral("lab%1").arg(container % 7);
    summary.Description = QStringLiteral("Measured and reduced on the bench");
    for (const traxo::ContainerWriter::File &file : files) {
        traxo::FileSummary entry;
        entry.Filename = file.filename;
        entry.Filetype = file.filetype;
        entry.FilePurpose = QStringLiteral("OutFile");
        entry.Embedded = true;
        entry.UncompressedSize = int(file.content.size());
        summary.files.append(entry);
    }
    traxo::ContainerWriter::Section section;
    section.title = summary.Title;
    section.files = files;
    section.summary = traxo::SummaryWriter::writeSummaryUtf8(summary);
    section.summaryCompression = traxo::ContainerWriter::None;
    return section;
}

bool writeContainer(const QString &path, const QList<traxo::ContainerWriter::Section> &sections)
{
    traxo::ContainerWriter writer;
    if (!writer.create(path))
        return false;
    for (const traxo::ContainerWriter::Section &section : sections) {
        if (!writer.appendSection(path, section))
            return false;
    }
    return true;
}

} // namespace

int buildSmallTree(const QString &root, int count)
{
    int hits = 0;
    for (int i = 0; i < count; ++i) {
        const bool hit = i % 10 == 3;
        hits += hit;
        QList<traxo::ContainerWriter::Section> steps;
        for (int s = 0; s < 3; ++s) {
            traxo::ContainerWriter::File data;
            data.filetype = QStringLiteral("csv");
            data.filename = QStringLiteral("values%1.csv").arg(s);
            data.content = QByteArray("1,2,3\n4,5,6\n").repeated(20 + s);
            steps.append(makeStep(i, s, hit, { data }));
        }
        const QString dir = QStringLiteral("%1/batch%2").arg(root).arg(i / 100);
        QDir().mkpath(dir);
        if (!writeContainer(QStringLiteral("%1/run%2.traxo").arg(dir).arg(i), steps))
            return -1;
    }
    return hits;
}

int buildLargeTree(const QString &root, int count, int mib)
{
    int hits = 0;
    QByteArray data(qsizetype(mib) * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < count; ++i) {
        const bool hit = i % 10 == 3;
        hits += hit;
        QRandomGenerator(quint32(i)).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
        traxo::ContainerWriter::File file;
        file.filetype = QStringLiteral("raw");
        file.filename = QStringLiteral("detector%1.raw").arg(i);
        file.content = data;
        file.compression = traxo::ContainerWriter::None;
        if (!writeContainer(QStringLiteral("%1/scan%2.traxo").arg(root).arg(i), { makeStep(i, 0, hit, { file }) }))
            return -1;
    }
    return hits;
}

bool buildTrees(const QString &dir, int smallCount, int largeCount, int mib, Trees *trees)
{
    trees->smallRoot = QDir(dir).filePath(QStringLiteral("small"));
    trees->largeRoot = QDir(dir).filePath(QStringLiteral("large"));
    QDir().mkpath(trees->largeRoot);
    std::printf("building %d small containers and %d containers of %d MiB...\n", smallCount, largeCount, mib);
    std::fflush(stdout);
    trees->smallHits = buildSmallTree(trees->smallRoot, smallCount);
    trees->largeHits = buildLargeTree(trees->largeRoot, largeCount, mib);
    if (trees->smallHits < 0 || trees->largeHits < 0) {
        std::fprintf(stderr, "could not build the trees\n");
        return false;
    }
#ifdef Q_OS_UNIX
    // A gigabyte just written is written back to disk during the first
    // measurements otherwise, on the cores that they share.
    ::sync();
#endif
    return true;
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace benchtrees
