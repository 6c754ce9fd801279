#include "argfile/traxorunner.h"

#include "argfile/libraryinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>

namespace traxo {

TraxoRunner::TraxoRunner(const QString &toolName, QObject *sink)
    : LogSource(sink)
    , m_executableName(toolName + QLatin1String(".py"))
    , m_toolName(toolName)
    , m_searchPaths { QStringLiteral(".") }
{
}

void TraxoRunner::setUsePy2Exe(bool usePy2Exe)
{
    m_usePy2Exe = usePy2Exe;
    m_executableName = m_toolName + (m_usePy2Exe ? QLatin1String(".exe") : QLatin1String(".py"));
}

QString TraxoRunner::findPython() const
{
    return QStringLiteral("python");
}

QString TraxoRunner::findTraxorun() const
{
    const QString binaryDir = getBinaryDir();
    for (const QString &path : m_searchPaths) {
        const QString found = searchInPath(binaryDir + QDir::separator() + path, m_executableName);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString TraxoRunner::searchInPath(const QString &dir, const QString &name) const
{
    const QFileInfo info(QDir(dir), name);
    return info.isFile() ? info.filePath() : QString();
}

void TraxoRunner::processOutput(const QString &text, bool final)
{
    m_pendingOutput += text;
    QString complete = m_pendingOutput;
    // A "\r" at the end of a chunk may be the first half of "\r\n": wait for
    // the next chunk rather than report an empty line in between.
    const bool holdCarriageReturn = !final && complete.endsWith(QLatin1Char('\r'));
    if (holdCarriageReturn)
        complete.chop(1);

    static const QRegularExpression lineEnd(QStringLiteral("\\r\\n|[\\n\\r]"));
    const QStringList pieces = complete.split(lineEnd);
    for (int i = 0; i < pieces.size() - 1; ++i)
        processOutputLine(pieces.at(i) + QLatin1Char('\n'));
    m_pendingOutput = pieces.last();
    if (holdCarriageReturn)
        m_pendingOutput += QLatin1Char('\r');

    if (final) {
        if (!m_pendingOutput.isEmpty())
            processOutputLine(m_pendingOutput + QLatin1Char('\n'));
        m_pendingOutput.clear();
    }
}

void TraxoRunner::processOutputLine(const QString &line)
{
    static const QLatin1String error("***ERROR");
    static const QLatin1String warning("***WARNING");
    if (line.startsWith(error))
        emitLog(line.mid(error.size()), LogError);
    else if (line.startsWith(warning))
        emitLog(line.mid(warning.size()), LogWarning);
    else
        emitLog(line, LogInfo);
}

int TraxoRunner::runTool(const QStringList &arguments, const QByteArray &input)
{
    m_pendingOutput.clear();
    const QString executable = findTraxorun();
    if (executable.isEmpty()) {
        emitLog(QStringLiteral("could not find any %1 executable\n").arg(m_toolName), LogError);
        return NoExecutable;
    }

    QString program = executable;
    QStringList programArguments = arguments;
    if (!m_usePy2Exe) {
        program = findPython();
        programArguments.prepend(executable);
    }

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, programArguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(30000)) {
        emitLog(QStringLiteral("%1 failed to start\n").arg(m_toolName), LogError);
        return NotStarted;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();

    // Stateful, so that a character split between two chunks stays whole.
    QStringDecoder decoder(QStringDecoder::System);
    while (process.state() != QProcess::NotRunning) {
        if (process.waitForReadyRead(1000)) {
            processOutput(decoder.decode(process.readAll()), false);
            emit intercept();
        }
    }
    processOutput(decoder.decode(process.readAll()), true);

    // A crash leaves no meaningful exit code; it must not pass for success.
    if (process.exitStatus() == QProcess::CrashExit) {
        emitLog(QStringLiteral("%1 crashed\n").arg(m_toolName), LogError);
        return Crashed;
    }
    emitLog(tr("Programm exited with error code: %1\n\n").arg(process.exitCode()), LogInfo);
    return process.exitCode();
}

TraxoaddRunner::TraxoaddRunner(QObject *sink)
    : TraxoRunner(QStringLiteral("traxoadd"), sink)
{
}

int TraxoaddRunner::runProcess(const QString &input)
{
    return runTool({ QStringLiteral("--stdin") }, input.toLocal8Bit());
}

TraxodelRunner::TraxodelRunner(QObject *sink)
    : TraxoRunner(QStringLiteral("traxodel"), sink)
{
}

int TraxodelRunner::runProcess(const QString &argument)
{
    return runTool({ argument }, QByteArray());
}

} // namespace traxo
