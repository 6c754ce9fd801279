// Times TraxoParser::open on containers of 100 embedded files holding 10 MiB
// and 1 GiB of data, split over 1, 100 and 1000 sections, and counts the
// bytes read from disk during the open (growth of rchar in /proc/self/io).
// Opening should cost the marker lines, not the data: the large container
// should open in at most twice the time of the small one, reading under
// 64 KiB per marker. The peer is grep counting the marker lines of the same
// file, which has to read every byte.
//
// The stored data are holes in sparse files, so writing the large containers
// is instant and takes no disk space. TRAXO_BENCH_LARGE_MIB sets the size of
// the large container (default 1024).

#include "container/containermarkers.h"
#include "container/traxoparser.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>

using namespace traxo;

namespace {

constexpr int FileCount = 100;

qint64 readChars()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

QByteArray md5OfZeros(qint64 size)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    const QByteArray zeros(1 << 20, '\0');
    for (qint64 done = 0; done < size; done += zeros.size())
        hash.addData(QByteArrayView(zeros).first(qsizetype(std::min<qint64>(zeros.size(), size - done))));
    return hash.result().toHex();
}

// Writes the container marker by marker; each file's data is left as a hole.
class SparseContainer
{
public:
    explicit SparseContainer(const QString &path)
        : m_file(path)
    {
        m_ok = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        write(QByteArray(TRAXO_HEADER_LINE) + '\n');
    }

    bool finish()
    {
        m_file.close();
        return m_ok;
    }

    void beginSection() { m_sectionStart = m_pos; }

    void addFile(const QByteArray &name, qint64 size, const QByteArray &md5, const QByteArray &content = QByteArray())
    {
        write("%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:application/octet-stream][filename:" + name
            + "][desc:][comment:][compression:none][filesize:" + QByteArray::number(size)
            + "][cfilesize:" + QByteArray::number(size) + "][blocksize:" + QByteArray::number(size + 2)
            + "][offset:1][md5file:" + md5 + "][md5cfile:]-->\n");
        if (content.isEmpty()) {
            m_pos += size;
            m_ok = m_ok && m_file.seek(m_pos);
        } else {
            write(content);
        }
        write("\n");
    }

    // Section checksums are not taken: open never reads them, and hashing
    // a gibibyte per container would dominate the benchmark's own run time.
    void endSection(int index)
    {
        const qint64 position = m_pos + 1;
        const QByteArray previous
            = m_previousPosition < 0 ? QByteArray() : QByteArray::number(position - m_previousPosition);
        const auto line = [&](qint64 size) {
            return "%<--! $TRAXO_SECTION [version:1.0][creator:bench][title:step " + QByteArray::number(index)
                + "][left:" + QByteArray::number(position - m_sectionStart) + "][size:" + QByteArray::number(size)
                + "][index:" + QByteArray::number(index) + "][md5section:" + QByteArray(TRAXO_ZERO_MD5)
                + "][previousmd5:][previousmarker:" + previous + "]-->\n";
        };
        qint64 size = m_pos - m_sectionStart + line(0).size();
        for (qint64 settled = -1; settled != size;) {
            settled = size;
            size = m_pos - m_sectionStart + line(settled).size();
        }
        write(line(size));
        m_previousPosition = position;
    }

private:
    void write(const QByteArray &bytes)
    {
        m_ok = m_ok && m_file.write(bytes) == bytes.size();
        m_pos += bytes.size();
    }

    QFile m_file;
    bool m_ok = false;
    qint64 m_pos = 0;
    qint64 m_sectionStart = 0;
    qint64 m_previousPosition = -1;
};

bool writeContainer(const QString &path, qint64 dataBytes, int sections)
{
    const qint64 fileSize = dataBytes / FileCount;
    const QByteArray md5 = md5OfZeros(fileSize);
    const QByteArray summary = "<workflowstep/>\n";
    const QByteArray summaryMd5 = QCryptographicHash::hash(summary, QCryptographicHash::Md5).toHex();
    SparseContainer container(path);
    int nextFile = 0;
    for (int s = 0; s < sections; ++s) {
        container.beginSection();
        const int lastFile = int(qint64(s + 1) * FileCount / sections);
        for (; nextFile < lastFile; ++nextFile)
            container.addFile("data" + QByteArray::number(nextFile) + ".bin", fileSize, md5);
        container.addFile("ws_summary.xml", summary.size(), summaryMd5, summary);
        container.endSection(s);
    }
    return container.finish();
}

struct Measure
{
    double openMs = 0;
    qint64 bytesRead = 0;
    int markers = 0;
    double grepMs = 0;
};

Measure measure(const QString &path, int expectedSections)
{
    Measure m;
    constexpr int Runs = 5;
    QList<double> times;
    for (int run = 0; run < Runs; ++run) {
        TraxoParser parser(ParseTolerant);
        const qint64 before = readChars();
        QElapsedTimer timer;
        timer.start();
        const bool ok = parser.open(path);
        times << timer.nsecsElapsed() / 1e6;
        m.bytesRead = readChars() - before;
        m.markers = parser.getNumSections() + parser.getNumFiles();
        if (!ok || parser.getNumSections() != expectedSections
            || parser.getNumFiles() != FileCount + expectedSections) {
            std::fprintf(stderr, "unexpected parse of %s: %d sections, %d files\n", qPrintable(path),
                parser.getNumSections(), parser.getNumFiles());
            return Measure();
        }
    }
    std::sort(times.begin(), times.end());
    m.openMs = times.at(Runs / 2);

    QElapsedTimer timer;
    timer.start();
    QProcess grep;
    grep.start(QStringLiteral("grep"),
        { QStringLiteral("-a"), QStringLiteral("-c"), QStringLiteral("^%<--! \\$TRAXO_"), path });
    grep.waitForFinished(-1);
    m.grepMs = timer.nsecsElapsed() / 1e6;
    return m;
}

} // namespace

int main()
{
    const qint64 largeMiB = qEnvironmentVariableIsSet("TRAXO_BENCH_LARGE_MIB")
        ? qEnvironmentVariable("TRAXO_BENCH_LARGE_MIB").toLongLong()
        : 1024;
    if (largeMiB < 1 || largeMiB > 2000) {
        std::fprintf(stderr, "TRAXO_BENCH_LARGE_MIB must lie between 1 and 2000\n");
        return 1;
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }

    std::printf(
        "TraxoParser::open, %d embedded files, median of 5 opens; peer: grep -c over the same file\n", FileCount);
    std::printf("%10s %9s %10s %9s %12s %10s %10s %8s\n", "data", "sections", "open ms", "markers", "read bytes",
        "per marker", "grep ms", "grep/open");
    bool goalsMet = true;
    for (const int sections : { 1, 100, 1000 }) {
        Measure small, large;
        for (const qint64 mib : { qint64(10), largeMiB }) {
            const QString path = dir.filePath(QStringLiteral("c%1_%2.traxo").arg(mib).arg(sections));
            if (!writeContainer(path, mib << 20, sections)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
            const Measure m = measure(path, sections);
            if (m.markers == 0)
                return 1;
            std::printf("%6lld MiB %9d %10.2f %9d %12lld %10lld %10.1f %8.1f\n", static_cast<long long>(mib), sections,
                m.openMs, m.markers, static_cast<long long>(m.bytesRead),
                static_cast<long long>(m.bytesRead / m.markers), m.grepMs, m.grepMs / m.openMs);
            (mib == 10 ? small : large) = m;
            QFile::remove(path);
        }
        const double ratio = large.openMs / small.openMs;
        const bool perMarker = large.bytesRead / large.markers < 64 * 1024;
        goalsMet = goalsMet && ratio <= 2.0 && perMarker;
        std::printf("  %d section(s): open %lld MiB / open 10 MiB = %.2f (goal <= 2), %lld bytes read per marker "
                    "(goal < 65536)\n",
            sections, static_cast<long long>(largeMiB), ratio, static_cast<long long>(large.bytesRead / large.markers));
    }
    std::printf("%s\n", goalsMet ? "goals met" : "goals NOT met");
    return 0;
}
