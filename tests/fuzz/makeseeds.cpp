#include "argfile/argfile.h"
#include "container/containerwriter.h"
#include "summary/summarywriter.h"

#include "fuzzcommon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

// Writes the seed corpora of the fuzz targets, one folder per target, with the
// project's own writers, so that the fuzzers start from sound input:
//     traxo_fuzz_seeds <output folder> <source folder>
// The source folder provides the shipped templates and example arg-files.

using namespace traxo;

static bool writeSeed(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

static bool copySeeds(const QString &from, const QStringList &patterns, const QString &to)
{
    const QFileInfoList entries = QDir(from).entryInfoList(patterns, QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        QFile::remove(to + QLatin1Char('/') + entry.fileName());
        if (!QFile::copy(entry.filePath(), to + QLatin1Char('/') + entry.fileName()))
            return false;
    }
    return !entries.isEmpty();
}

static ContainerWriter::File embedded(
    const QString &name, const QByteArray &content, ContainerWriter::Compression compression = ContainerWriter::Flate)
{
    ContainerWriter::File file;
    file.filetype = QStringLiteral("text/plain");
    file.filename = name;
    file.description = QStringLiteral("seed file ") + name;
    file.content = content;
    file.compression = compression;
    return file;
}

static bool writeContainers(const QString &folder, const QList<Summary> &summaries)
{
    QByteArray binary;
    for (int i = 0; i < 600; ++i)
        binary += char((i * 7919) >> 3);

    ContainerWriter::Section first;
    first.title = QStringLiteral("calibration");
    first.files = { embedded(QStringLiteral("dark.fits"), "dark frame\n"),
        embedded(QStringLiteral("gain.bin"), binary, ContainerWriter::None) };
    first.summary = SummaryWriter::writeSummaryUtf8(summaries.at(0));
    ContainerWriter::Section second;
    second.title = QStringLiteral("analysis");
    second.files = { embedded(QStringLiteral("result.csv"), "a,b\n1,2\n") };
    second.summary = SummaryWriter::writeSummaryUtf8(summaries.at(1));
    second.summaryCompression = ContainerWriter::None;
    ContainerWriter::Section bare;
    bare.title = QStringLiteral("no summary");
    bare.withSummary = false;

    struct Seed
    {
        const char *name;
        QByteArray leading;
        QList<ContainerWriter::Section> sections;
        bool looseFiles;
    };
    const QList<Seed> seeds
        = { { "header-only.traxo", {}, {}, false }, { "two-steps.traxo", {}, { first, second }, false },
              { "pdf-with-loose-file.pdf", "%PDF-1.4\n", { second, bare }, true } };

    for (const Seed &seed : seeds) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(seed.name);
        QFile::remove(path);
        ContainerWriter writer;
        bool ok = writer.create(path, seed.leading);
        for (const ContainerWriter::Section &section : seed.sections)
            ok = ok && writer.appendSection(path, section);
        if (seed.looseFiles)
            ok = ok && writer.appendFiles(path, { embedded(QStringLiteral("notes.txt"), "loose\n") });
        if (!ok) {
            std::fprintf(stderr, "%s: %s\n", seed.name, qPrintable(writer.errorString()));
            return false;
        }
    }
    return true;
}

static bool writeArgfiles(const QString &folder, const QString &examples)
{
    ArgFile step(QStringLiteral("out put.traxo"), QStringLiteral("root.traxo"));
    step.setTitle(QStringLiteral("fit the \"dark\" frame"));
    step.setDescription(QStringLiteral("costs $5, see 'notes'"));
    step.setTool(QStringLiteral("$TOOL"));
    step.setVerbosity(ArgFile::Verbose);
    step.setPretend(true);
    step.addUserAttribute(QStringLiteral("temperature"), QStringLiteral("-12.5 C"));
    WSFile input;
    input.setFilenameAndPath(QStringLiteral("/data/raw #1.fits"));
    input.setFiletype(QStringLiteral("image/fits"));
    input.setInputFile(true);
    input.setAutoMD5(true);
    step.addFile(input);
    WSFile output;
    output.setFilenameAndPath(QStringLiteral("result.csv"));
    output.setInputFile(false);
    output.setEmbed(true);
    output.setCompress(true);
    output.setComment(QStringLiteral("back\\slash"));
    step.addFile(output);

    return writeSeed(folder, QStringLiteral("step.vcmd"), step.toCommandline(true).toUtf8())
        && writeSeed(folder, QStringLiteral("empty-step.vcmd"), ArgFile().toCommandline(true).toUtf8())
        && copySeeds(examples, { QStringLiteral("*.vcmd") }, folder);
}

static bool writeQueries(const QString &folder)
{
    // There is no writer of queries: these are the shapes users type.
    const QStringList queries = { QStringLiteral("f:filetype == pdf && s:tool == convert"),
        QStringLiteral("!(x:iswfs && (y:isfile || z:embedded))"), QStringLiteral("latex raw.dat"),
        QStringLiteral("f:user{reviewer} == ada || f:user:Reviewer == ADA"),
        QStringLiteral("x:iswfs && x:tagid == y:parentid && y:filename == 'notes.txt'"),
        QStringLiteral("x:timestamp < 2010-01-10 && f:filesize %isapprox 505"),
        QStringLiteral("f:filename %matches *.PDF"), QStringLiteral("f:hash == \"file:0:3\""),
        QStringLiteral("(:filesize > 1.5e3) && !:isinfile") };
    for (int i = 0; i < queries.size(); ++i) {
        if (!writeSeed(folder, QStringLiteral("query%1.txt").arg(i), queries.at(i).toUtf8()))
            return false;
    }
    return true;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: traxo_fuzz_seeds <output folder> <source folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QDir source(QString::fromLocal8Bit(argv[2]));
    for (const char *target : { "fuzz_container", "fuzz_summary", "fuzz_argfile", "fuzz_query", "fuzz_template" }) {
        if (!out.mkpath(QLatin1String(target))) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(out.filePath(QLatin1String(target))));
            return 1;
        }
    }
    const QList<Summary> summaries = fuzzcommon::fixedSummaries();
    bool ok = writeContainers(out.filePath(QStringLiteral("fuzz_container")), summaries);
    for (int i = 0; i < summaries.size(); ++i)
        ok = ok
            && writeSeed(out.filePath(QStringLiteral("fuzz_summary")), QStringLiteral("summary%1.xml").arg(i),
                SummaryWriter::writeSummaryUtf8(summaries.at(i)));
    ok = ok && writeArgfiles(out.filePath(QStringLiteral("fuzz_argfile")), source.filePath(QStringLiteral("examples")));
    ok = ok && writeQueries(out.filePath(QStringLiteral("fuzz_query")));
    ok = ok
        && copySeeds(source.filePath(QStringLiteral("templates")), { QStringLiteral("*.htm") },
            out.filePath(QStringLiteral("fuzz_template")));
    return ok ? 0 : 1;
}
