#include "helpviewer.h"

#include "shared/paths.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace {
HelpViewer *theHelpViewer = nullptr;
const QString docScheme = QStringLiteral("doc://");
} // namespace

HelpViewer::HelpViewer(QObject *parent)
    : QObject(parent)
{
}

HelpViewer::~HelpViewer()
{
    if (theHelpViewer == this)
        theHelpViewer = nullptr;
}

HelpViewer *HelpViewer::globalInstance()
{
    return theHelpViewer;
}

void HelpViewer::setGlobalInstance(HelpViewer *viewer)
{
    theHelpViewer = viewer;
}

void HelpViewer::globalOpenPage(const QString &page, const QString &anchor)
{
    if (theHelpViewer)
        theHelpViewer->openPage(page, anchor);
}

bool HelpViewer::openDocLink(const QString &link)
{
    if (!link.startsWith(docScheme))
        return false;
    const QString rest = link.mid(docScheme.size());
    const int hash = rest.indexOf(QLatin1Char('#'));
    if (hash < 0)
        globalOpenPage(rest);
    else
        globalOpenPage(rest.left(hash), rest.mid(hash + 1));
    return true;
}

QString HelpViewer::getDocPath(const QString &page)
{
    return makePathCanonical(joinPaths(getDocDir(), page));
}

void HelpViewer::openPage(const QString &page, const QString &anchor)
{
    const QString path = getDocPath(page);
    if (path.isEmpty())
        return;
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    if (!openUrl(url))
        viewError(tr("The help page \"%1\" could not be handed to a web browser.").arg(path));
}

void HelpViewer::viewError(const QString &message)
{
    QMessageBox::warning(nullptr, tr("Online Documentation"), message);
}

bool HelpViewer::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
