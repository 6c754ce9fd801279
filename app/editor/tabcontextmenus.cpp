#include "tabcontextmenus.h"

#include "argfile/wsfile.h"

#include <QCursor>

namespace {

// A checkable action whose mark is set only by the form: triggering it undoes
// Qt's own toggle and asks the form, which answers through a do-slot. A control
// that refuses (disabled, say) therefore leaves the mark where it was.
template<typename Menu, typename Signal>
QAction *addCheckable(Menu *menu, const QString &text, Signal signal, bool checked = false)
{
    QAction *action = menu->addAction(text);
    action->setCheckable(true);
    action->setChecked(checked);
    QObject::connect(action, &QAction::triggered, menu, [menu, action, signal](bool nowChecked) {
        action->setChecked(!nowChecked);
        emit(menu->*signal)();
    });
    return action;
}

template<typename Menu, typename Signal>
QAction *addPlain(Menu *menu, const QString &text, Signal signal)
{
    QAction *action = menu->addAction(text);
    QObject::connect(action, &QAction::triggered, menu, signal);
    return action;
}

void checkOne(QAction *chosen, std::initializer_list<QAction *> group)
{
    for (QAction *action : group)
        action->setChecked(action == chosen);
}

} // namespace

MainTabContextMenu::MainTabContextMenu(QWidget *parent)
    : QMenu(parent)
{
    addPlain(this, tr("&Browse"), &MainTabContextMenu::toolBrowserChosen);
    addSeparator();
    m_normal = addCheckable(this, tr("&Normal"), &MainTabContextMenu::normalChosen, true);
    m_quiet = addCheckable(this, tr("&Quiet"), &MainTabContextMenu::quietChosen);
    m_verbose = addCheckable(this, tr("&Verbose"), &MainTabContextMenu::verboseChosen);
    addSeparator();
    m_pretend = addCheckable(this, tr("&Pretend"), &MainTabContextMenu::pretendChosen);
}

void MainTabContextMenu::exec()
{
    QMenu::exec(QCursor::pos());
}

void MainTabContextMenu::doNormal()
{
    checkVerbosity(m_normal);
}

void MainTabContextMenu::doQuiet()
{
    checkVerbosity(m_quiet);
}

void MainTabContextMenu::doVerbose()
{
    checkVerbosity(m_verbose);
}

void MainTabContextMenu::doPretend(bool checked)
{
    m_pretend->setChecked(checked);
}

void MainTabContextMenu::checkVerbosity(QAction *chosen)
{
    checkOne(chosen, { m_normal, m_quiet, m_verbose });
}

InOutTabContextMenu::InOutTabContextMenu(QWidget *parent)
    : QMenu(parent)
{
    m_browse = addPlain(this, tr("&Browse..."), &InOutTabContextMenu::fileBrowserChosen);
    m_add = addPlain(this, tr("&Add File"), &InOutTabContextMenu::addFileChosen);
    m_remove = addPlain(this, tr("&Remove File"), &InOutTabContextMenu::removeFileChosen);
    m_duplicate = addPlain(this, tr("&Duplicate File"), &InOutTabContextMenu::duplicateFileChosen);
    m_removeAll = addPlain(this, tr("&Remove All Files"), &InOutTabContextMenu::removeAllFilesChosen);
    addSeparator();
    m_embed = addCheckable(this, tr("&Embed File"), &InOutTabContextMenu::embedChosen);
    m_calculate = addCheckable(this, tr("&Calculate MD5"), &InOutTabContextMenu::calculateChosen);
    m_optional = addCheckable(this, tr("&Optional"), &InOutTabContextMenu::optionalChosen);
    m_previewWS = addCheckable(this, tr("&Preview WS"), &InOutTabContextMenu::previewWSChosen);
    m_preview = addCheckable(this, tr("&Preview"), &InOutTabContextMenu::previewChosen);
    m_thumbnail = addCheckable(this, tr("&Thumbnail"), &InOutTabContextMenu::thumbnailChosen);
    addSeparator();
    m_purpose = addAction(tr("&Change To Output File"));
    connect(m_purpose, &QAction::triggered, this, [this] {
        if (m_purposeMakesOutput)
            emit toOutputChosen();
        else
            emit toInputChosen();
    });
    setFileOperations(false);
}

void InOutTabContextMenu::exec()
{
    QMenu::exec(QCursor::pos());
}

void InOutTabContextMenu::setFileOperations(bool enabled)
{
    for (QAction *action : { m_browse, m_remove, m_duplicate, m_removeAll, m_embed, m_calculate, m_optional,
             m_previewWS, m_preview, m_thumbnail, m_purpose })
        action->setEnabled(enabled);
}

void InOutTabContextMenu::adjustCheckStates(const traxo::WSFile *file)
{
    m_calculate->setChecked(file && file->autoMD5());
    m_embed->setChecked(file && file->embed());
    m_optional->setChecked(file && file->optional());
    m_previewWS->setChecked(file && file->previewWS());
    m_preview->setChecked(file && file->preview());
    m_thumbnail->setChecked(file && file->thumbnail());
}

void InOutTabContextMenu::doEmbed(bool checked)
{
    m_embed->setChecked(checked);
}

void InOutTabContextMenu::doCalculate(bool checked)
{
    m_calculate->setChecked(checked);
}

void InOutTabContextMenu::doOptional(bool checked)
{
    m_optional->setChecked(checked);
}

void InOutTabContextMenu::doPreviewWS(bool checked)
{
    m_previewWS->setChecked(checked);
}

void InOutTabContextMenu::doPreview(bool checked)
{
    m_preview->setChecked(checked);
}

void InOutTabContextMenu::doThumbnail(bool checked)
{
    m_thumbnail->setChecked(checked);
}

void InOutTabContextMenu::doInput()
{
    m_purposeMakesOutput = true;
    m_purpose->setText(tr("&Change To Output File"));
}

void InOutTabContextMenu::doOutput()
{
    m_purposeMakesOutput = false;
    m_purpose->setText(tr("&Change To Input File"));
}

TraxoFilesTabContextMenu::TraxoFilesTabContextMenu(QWidget *parent)
    : QMenu(parent)
{
    m_append = addCheckable(this, tr("&Append"), &TraxoFilesTabContextMenu::appendChosen, true);
    m_none = addCheckable(this, tr("&None"), &TraxoFilesTabContextMenu::noneChosen);
    m_optional = addCheckable(this, tr("&Optional"), &TraxoFilesTabContextMenu::optionalChosen);
    addSeparator();
    m_firstInput = addCheckable(this, tr("&First Input File"), &TraxoFilesTabContextMenu::firstInputChosen, true);
    m_userSpec
        = addCheckable(this, tr("&File With Userspecified Path and Name"), &TraxoFilesTabContextMenu::userSpecChosen);
    addSeparator();
    m_firstOutput = addCheckable(this, tr("&First Output File"), &TraxoFilesTabContextMenu::firstOutputChosen, true);
    m_oneForEach
        = addCheckable(this, tr("&One For Each Output File Action"), &TraxoFilesTabContextMenu::oneForEachChosen);
    m_outputUserSpec = addCheckable(this, tr("&One Traxo File With User Specified Path And Name "),
        &TraxoFilesTabContextMenu::outputUserSpecChosen);
    updateEnabled();
}

void TraxoFilesTabContextMenu::exec()
{
    QMenu::exec(QCursor::pos());
}

void TraxoFilesTabContextMenu::doAppend(bool checked)
{
    m_append->setChecked(checked);
    updateEnabled();
}

void TraxoFilesTabContextMenu::doNone(bool checked)
{
    m_none->setChecked(checked);
    updateEnabled();
}

void TraxoFilesTabContextMenu::doOptional(bool checked)
{
    m_optional->setChecked(checked);
}

void TraxoFilesTabContextMenu::doFirstInput()
{
    checkOne(m_firstInput, { m_firstInput, m_userSpec });
}

void TraxoFilesTabContextMenu::doUserSpec()
{
    checkOne(m_userSpec, { m_firstInput, m_userSpec });
}

void TraxoFilesTabContextMenu::doFirstOutput()
{
    checkOne(m_firstOutput, { m_firstOutput, m_oneForEach, m_outputUserSpec });
}

void TraxoFilesTabContextMenu::doOneForEach()
{
    checkOne(m_oneForEach, { m_firstOutput, m_oneForEach, m_outputUserSpec });
}

void TraxoFilesTabContextMenu::doOutputUserSpec()
{
    checkOne(m_outputUserSpec, { m_firstOutput, m_oneForEach, m_outputUserSpec });
}

// Appending writes into the root chosen before it was checked, so neither the
// root nor the storage choice is open then; "none" has no root to choose or to
// excuse.
void TraxoFilesTabContextMenu::updateEnabled()
{
    const bool append = m_append->isChecked();
    const bool none = m_none->isChecked();
    m_none->setEnabled(!append);
    m_optional->setEnabled(!none || append);
    m_firstInput->setEnabled(!append && !none);
    m_userSpec->setEnabled(!append && !none);
    m_firstOutput->setEnabled(!append);
    m_oneForEach->setEnabled(!append);
    m_outputUserSpec->setEnabled(!append);
}

ExportTabContextMenu::ExportTabContextMenu(QWidget *parent)
    : QMenu(parent)
{
    addPlain(this, tr("&Copy To Clipboard"), &ExportTabContextMenu::copyChosen);
    addPlain(this, tr("&Save as Arg File"), &ExportTabContextMenu::saveChosen);
    addPlain(this, tr("&Save And Open"), &ExportTabContextMenu::saveAndOpenChosen);
}

void ExportTabContextMenu::exec()
{
    QMenu::exec(QCursor::pos());
}
