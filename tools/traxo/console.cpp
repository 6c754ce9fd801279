#include "console.h"

#include <unistd.h>

namespace {

// The note that the offscreen platform has no runtime folder concerns
// nobody here.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fputs(("traxo: " + message + QLatin1Char('\n')).toUtf8().constData(), stderr);
}

} // namespace

void Console::installMessageHandler()
{
    qInstallMessageHandler(messageHandler);
}

Console::Console(FILE *out, FILE *err)
    : m_out(out)
    , m_err(err)
    , m_outIsTerminal(::isatty(fileno(out)) == 1)
    , m_errIsTerminal(::isatty(fileno(err)) == 1)
{
}

void Console::write(const QString &text)
{
    writeBytes(text.toUtf8());
}

void Console::writeLine(const QString &text)
{
    writeBytes((text + QLatin1Char('\n')).toUtf8());
}

void Console::writeBytes(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    // A person sees each result at once; a pipe gets full buffers, as from
    // grep (a write per hit cost more than checking a small container).
    if (m_outIsTerminal)
        std::fflush(m_out);
}

void Console::error(const QString &text)
{
    clearProgress();
    // Results written before the error come before it where both streams
    // meet (2>&1).
    std::fflush(m_out);
    const QByteArray bytes = (QStringLiteral("traxo: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
}

void Console::warning(const QString &text)
{
    error(QStringLiteral("warning: ") + text);
}

void Console::progress(const QString &text)
{
    if (!m_errIsTerminal)
        return;
    // "\r" and erase-to-end keep one line that each update replaces.
    const QByteArray bytes = ("\r" + text.toUtf8() + "\x1b[K");
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
    m_progressShown = true;
}

void Console::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\x1b[K", m_err);
    std::fflush(m_err);
    m_progressShown = false;
}
