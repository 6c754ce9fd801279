#include "stepwriter.h"

#include "toolconsole.h"

#include "container/traxoparser.h"
#include "summary/summarywriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

#include <limits>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace traxotools {

namespace {

// Offsets in a container are 32-bit signed byte counts.
constexpr qint64 MaxContainerSize = std::numeric_limits<int>::max();
// Room for the markers and the summary of a section besides its data.
constexpr qint64 SectionOverhead = 1 << 20;

QString md5Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QString loginName()
{
#ifdef Q_OS_UNIX
    if (const passwd *entry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    for (const char *variable : { "USER", "LOGNAME", "USERNAME" }) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

QString timestamp(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

// Data stored as it is must not hold lines that a reader would take for
// markers of the container around it (an embedded container, for instance).
bool containsMarkerLine(const QByteArray &content)
{
    static const QByteArray marker("%<--! $TRAXO_");
    return content.startsWith(marker) || content.contains('\n' + marker);
}

} // namespace

StepWriter::StepWriter(const traxo::ArgFile &step, ToolConsole &console)
    : m_step(step)
    , m_console(console)
{
}

QString StepWriter::creator()
{
    return QStringLiteral("traxoadd 1.83.0.2990");
}

bool StepWriter::prepare()
{
    const int errorsBefore = m_console.errorCount();
    if (m_step.numOutputTraxofiles() == 0)
        m_console.error(QStringLiteral("no output container given: name one with -O or -A"));
    if (!m_step.firstpage().isEmpty())
        m_console.warning(QStringLiteral("--firstpage is not supported by this traxoadd and is ignored"));
    if (!m_step.readme().isEmpty())
        m_console.warning(QStringLiteral("--readme is not supported by this traxoadd and is ignored"));

    prepareRoot();
    for (int i = 0; i < m_step.numFiles(); ++i)
        prepareFile(m_step.getConstFile(i));
    for (int i = 0; i < m_step.numOutputTraxofiles(); ++i)
        prepareTarget(m_step.outputTraxofile(i));

    if (m_console.errorCount() != errorsBefore)
        return false;
    buildSummary();
    return true;
}

bool StepWriter::prepareRoot()
{
    const QString root = m_step.rootfile();
    if (root.isEmpty())
        return true;
    const QFileInfo info(root);
    if (!info.exists()) {
        if (m_step.rootIsOptional()) {
            m_console.detail(
                QStringLiteral("root container \"%1\" does not exist yet: the step starts a new history").arg(root));
            return true;
        }
        m_console.error(QStringLiteral("root container \"%1\" does not exist").arg(root));
        return false;
    }
    traxo::TraxoParser parser;
    if (!info.isFile() || !parser.open(info.absoluteFilePath())) {
        m_console.error(
            QStringLiteral("root container \"%1\" is not a container: no header line in its first ten lines")
                .arg(root));
        return false;
    }
    m_rootPath = info.canonicalFilePath();
    return true;
}

bool StepWriter::prepareFile(const traxo::WSFile &file)
{
    StepFile entry;
    entry.file = file;
    entry.path = QDir::cleanPath(file.filename());
    const QFileInfo info(entry.path);
    if (!info.exists()) {
        if (file.optional()) {
            m_console.warning(QStringLiteral("optional file \"%1\" is missing and is not recorded").arg(entry.path));
            return true;
        }
        m_console.error(QStringLiteral("file \"%1\" does not exist").arg(entry.path));
        return false;
    }
    if (!info.isFile()) {
        m_console.error(QStringLiteral("\"%1\" is not a regular file").arg(entry.path));
        return false;
    }
    entry.absolutePath = info.absoluteFilePath();
    entry.size = info.size();
    entry.lastModified = info.lastModified();
    entry.embed = file.embed();
    if (entry.size > MaxContainerSize) {
        m_console.error(QStringLiteral("file \"%1\" is larger than 2 GiB, more than a container can hold or describe")
                            .arg(entry.path));
        return false;
    }

    // An embedded file is always checksummed: readers find it by its MD5.
    if (file.autoMD5() || entry.embed) {
        QFile in(entry.absolutePath);
        if (!in.open(QIODevice::ReadOnly)) {
            m_console.error(QStringLiteral("cannot read \"%1\": %2").arg(entry.path, in.errorString()));
            return false;
        }
        entry.content = in.readAll();
        if (entry.content.size() != entry.size) {
            m_console.error(QStringLiteral("cannot read \"%1\" whole: it changed while being read").arg(entry.path));
            return false;
        }
        entry.md5 = md5Hex(entry.content);
    }
    if (!file.md5File().isEmpty() && !readMd5File(entry))
        return false;

    if (entry.embed) {
        entry.flate = file.compress();
        if (!entry.flate && containsMarkerLine(entry.content)) {
            entry.flate = true;
            m_console.warning(QStringLiteral("\"%1\" holds container marker lines and is stored compressed, so that "
                                             "they cannot be mistaken for markers of the output container")
                                  .arg(entry.path));
        }
        entry.stored = entry.flate ? traxo::ContainerWriter::compress(entry.content) : entry.content;
        if (entry.flate && entry.stored.isEmpty()) {
            m_console.error(QStringLiteral("cannot compress \"%1\"").arg(entry.path));
            return false;
        }
    } else {
        entry.content.clear(); // only the checksum was needed
    }
    m_files << entry;
    return true;
}

bool StepWriter::readMd5File(StepFile &entry)
{
    QString md5Path = entry.file.md5File();
    // A bare name is looked for beside the data file when it is not found
    // in the working directory.
    if (QFileInfo(md5Path).isRelative() && !QFileInfo::exists(md5Path))
        md5Path = QFileInfo(entry.absolutePath).dir().filePath(md5Path);
    QFile in(md5Path);
    if (!in.open(QIODevice::ReadOnly)) {
        m_console.error(
            QStringLiteral("cannot read the checksum file \"%1\" of \"%2\"").arg(entry.file.md5File(), entry.path));
        return false;
    }
    static const QRegularExpression checksum(QStringLiteral("(?<![0-9A-Fa-f])[0-9A-Fa-f]{32}(?![0-9A-Fa-f])"));
    const QRegularExpressionMatch match = checksum.match(QString::fromLatin1(in.read(4096)));
    if (!match.hasMatch()) {
        m_console.error(QStringLiteral("the checksum file \"%1\" holds no MD5 checksum").arg(entry.file.md5File()));
        return false;
    }
    const QString recorded = match.captured().toLower();
    if (!entry.md5.isEmpty() && entry.md5 != recorded) {
        m_console.error(QStringLiteral("\"%1\" has the MD5 checksum %2, but \"%3\" says %4")
                            .arg(entry.path, entry.md5, entry.file.md5File(), recorded));
        return false;
    }
    entry.md5 = recorded;
    return true;
}

bool StepWriter::prepareTarget(const QString &path)
{
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    for (const Target &target : std::as_const(m_targets)) {
        if (target.path == absolute) {
            m_console.warning(
                QStringLiteral("output container \"%1\" is named twice; it gets the step once").arg(path));
            return true;
        }
    }
    const bool pdf = info.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;

    Target target;
    target.path = absolute;
    if (info.exists()) {
        traxo::TraxoParser parser;
        if (!info.isFile() || !parser.open(absolute)) {
            if (pdf)
                m_console.error(QStringLiteral("PDF \"%1\" does not carry the container header line "
                                               "\"%<--! $TRAXO_PDF [version:1.0]\" in its first ten lines; "
                                               "add it before appending workflow steps")
                                    .arg(path));
            else
                m_console.error(
                    QStringLiteral("\"%1\" exists and is not a container; traxoadd does not write over it").arg(path));
            return false;
        }
        // An existing container only grows its own history.
        if (!m_step.rootfile().isEmpty() && info.canonicalFilePath() != m_rootPath) {
            m_console.error(QStringLiteral("output container \"%1\" exists but the step continues the history of "
                                           "\"%2\"; append to it with -A, or remove it first")
                                .arg(path, m_step.rootfile()));
            return false;
        }
        target.mode = TargetMode::AppendInPlace;
        target.originalSize = info.size();
    } else {
        if (pdf) {
            m_console.error(QStringLiteral("PDF \"%1\" does not exist; traxoadd appends to PDF documents that carry "
                                           "the container header line but does not create them")
                                .arg(path));
            return false;
        }
        if (!info.absoluteDir().exists()) {
            m_console.error(QStringLiteral("the directory of output container \"%1\" does not exist").arg(path));
            return false;
        }
        target.mode = m_rootPath.isEmpty() ? TargetMode::CreateNew : TargetMode::CopyRoot;
        target.originalSize = m_rootPath.isEmpty() ? 0 : QFileInfo(m_rootPath).size();
    }

    qint64 stored = 0;
    for (const StepFile &file : std::as_const(m_files))
        stored += file.stored.size();
    if (target.originalSize + stored + SectionOverhead > MaxContainerSize) {
        m_console.error(QStringLiteral("output container \"%1\" would grow beyond 2 GiB, which containers cannot "
                                       "address")
                            .arg(path));
        return false;
    }
    m_targets << target;
    return true;
}

void StepWriter::buildSummary()
{
    traxo::Summary &s = m_summary;
    s.TraxoRootFile = m_step.rootfile();
    s.Timestamp = timestamp(QDateTime::currentDateTime());
    s.Title = m_step.title();
    s.Description = m_step.description();
    s.Comment = m_step.comment();
    s.Command = m_step.command();
    s.Tool = m_step.tool();
    s.ToolPath = m_step.toolpath();
    s.Host = m_step.host().isEmpty() ? QSysInfo::machineHostName() : m_step.host();
    s.User = m_step.user().isEmpty() ? loginName() : m_step.user();
    s.Creator = creator();
    s.PDFTitle = m_step.pdfTitle();
    s.PDFAuthor = m_step.pdfAuthor();
    s.PDFSubject = m_step.pdfSubject();
    s.PDFKeywords = m_step.pdfKeywords();
    s.PDFProducer = m_step.pdfProducer();
    s.PDFCreator = m_step.pdfCreator();
    s.userAttributeKeys = m_step.userAttributeKeys();
    for (const QString &key : s.userAttributeKeys)
        s.userAttributeValues.insert(key, m_step.userAttribute(key));

    m_section = traxo::ContainerWriter::Section();
    m_section.creator = creator();
    m_section.title = m_step.title();

    for (const StepFile &entry : std::as_const(m_files)) {
        const traxo::WSFile &file = entry.file;
        const QFileInfo info(entry.absolutePath);
        traxo::FileSummary f;
        f.Filename = info.fileName();
        f.Filepath = info.absolutePath();
        f.Filetype = file.filetype();
        f.Description = file.description();
        f.Comment = file.comment();
        f.LastModified = timestamp(entry.lastModified);
        f.GenerateMD5 = file.autoMD5();
        f.Embedded = entry.embed;
        f.Preview = file.preview();
        f.PreviewWS = file.previewWS();
        f.Thumbnail = file.thumbnail();
        f.ThumbnailOnly = file.thumbnailOnly();
        f.UncompressedSize = int(entry.size);
        f.UncompressedMD5 = entry.md5;
        if (entry.embed) {
            f.CompressedMethod = entry.flate ? QStringLiteral("flate") : QStringLiteral("none");
            f.CompressedSize = int(entry.stored.size());
            f.CompressedMD5 = entry.flate ? md5Hex(entry.stored) : QString();
        }
        f.userAttributeKeys = file.userAttributeKeys();
        for (const QString &key : f.userAttributeKeys)
            f.userAttributeValues.insert(key, file.userAttribute(key));
        f.FilePurpose = file.inputFile() ? QStringLiteral("InFile") : QStringLiteral("OutFile");
        s.files << f;

        if (entry.embed) {
            traxo::ContainerWriter::File stored;
            stored.filetype = file.filetype();
            stored.filename = f.Filename;
            stored.description = file.description();
            stored.comment = file.comment();
            stored.content = entry.content;
            stored.compression = entry.flate ? traxo::ContainerWriter::Flate : traxo::ContainerWriter::None;
            m_section.files << stored;
        }
    }
    m_section.summary = traxo::SummaryWriter::writeSummaryUtf8(s);
}

void StepWriter::pretend() const
{
    m_console.info(QStringLiteral("pretending: nothing is written"));
    for (const Target &target : m_targets) {
        switch (target.mode) {
        case TargetMode::AppendInPlace:
            m_console.info(QStringLiteral("would append the step to \"%1\"").arg(target.path));
            break;
        case TargetMode::CopyRoot:
            m_console.info(QStringLiteral("would create \"%1\" with the history of \"%2\" and the step")
                               .arg(target.path, m_rootPath));
            break;
        case TargetMode::CreateNew:
            m_console.info(QStringLiteral("would create \"%1\" holding only the step").arg(target.path));
            break;
        }
    }
    m_console.info(QStringLiteral("step \"%1\" by %2 on %3 at %4")
                       .arg(m_summary.Title, m_summary.User, m_summary.Host, m_summary.Timestamp));
    for (const StepFile &entry : m_files) {
        QString how = QStringLiteral("recorded only");
        if (entry.embed)
            how = entry.flate ? QStringLiteral("embedded, flate, %1 bytes stored").arg(entry.stored.size())
                              : QStringLiteral("embedded as is");
        m_console.info(
            QStringLiteral("    %1 \"%2\": %3 bytes, MD5 %4, %5")
                .arg(entry.file.inputFile() ? QStringLiteral("input") : QStringLiteral("output"), entry.path,
                    QString::number(entry.size), entry.md5.isEmpty() ? QStringLiteral("none") : entry.md5, how));
    }
}

bool StepWriter::write()
{
    for (int i = 0; i < m_targets.size(); ++i) {
        if (!writeTarget(m_targets.at(i))) {
            for (int j = i - 1; j >= 0; --j)
                undo(m_targets.at(j));
            if (i > 0)
                m_console.error(QStringLiteral("the containers written before were restored"));
            return false;
        }
        m_console.info(
            QStringLiteral("appended workflow step \"%1\" to \"%2\"").arg(m_step.title(), m_targets.at(i).path));
    }
    return true;
}

bool StepWriter::writeTarget(const Target &target)
{
    traxo::ContainerWriter writer;
    bool ok = true;
    if (target.mode == TargetMode::CreateNew)
        ok = writer.create(target.path);
    else if (target.mode == TargetMode::CopyRoot)
        ok = QFile::copy(m_rootPath, target.path);
    if (!ok) {
        m_console.error(writer.errorString().isEmpty() ? QStringLiteral("cannot create \"%1\"").arg(target.path)
                                                       : writer.errorString());
        return false;
    }
    if (!writer.appendSection(target.path, m_section)) {
        m_console.error(writer.errorString());
        if (target.mode != TargetMode::AppendInPlace)
            QFile::remove(target.path);
        return false;
    }
    return true;
}

void StepWriter::undo(const Target &target)
{
    if (target.mode == TargetMode::AppendInPlace) {
        // The writer only appends, so the old container is the first
        // originalSize bytes of the new one.
        if (!QFile::resize(target.path, target.originalSize))
            m_console.error(QStringLiteral("could not restore \"%1\"; its last workflow step is the one just added, "
                                           "remove it with traxodel")
                                .arg(target.path));
    } else {
        QFile::remove(target.path);
    }
}

} // namespace traxotools
