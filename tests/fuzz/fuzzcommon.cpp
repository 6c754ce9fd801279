#include "fuzzcommon.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace fuzzcommon {

void initApplication()
{
    static int argc = 1;
    static char name[] = "traxo_fuzz";
    static char *argv[] = { name, nullptr };
    // Never destroyed: libFuzzer leaves through exit(), after main's scope.
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    Q_UNUSED(app);
}

void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "== property violated: %s\n%s\n", what, qPrintable(detail));
    std::abort();
}

static traxo::FileSummary file(const QString &name, const QString &purpose, int size)
{
    traxo::FileSummary f;
    f.Filename = name;
    f.Filepath = QStringLiteral("/data/run7/") + name;
    f.Filetype = QStringLiteral("text/plain");
    f.Description = QStringLiteral("description of ") + name;
    f.Comment = QStringLiteral("a <comment> & more");
    f.LastModified = QStringLiteral("2024-03-01T12:00:00");
    f.FilePurpose = purpose;
    f.UncompressedSize = size;
    f.UncompressedMD5 = QStringLiteral("0123456789abcdef0123456789abcdef");
    f.GenerateMD5 = true;
    return f;
}

QList<traxo::Summary> fixedSummaries()
{
    traxo::Summary first;
    first.valid = true;
    first.TagID = 1;
    first.Title = QStringLiteral("calibration");
    first.Description = QStringLiteral("dark frames, 20 s");
    first.Tool = QStringLiteral("calib");
    first.ToolPath = QStringLiteral("/usr/bin/calib");
    first.Command = QStringLiteral("calib -n 20 raw.fits");
    first.Host = QStringLiteral("lab1");
    first.User = QStringLiteral("ada");
    first.Timestamp = QStringLiteral("2024-03-01T12:00:00");
    first.files << file(QStringLiteral("raw.fits"), QStringLiteral("InFile"), 2048)
                << file(QStringLiteral("dark.fits"), QStringLiteral("OutFile"), 1024);
    first.files[1].Embedded = true;
    first.files[1].TagID = 0;
    first.files[1].CompressedMethod = QStringLiteral("flate");
    first.files[1].CompressedSize = 300;
    first.files[1].userAttributeValues.insert(QStringLiteral("exposure"), QStringLiteral("20"));
    first.files[1].userAttributeUnits.insert(QStringLiteral("exposure"), QStringLiteral("s"));
    first.files[1].userAttributeKeys << QStringLiteral("exposure");
    first.userAttributeValues.insert(QStringLiteral("temperature"), QStringLiteral("-12.5"));
    first.userAttributeUnits.insert(QStringLiteral("temperature"), QStringLiteral("C"));
    first.userAttributeValues.insert(QStringLiteral("operator"), QStringLiteral("ada"));
    first.userAttributeKeys << QStringLiteral("temperature") << QStringLiteral("operator");

    traxo::Summary second;
    second.valid = true;
    second.TagID = 0;
    second.Title = QStringLiteral("analysis");
    second.Tool = QStringLiteral("python");
    second.Command = QStringLiteral("python fit.py dark.fits");
    second.User = QStringLiteral("grace");
    second.Timestamp = QStringLiteral("2024-03-02T08:30:00");
    second.files << file(QStringLiteral("dark.fits"), QStringLiteral("InFile"), 1024)
                 << file(QStringLiteral("fit.py"), QStringLiteral("InFile"), 512)
                 << file(QStringLiteral("result.csv"), QStringLiteral("OutFile"), 77);
    second.files[2].Preview = true;
    second.userAttributeValues.insert(QStringLiteral("chi2"), QStringLiteral("1.03"));
    second.userAttributeKeys << QStringLiteral("chi2");

    traxo::Summary loose; // embedded files outside every section
    loose.files << file(QStringLiteral("notes.txt"), QStringLiteral("Undefined"), 10);
    return { first, second, loose };
}

} // namespace fuzzcommon
