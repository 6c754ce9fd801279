#ifndef TRAXO_VSETTINGS_H
#define TRAXO_VSETTINGS_H

#include <QString>

// The host name as printed by the "hostname" program, or "unknown" when it
// does not answer within 30 s. Asked once per process: every settings access
// needs it, and a child process per access would make the windows sluggish.
QString getComputerName();

// The identity under which all persistent settings are stored. The host name
// is part of it, so machines sharing one home directory keep their own
// settings.
class VSettings
{
public:
    static QString getOrganization();
    static QString getApplication();

    // Replaces the host name for the rest of the process; an empty name asks
    // "hostname" again. Lets tests act as two machines sharing one store.
    static void overrideComputerName(const QString &name);
};

#endif
