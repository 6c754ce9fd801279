// Reads large and hostile summary documents with SummaryReader and, as a
// peer, walks the same text with QXmlStreamReader (a full XML tokenizer).
// TRAXO_BENCH_SCALE multiplies the document sizes (default 1).

#include "summary/summaryreader.h"

#include <QElapsedTimer>
#include <QXmlStreamReader>
#include <QtGlobal>

#include <functional>

#include <cstdio>

using namespace traxo;

namespace {

QString wrap(const QString &step)
{
    return QStringLiteral("<?xml version=\"1.0\"?>\n<trxchange><Workflowstep>") + step
        + QStringLiteral("</Workflowstep></trxchange>\n");
}

// 100 000 unknown siblings of about 100 characters each: about 10 MiB.
QString manyUnknownSiblings(int scale)
{
    const QString padding(80, QLatin1Char('x'));
    QString step;
    for (int i = 0; i < 100000 * scale; ++i)
        step += QStringLiteral("<u%1>%2</u%1>").arg(i).arg(padding);
    return wrap(step);
}

// 5 000 files with 20 elements each, about 10 MiB in all.
QString manyFiles(int scale)
{
    const QString description(1900, QLatin1Char('d'));
    QString step;
    for (int i = 0; i < 5000 * scale; ++i) {
        step += QStringLiteral("<InFile><Filename>f%1</Filename><Filepath>/p</Filepath><Filetype>t</Filetype>"
                               "<Description>%2</Description><Comment>c</Comment><LastModified>m</LastModified>"
                               "<GenerateMD5>1</GenerateMD5><Embedded>1</Embedded>"
                               "<UncompressedSize>%1</UncompressedSize><UncompressedMD5>u</UncompressedMD5>"
                               "<CompressedMethod>flate</CompressedMethod><CompressedSize>%1</CompressedSize>"
                               "<CompressedMD5>c</CompressedMD5><Preview>0</Preview><PreviewWS>0</PreviewWS>"
                               "<Thumbnail>0</Thumbnail><ThumbnailOnly>0</ThumbnailOnly>"
                               "<UserAttributes><Attribute><Key>k</Key><Value>v</Value></Attribute>"
                               "</UserAttributes></InFile>")
                    .arg(i)
                    .arg(description);
    }
    return wrap(step);
}

QString nestedDistinct(int scale)
{
    QString open, close;
    for (int i = 0; i < 10000 * scale; ++i) {
        open += QStringLiteral("<n%1>").arg(i);
        close.prepend(QStringLiteral("</n%1>").arg(i));
    }
    return wrap(open + QStringLiteral("core") + close + QStringLiteral("<Title>after</Title>"));
}

QString nestedSameName(int scale)
{
    const int depth = 10000 * scale;
    return wrap(QStringLiteral("<InFile>").repeated(depth) + QStringLiteral("<Filename>f</Filename>")
        + QStringLiteral("</InFile>").repeated(depth) + QStringLiteral("<Title>after</Title>"));
}

double secondsFor(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

void run(const char *name, const QString &xml, const QString &expectedTitle)
{
    Summary summary;
    const double ours = secondsFor([&] {
        SummaryReader reader;
        summary = reader.readSummary(xml);
    });
    qint64 tokens = 0;
    const double peer = secondsFor([&] {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            reader.readNext();
            ++tokens;
        }
    });
    const bool ok = summary.valid && summary.Title == expectedTitle;
    std::printf("%-34s %6.2f MiB  SummaryReader %7.3f s  QXmlStreamReader %7.3f s  ratio %5.2f  %s\n", name,
        xml.toUtf8().size() / 1048576.0, ours, peer, peer > 0 ? ours / peer : 0.0, ok ? "ok" : "WRONG RESULT");
}

} // namespace

int main()
{
    const int scale = qMax(1, qEnvironmentVariableIntValue("TRAXO_BENCH_SCALE"));
    run("100000 unknown siblings", manyUnknownSiblings(scale), QString());
    run("5000 files of 20 elements", manyFiles(scale), QString());
    run("10000 nested unknown elements", nestedDistinct(scale), QStringLiteral("after"));
    run("10000 nested InFile elements", nestedSameName(scale), QStringLiteral("after"));
    return 0;
}
