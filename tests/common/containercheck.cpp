#include "containercheck.h"

#include "container/traxoparser.h"
#include "container/validationqueue.h"

namespace testcommon {

ContainerCheck checkContainer(const QString &path)
{
    ContainerCheck check;
    traxo::TraxoParser parser(traxo::ParseTolerant);
    if (!parser.open(path))
        return check;
    check.opened = true;
    check.sections = parser.getNumSections();
    check.files = parser.getNumFiles();
    check.sectionless = int(parser.getSectionlessFiles().size());
    traxo::ValidationQueue queue(&parser, 8 << 20);
    int checked = 0;
    const auto count = [&](int, bool valid) {
        ++checked;
        if (!valid)
            ++check.invalid;
    };
    QObject::connect(&queue, &traxo::ValidationQueue::sectionProcessed, count);
    QObject::connect(&queue, &traxo::ValidationQueue::fileProcessed, count);
    queue.repopulate(&parser);
    while (queue.process()) { }
    // Whatever was queued but never reported counts as invalid.
    check.invalid += check.sections + check.files - checked;
    return check;
}

} // namespace testcommon
