#ifndef TRAXO_CONTAINERCHECK_H
#define TRAXO_CONTAINERCHECK_H

#include <QString>

namespace testcommon {

// What a reader makes of a container: its sections and embedded files, each
// checked against its MD5 checksum as the viewer does.
struct ContainerCheck
{
    bool opened = false;
    int sections = 0;
    int files = 0;
    int sectionless = 0; // embedded files that lie in no section
    int invalid = 0; // sections and files whose checksum does not match
};

ContainerCheck checkContainer(const QString &path);

} // namespace testcommon

#endif
