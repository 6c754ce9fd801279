#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "summary/summarycreator.h"

#include "fuzzcommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

using namespace traxo;

// Container bytes through everything that reads a container: opening in both
// modes, the summaries, validating every section and file, extracting every
// file into a scratch folder and validating what was extracted.
static QTemporaryDir *scratch;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzcommon::initApplication();
    // Every input is written to disk: memory-backed storage keeps that cheap.
    const QString base
        = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    scratch = new QTemporaryDir(base + QStringLiteral("/traxo_fuzz_container-XXXXXX"));
    if (!scratch->isValid())
        fuzzcommon::fail("no scratch folder", scratch->path());
    return 0;
}

static void readContainer(const QString &path, ParseMode mode, const QString &outDir)
{
    TraxoParser parser(mode);
    if (!parser.open(path))
        return;
    SummaryCreator().createSummaries(parser);

    ValidationQueue validation(&parser);
    validation.repopulate(&parser);
    while (validation.process()) { }

    QHash<int, QString> targets;
    for (const FileTag &file : parser.getFiles())
        targets.insert(file.id, outDir + QStringLiteral("/file") + QString::number(file.id));
    ExtractionQueue extraction(&parser);
    extraction.addExtractees(targets);
    while (extraction.process()) { }

    // The extracted files are checked against the markers' claims, as the
    // viewer does after an extraction.
    QList<SavedFile> saved;
    for (const FileTag &file : parser.getFiles()) {
        saved.append({ targets.value(file.id), file.md5file, file.filesize });
        parser.getFileContent(file.id);
        parser.calcChecksumsForFile(file.id);
    }
    validation.addValidatees(saved);
    while (validation.process()) { }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = scratch->filePath(QStringLiteral("input.traxo"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        fuzzcommon::fail("cannot write the input", path);
    file.close();

    QDir out(scratch->filePath(QStringLiteral("out")));
    for (ParseMode mode : { ParseTolerant, ParseStrict }) {
        out.removeRecursively();
        if (!out.mkpath(QStringLiteral(".")))
            fuzzcommon::fail("cannot make the output folder", out.path());
        readContainer(path, mode, out.path());
    }
    return 0;
}
