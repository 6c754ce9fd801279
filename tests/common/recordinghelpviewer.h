#ifndef TRAXO_RECORDINGHELPVIEWER_H
#define TRAXO_RECORDINGHELPVIEWER_H

#include "frame/helpviewer.h"

#include <QList>
#include <QUrl>

// A help viewer that remembers what would have gone to the desktop's
// browser, for application tests only.
class RecordingHelpViewer : public HelpViewer
{
public:
    QList<QUrl> opened;

protected:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
};

#endif
