#include "stepwriter.h"

#include "pdfpreparer.h"
#include "toolconsole.h"

#include "container/containerlock.h"
#include "container/md5hash.h"
#include "container/traxoparser.h"
#include "summary/summarywriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace traxotools {

namespace {

// Inputs are read in chunks of this size, so memory stays small whatever
// their size.
constexpr qint64 ChunkSize = 4 << 20;

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

// The name under which a new container is written before it takes its
// place: hidden, beside it, and only ever used by the holder of its lock.
QString temporaryPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".traxoadd-new"));
}

bool copyFile(const QString &from, const QString &to, QString *error)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot read \"%1\": %2").arg(from, in.errorString());
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot create \"%1\": %2").arg(to, out.errorString());
        return false;
    }
    QByteArray buffer(ChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = in.read(buffer.data(), buffer.size());
        if (count < 0) {
            *error = QStringLiteral("cannot read \"%1\": %2").arg(from, in.errorString());
            return false;
        }
        if (count == 0)
            return true;
        if (out.write(buffer.constData(), count) != count) {
            *error = QStringLiteral("cannot write \"%1\": %2").arg(to, out.errorString());
            return false;
        }
    }
}

} // namespace

StepWriter::StepWriter(const traxo::ArgFile &step, ToolConsole &console)
    : m_step(step)
    , m_console(console)
    , m_locks(console)
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

    if (m_console.errorCount() != errorsBefore || !lockContainers())
        return false;
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

bool StepWriter::hasDocumentInfo() const
{
    return !(m_step.pdfTitle().isEmpty() && m_step.pdfAuthor().isEmpty() && m_step.pdfSubject().isEmpty()
        && m_step.pdfKeywords().isEmpty() && m_step.pdfCreator().isEmpty() && m_step.pdfProducer().isEmpty());
}

bool StepWriter::lockContainers()
{
    QStringList containers;
    for (int i = 0; i < m_step.numOutputTraxofiles(); ++i) {
        // A container in a missing directory is refused by prepareTarget().
        if (QFileInfo(m_step.outputTraxofile(i)).absoluteDir().exists())
            containers << m_step.outputTraxofile(i);
    }
    // The root is copied into new containers: no writer may append to it
    // meanwhile.
    if (!m_step.rootfile().isEmpty() && QFileInfo(m_step.rootfile()).isFile())
        containers << m_step.rootfile();
    return m_locks.lock(containers);
}

bool StepWriter::isOutputPdf(const QFileInfo &info) const
{
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly) || file.read(5) != "%PDF-")
        return false;
    for (int i = 0; i < m_step.numOutputTraxofiles(); ++i) {
        if (QFileInfo(m_step.outputTraxofile(i)).canonicalFilePath() == info.canonicalFilePath())
            return true;
    }
    return false;
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
    if (info.isFile() && !parser.open(info.absoluteFilePath()) && isOutputPdf(info)) {
        // "-A paper.pdf" on an ordinary PDF: its history starts with this step.
        return true;
    }
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
    entry.flate = entry.embed && file.compress();

    // An embedded file gets its checksum while it is stored, so it is read
    // once; a described one is read here, and a checksum file is checked
    // against the content in either case.
    if ((file.autoMD5() && !entry.embed) || !file.md5File().isEmpty()) {
        if (!computeMd5(entry))
            return false;
    }
    if (!file.md5File().isEmpty() && !readMd5File(entry))
        return false;
    m_files << entry;
    return true;
}

bool StepWriter::computeMd5(StepFile &entry) const
{
    QFile in(entry.absolutePath);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_console.error(QStringLiteral("cannot read \"%1\": %2").arg(entry.path, in.errorString()));
        return false;
    }
    traxo::Md5Hash hash;
    // Pieces that stay in the processor's cache while they are hashed.
    QByteArray buffer(64 << 10, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 count = in.read(buffer.data(), buffer.size());
        if (count < 0) {
            m_console.error(QStringLiteral("cannot read \"%1\": %2").arg(entry.path, in.errorString()));
            return false;
        }
        if (count == 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), count));
        total += count;
    }
    if (total != entry.size) {
        m_console.error(QStringLiteral("cannot read \"%1\" whole: it changed while being read").arg(entry.path));
        return false;
    }
    entry.md5 = hash.hexResult();
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
    bool pdf = info.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    if (info.isFile()) {
        QFile file(absolute);
        pdf = pdf || (file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
    }

    Target target;
    target.path = absolute;
    if (info.exists()) {
        traxo::TraxoParser parser;
        if (info.isFile() && pdf && !parser.open(absolute)) {
            // An ordinary PDF gets its history through one rewrite.
            QString error;
            if (!PdfPreparer::check(path, &error)) {
                m_console.error(error);
                return false;
            }
            if (!m_rootPath.isEmpty()) {
                m_console.error(QStringLiteral("PDF \"%1\" has no history to continue the one of \"%2\"; append to "
                                               "it without -I or -J")
                                    .arg(path, m_step.rootfile()));
                return false;
            }
            target.mode = TargetMode::RewritePdf;
            target.originalSize = info.size();
            m_targets << target;
            return true;
        }
        if (!info.isFile() || !parser.open(absolute)) {
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
        if (pdf && hasDocumentInfo())
            m_console.warning(QStringLiteral("\"%1\" already carries a history: the document properties are recorded "
                                             "in the step, its information dictionary is left as it is")
                                  .arg(path));
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
        f.UncompressedSize = entry.size;
        f.UncompressedMD5 = entry.md5;
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
            stored.sourcePath = entry.absolutePath;
            stored.sourceSize = entry.size;
            stored.compression = entry.flate ? traxo::ContainerWriter::Flate : traxo::ContainerWriter::None;
            m_section.files << stored;
        }
    }
    m_section.summary = traxo::SummaryWriter::writeSummaryUtf8(s);
    m_section.summaryBuilder
        = [this](const QList<traxo::ContainerWriter::StoredFile> &stored) { return summaryOfStoredFiles(stored); };
}

QByteArray StepWriter::summaryOfStoredFiles(const QList<traxo::ContainerWriter::StoredFile> &stored)
{
    // The embedded files were stored in the order of the step's files.
    traxo::Summary s = m_summary;
    qsizetype next = 0;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (!m_files.at(i).embed)
            continue;
        if (next >= stored.size())
            return {};
        const traxo::ContainerWriter::StoredFile &file = stored.at(next++);
        traxo::FileSummary &f = s.files[i];
        if (!f.UncompressedMD5.isEmpty() && f.UncompressedMD5 != file.md5file) {
            m_console.error(QStringLiteral("\"%1\" changed while it was recorded").arg(m_files.at(i).path));
            return {};
        }
        if (file.compression == traxo::ContainerWriter::Flate && !m_files.at(i).flate)
            m_console.warning(QStringLiteral("\"%1\" holds container marker text and is stored compressed, so that "
                                             "it cannot be mistaken for markers of the output container")
                                  .arg(m_files.at(i).path));
        f.UncompressedSize = file.filesize;
        f.UncompressedMD5 = file.md5file;
        f.CompressedMethod
            = file.compression == traxo::ContainerWriter::Flate ? QStringLiteral("flate") : QStringLiteral("none");
        f.CompressedSize = file.cfilesize;
        f.CompressedMD5 = file.md5cfile;
    }
    return traxo::SummaryWriter::writeSummaryUtf8(s);
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
        case TargetMode::RewritePdf:
            m_console.info(QStringLiteral("would give the PDF \"%1\" the container header line and append the step")
                               .arg(target.path));
            break;
        }
    }
    m_console.info(QStringLiteral("step \"%1\" by %2 on %3 at %4")
                       .arg(m_summary.Title, m_summary.User, m_summary.Host, m_summary.Timestamp));
    for (StepFile entry : m_files) {
        if (entry.md5.isEmpty() && entry.embed)
            computeMd5(entry);
        QString how = QStringLiteral("recorded only");
        if (entry.embed)
            how = entry.flate ? QStringLiteral("embedded, flate") : QStringLiteral("embedded as is");
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
    if (target.mode != TargetMode::AppendInPlace)
        return writeNewContainer(target, writer);
    writer.setLock(m_locks.lockFor(target.path));
    if (!writer.appendSection(target.path, m_section)) {
        m_console.error(writer.errorString());
        return false;
    }
    return true;
}

bool StepWriter::writeNewContainer(const Target &target, traxo::ContainerWriter &writer)
{
    // A new container is written under a temporary name and renamed into
    // place, so nobody ever sees it half written; the lock's journal names
    // the temporary file, so that a killed writer's is removed.
    traxo::ContainerLock *lock = m_locks.lockFor(target.path);
    const QString temporary = temporaryPath(target.path);
    QFile::remove(temporary);
    if (lock && !lock->beginTemporary(temporary)) {
        m_console.error(lock->errorString());
        return false;
    }
    QString error;
    bool ok = false;
    if (target.mode == TargetMode::CopyRoot) {
        ok = copyFile(m_rootPath, temporary, &error);
    } else if (target.mode == TargetMode::RewritePdf) {
        PdfPreparer::DocumentInfo info;
        info.title = m_step.pdfTitle();
        info.author = m_step.pdfAuthor();
        info.subject = m_step.pdfSubject();
        info.keywords = m_step.pdfKeywords();
        info.creator = m_step.pdfCreator();
        info.producer = m_step.pdfProducer();
        ok = PdfPreparer::rewrite(target.path, temporary, info, &error)
            && QFile::setPermissions(temporary, QFile::permissions(target.path));
    } else {
        ok = writer.create(temporary);
    }
    if (ok && !writer.appendSection(temporary, m_section))
        ok = false;
    if (ok && target.mode != TargetMode::RewritePdf && QFileInfo::exists(target.path)) {
        error = QStringLiteral("\"%1\" appeared while the step was written; it is left as it is").arg(target.path);
        ok = false;
    }
    if (ok && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target.path).constData()) != 0) {
        error = QStringLiteral("cannot create \"%1\": %2").arg(target.path, QString::fromLocal8Bit(strerror(errno)));
        ok = false;
    }
    if (!ok) {
        m_console.error(error.isEmpty() ? writer.errorString() : error);
        QFile::remove(temporary);
    }
    if (lock)
        lock->finish();
    return ok;
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
