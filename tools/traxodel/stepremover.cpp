#include "stepremover.h"

#include "toolconsole.h"

#include "container/traxoparser.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace traxotools {

StepRemover::StepRemover(ToolConsole &console)
    : m_console(console)
    , m_locks(console)
{
}

QStringList StepRemover::containersFromArguments(const QStringList &arguments)
{
    static const QRegularExpression step(
        QStringLiteral("<DelWorkflowStep>(.*?)</DelWorkflowStep>"), QRegularExpression::DotMatchesEverythingOption);
    QStringList containers;
    for (const QString &argument : arguments) {
        if (!argument.contains(QLatin1String("<DelWorkflowStep>"))) {
            containers << argument;
            continue;
        }
        QRegularExpressionMatchIterator it = step.globalMatch(argument);
        while (it.hasNext())
            containers << it.next().captured(1);
    }
    return containers;
}

bool StepRemover::prepare(const QStringList &containers)
{
    const int errorsBefore = m_console.errorCount();
    if (containers.isEmpty())
        m_console.error(QStringLiteral("no container given"));
    QStringList existing;
    for (const QString &path : containers) {
        if (QFileInfo(path).isFile())
            existing << path;
    }
    if (m_console.errorCount() != errorsBefore || !m_locks.lock(existing))
        return false;
    for (const QString &path : containers)
        prepareContainer(path);
    return m_console.errorCount() == errorsBefore;
}

bool StepRemover::prepareContainer(const QString &path)
{
    const QFileInfo info(path);
    for (const Cut &cut : std::as_const(m_cuts)) {
        if (cut.path == info.absoluteFilePath()) {
            m_console.warning(QStringLiteral("\"%1\" is named twice; one step is removed").arg(path));
            return true;
        }
    }
    if (!info.isFile()) {
        m_console.error(QStringLiteral("container \"%1\" does not exist").arg(path));
        return false;
    }
    traxo::TraxoParser parser;
    if (!parser.open(info.absoluteFilePath())) {
        m_console.error(QStringLiteral("\"%1\" is not a container: no header line in its first ten lines").arg(path));
        return false;
    }
    const QSharedPointer<traxo::SectionTag> newest = parser.getSection(0);
    if (!newest) {
        m_console.error(QStringLiteral("\"%1\" holds no workflow step to remove").arg(path));
        return false;
    }
    const qint64 start = qint64(newest->position) - newest->left;
    const qint64 end = start + newest->size;
    // Anything after the newest section (loose files, another program's
    // additions) would be lost with it, so such a container is left alone;
    // only the trailer pointer that a PDF gets after each step may follow.
    static const QRegularExpression trailerPointer(QStringLiteral("\\Astartxref\r?\n[0-9]+\r?\n%%EOF\r?\n?\\z"));
    const qint64 after = info.size() - end;
    const bool onlyTrailer = after == 0
        || (after > 0 && after < 64
            && trailerPointer.match(QString::fromLatin1(parser.getBytes(end, after))).hasMatch());
    if (start < 0 || end > info.size() || !onlyTrailer) {
        m_console.error(QStringLiteral("the newest workflow step of \"%1\" is not at the end of the file; "
                                       "nothing is removed")
                            .arg(path));
        return false;
    }
    m_cuts << Cut { info.absoluteFilePath(), start, newest->title };
    return true;
}

void StepRemover::pretend() const
{
    m_console.info(QStringLiteral("pretending: nothing is removed"));
    for (const Cut &cut : m_cuts)
        m_console.info(QStringLiteral("would remove workflow step \"%1\" from \"%2\", keeping %3 bytes")
                           .arg(cut.title, cut.path, QString::number(cut.keep)));
}

bool StepRemover::remove()
{
    // Cutting is one system call, so a reader or a killed traxodel sees the
    // container with or without the step, never in between.
    for (const Cut &cut : std::as_const(m_cuts)) {
        if (!QFile::resize(cut.path, cut.keep)) {
            m_console.error(QStringLiteral("cannot cut back \"%1\"").arg(cut.path));
            return false;
        }
        m_console.info(QStringLiteral("removed workflow step \"%1\" from \"%2\"").arg(cut.title, cut.path));
    }
    return true;
}

} // namespace traxotools
