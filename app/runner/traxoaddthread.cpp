#include "traxoaddthread.h"

#include "frame/traxobench.h"
#include "frame/utilities.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace {

const QString scriptName = QStringLiteral("traxoadd.py");

// Position just after the last complete line end of text, 0 when there is
// none. A carriage return at the very end may still be the first half of
// "\r\n", so it does not count yet.
int completeLinesLength(const QString &text)
{
    for (int i = text.size() - 1; i >= 0; --i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('\n'))
            return i + 1;
        if (ch == QLatin1Char('\r') && i < text.size() - 1)
            return i + 1;
    }
    return 0;
}

QString convertLine(const QString &line)
{
    static const QString indent = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;");
    if (line.startsWith(QLatin1String("***ERROR")))
        return makeRed(line);
    if (line.startsWith(QLatin1String("***WARNING")))
        return makeOrange(line);
    if (line.startsWith(QLatin1String("        ")))
        return indent + indent + escapeHtml(line);
    if (line.startsWith(QLatin1String("    ")))
        return indent + escapeHtml(line);
    // Tool output is text, never markup: a file name with "<" must show as is.
    return escapeHtml(line);
}

} // namespace

TraxoaddThread::TraxoaddThread(QObject *parent)
    : QThread(parent)
    , m_binaryDir(getBinaryDir())
    , m_applicationDir(getApplicationDir())
{
}

TraxoaddThread::~TraxoaddThread()
{
    stop();
}

void TraxoaddThread::init(const QString &argfile, const QString &cwd)
{
    m_argfile = argfile;
    m_cwd = cwd;
}

void TraxoaddThread::setScriptDirectories(const QString &binaryDir, const QString &applicationDir)
{
    m_binaryDir = binaryDir;
    m_applicationDir = applicationDir;
}

QString TraxoaddThread::locateScript(const QString &binaryDir, const QString &applicationDir)
{
    const QStringList candidates = {
        binaryDir + QStringLiteral("/../traxo-src/bin/") + scriptName,
        applicationDir + QLatin1Char('/') + scriptName,
    };
    for (const QString &candidate : candidates) {
        if (!binaryDir.isEmpty() && QFileInfo(candidate).isFile())
            return QFileInfo(candidate).absoluteFilePath();
    }
    return QString();
}

QString TraxoaddThread::parseOutput(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|[\n\r]"));
    static const QString newline = escapeHtml(QStringLiteral("\n"));
    const QStringList lines = text.split(lineEnd);
    QString html;
    for (int i = 0; i < lines.size(); ++i) {
        if (i == lines.size() - 1 && lines.at(i).isEmpty())
            break;
        html += convertLine(lines.at(i)) + newline;
    }
    return html;
}

void TraxoaddThread::stop()
{
    if (!isRunning())
        return;
    requestInterruption();
    wait();
}

void TraxoaddThread::run()
{
    runProcess();
}

void TraxoaddThread::runProcess()
{
    QString output;
    const QString script = locateScript(m_binaryDir, m_applicationDir);
    if (script.isEmpty()) {
        output += makeRed(QStringLiteral("could not find any traxoadd executable"));
        emit outputUpdated(output);
        return;
    }

    output += makeBold(QStringLiteral("Setting working directory to \"%1\"...\n").arg(m_cwd));
    // QProcess only says "failed to start" for a missing working directory.
    if (!m_cwd.isEmpty() && !QFileInfo(m_cwd).isDir()) {
        output += makeRed(QStringLiteral("The working directory \"%1\" does not exist or is not a directory; "
                                         "traxoadd was not started.\n")
                              .arg(escapeHtml(QDir::toNativeSeparators(m_cwd))));
        emit outputUpdated(output);
        return;
    }
    QProcess process;
    process.setWorkingDirectory(m_cwd);
    output += makeBold(QStringLiteral("running traxoadd...\n"));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("python"), { script, QStringLiteral("-c"), m_argfile }, QIODevice::ReadWrite);
    if (!process.waitForStarted(30000)) {
        // A start that timed out is a failure as well, not an empty success.
        process.kill();
        process.waitForFinished(1000);
        output += makeRed(QStringLiteral("traxoadd could not be started and failed with errorcode: %1. Please contact ")
                              .arg(int(process.error())))
            + QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(escapeHtml(TRAXOBENCH_EMAIL));
        emit outputUpdated(output);
        return;
    }
    process.closeWriteChannel();
    emit outputUpdated(output);

    // Only whole lines are converted while the tool runs, so a line read in
    // two chunks is still recognised as an error or warning.
    QString pending;
    while (process.state() != QProcess::NotRunning) {
        if (isInterruptionRequested()) {
            process.kill();
            process.waitForFinished(-1);
            return;
        }
        process.waitForReadyRead(100);
        const QByteArray chunk = process.readAll();
        if (chunk.isEmpty())
            continue;
        pending += QString::fromLocal8Bit(chunk);
        const int complete = completeLinesLength(pending);
        if (complete == 0)
            continue;
        output += parseOutput(pending.left(complete));
        pending.remove(0, complete);
        emit outputUpdated(output);
    }

    pending += QString::fromLocal8Bit(process.readAll());
    output += parseOutput(pending);
    if (process.exitStatus() == QProcess::CrashExit)
        output += makeRed(QStringLiteral("traxoadd ended abnormally\n"));
    output += makeBold(QStringLiteral("Programm exited with error code: %1\n").arg(process.exitCode()));
    emit outputUpdated(output);
}
