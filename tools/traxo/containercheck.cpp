#include "containercheck.h"

#include "container/traxoparser.h"
#include "container/validationqueue.h"

#include <QHash>
#include <QJsonArray>
#include <QStringList>

ContainerCheck ContainerCheck::run(const QString &path, bool oneThread)
{
    ContainerCheck check;
    check.m_path = path;
    traxo::TraxoParser parser(traxo::ParseTolerant);
    if (!parser.open(path))
        return check;

    QHash<int, bool> sectionValid;
    QHash<int, bool> fileValid;
    traxo::ValidationQueue queue(&parser);
    queue.setSpread(oneThread ? traxo::ValidationSweep::Spread::OneThread : traxo::ValidationSweep::Spread::Auto);
    QObject::connect(&queue, &traxo::ValidationQueue::sectionProcessed,
        [&sectionValid](int id, bool valid) { sectionValid.insert(id, valid); });
    QObject::connect(&queue, &traxo::ValidationQueue::fileProcessed,
        [&fileValid](int id, bool valid) { fileValid.insert(id, valid); });
    queue.repopulate(&parser);
    while (queue.process()) { }

    check.m_verdict = Valid;
    // Oldest section first, as the history reads.
    const QList<traxo::SectionTag> sections = parser.getSections();
    for (auto it = sections.crbegin(); it != sections.crend(); ++it) {
        // A section the queue never reported could not be read.
        const bool valid = sectionValid.value(it->id, false);
        check.m_entries.append(Entry { true, it->id, it->title, valid });
        if (!valid)
            check.m_verdict = Invalid;
    }
    for (const traxo::FileTag &file : parser.getFiles()) {
        const bool valid = fileValid.value(file.id, false);
        check.m_entries.append(Entry { false, file.id, file.filename, valid });
        if (!valid)
            check.m_verdict = Invalid;
    }
    return check;
}

QString ContainerCheck::verdictLine() const
{
    if (m_verdict == Unreadable)
        return m_path + QStringLiteral(": not a readable container");
    int sections = 0;
    QStringList failed;
    for (const Entry &entry : m_entries) {
        sections += entry.isSection ? 1 : 0;
        if (!entry.valid)
            failed << QStringLiteral("%1 %2 \"%3\"")
                          .arg(entry.isSection ? QStringLiteral("section") : QStringLiteral("file"))
                          .arg(entry.id)
                          .arg(entry.name);
    }
    if (m_verdict == Invalid)
        return m_path + QStringLiteral(": INVALID: ") + failed.join(QStringLiteral(", "));
    return m_path + QStringLiteral(": valid (%1 sections, %2 files)").arg(sections).arg(m_entries.size() - sections);
}

QJsonObject ContainerCheck::toJson() const
{
    QJsonArray sections;
    QJsonArray files;
    for (const Entry &entry : m_entries) {
        const QJsonObject object { { QStringLiteral("id"), entry.id }, { QStringLiteral("name"), entry.name },
            { QStringLiteral("valid"), entry.valid } };
        (entry.isSection ? sections : files).append(object);
    }
    QJsonObject result { { QStringLiteral("file"), m_path }, { QStringLiteral("valid"), m_verdict == Valid },
        { QStringLiteral("sections"), sections }, { QStringLiteral("files"), files } };
    if (m_verdict == Unreadable)
        result.insert(QStringLiteral("error"), QStringLiteral("not a readable container"));
    return result;
}
