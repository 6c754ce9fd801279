#include "stepremover.h"

#include "toolconsole.h"

#include "container/traxoparser.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace traxotools {

StepRemover::StepRemover(ToolConsole &console)
    : m_console(console)
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
    // additions) would be lost with it, so such a container is left alone.
    if (start < 0 || end != info.size()) {
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
    for (const Cut &cut : std::as_const(m_cuts)) {
        QFile in(cut.path);
        QSaveFile out(cut.path);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
            m_console.error(QStringLiteral("cannot rewrite \"%1\"").arg(cut.path));
            return false;
        }
        qint64 left = cut.keep;
        while (left > 0) {
            const QByteArray chunk = in.read(qMin<qint64>(left, 1 << 20));
            if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
                out.cancelWriting();
                m_console.error(QStringLiteral("cannot rewrite \"%1\": %2").arg(cut.path, out.errorString()));
                return false;
            }
            left -= chunk.size();
        }
        if (!out.commit()) {
            m_console.error(QStringLiteral("cannot rewrite \"%1\": %2").arg(cut.path, out.errorString()));
            return false;
        }
        m_console.info(QStringLiteral("removed workflow step \"%1\" from \"%2\"").arg(cut.title, cut.path));
    }
    return true;
}

} // namespace traxotools
