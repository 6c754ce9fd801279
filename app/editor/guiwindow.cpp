#include "guiwindow.h"
#include "ui_guiwindow.h"

#include "argfilehighlighter.h"
#include "fileitemhelper.h"
#include "mimetypes.h"
#include "tabcontextmenus.h"

#include "argfile/argfileparser.h"
#include "argfile/argfilereader.h"
#include "argfile/quoting.h"
#include "argfile/wsfile.h"
#include "frame/findtextbrowser.h"
#include "frame/helpviewer.h"
#include "frame/managedwindow.h"

#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextBrowser>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString undefinedText = QStringLiteral("<undefined>");
const QString userDefinedType = QStringLiteral("other (User Defined)");
const QString enterTypePrompt = QStringLiteral("Please enter the file type here");
const QString unknownTypePrompt = QStringLiteral("Please enter the file type here:");
const QString runWindowType = QStringLiteral("Run TRAXO Arg-File");

// A name or path field, with the "<undefined>" marker counted as empty.
QString fieldText(const QLineEdit *edit)
{
    const QString text = edit->text();
    return text == undefinedText ? QString() : text;
}

// "name" and "path" of a full file name, split so that path + name gives the
// full name back exactly; a relative name keeps its directory relative.
QString fileNamePart(const QString &fullName)
{
    return QFileInfo(fullName).fileName();
}

QString directoryPart(const QString &fullName)
{
    return fullName.left(fullName.size() - fileNamePart(fullName).size());
}

// The bare name of a file, which the model keeps apart from its directory.
QString bareFileName(const traxo::WSFile &file)
{
    return file.filename().mid(file.filepath().size());
}

// The container named after the first input (or output) file: its full path
// with ".traxo" appended; empty when there is no such file.
QString containerOfFirstFile(const traxo::ArgFile &argFile, bool input)
{
    for (int i = 0; i < argFile.numFiles(); ++i) {
        const traxo::WSFile file = argFile.getConstFile(i);
        if (file.inputFile() == input)
            return file.filename() + QStringLiteral(".traxo");
    }
    return QString();
}

void clearFields(QLineEdit *name, QLineEdit *path)
{
    name->clear();
    path->clear();
}

// Takes the words that only traxoadd itself interprets ("--sync-cwd" changes
// what relative paths mean, "-c" reads another arg-file) out of words: the
// model has no place for them, yet saving must not drop them.
QStringList takeToolOnlyWords(QStringList &words)
{
    QStringList taken, rest;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (word == QLatin1String("--sync-cwd") || word == QLatin1String("--stdin")) {
            taken << word;
        } else if (word == QLatin1String("-c") && i + 1 < words.size()) {
            taken << word << words.at(i + 1);
            ++i;
        } else {
            rest << word;
        }
    }
    words = rest;
    return taken;
}

bool isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

// Arg-files are written as UTF-8; older ones in an 8-bit encoding are still
// read faithfully instead of having their accents replaced.
QString decodeArgFileText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

GuiWindow::GuiWindow(const QString &applicationDir, ManagedWindow *owner, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::GuiWindow>())
    , m_applicationDir(applicationDir)
    , m_owner(owner)
{
    m_ui->setupUi(this);

    m_commandLine = new FindTextBrowser(m_ui->commandLineGroupBox);
    m_commandLine->setObjectName(QStringLiteral("commandLine"));
    m_commandLine->setShortcutsActive(true);
    m_ui->commandLineLayout->addWidget(m_commandLine);
    // One highlighter for syntax and search: two on one document erase each other's colours.
    m_highlighter = new ArgFileHighlighter(m_commandLine->textBrowser()->document());
    m_commandLine->setSearchHighlighter(m_highlighter);

    m_fileItems = new FileItemHelper(m_ui->FileListWidget, &m_argFile, this);

    m_ui->fileTypeSelector->addItem(userDefinedType);
    for (int i = 0; i < Mimetypes::getTypeCount(); ++i)
        m_ui->fileTypeSelector->addItem(Mimetypes::getType(i));

    for (QTableWidget *table : { m_ui->generalAttributesTable, m_ui->fileAttributesTable })
        table->setHorizontalHeaderLabels({ tr("name"), tr("value") });

    connectContextMenus();
    setDefaults();
    // A file dropped on a name or path field fills both fields, instead of the
    // field swallowing its URL as text.
    for (QLineEdit *edit :
        { m_ui->toolNameText, m_ui->toolPathText, m_ui->fileText, m_ui->pathText, m_ui->traxoRootFileNameText,
            m_ui->traxoRootFilePathText, m_ui->traxoStorageFileNameText, m_ui->traxoStorageFilePathText })
        edit->setAcceptDrops(false);
    setAcceptDrops(true);
    m_savedCommandLine = buildCommand_File();
}

GuiWindow::~GuiWindow() = default;

void GuiWindow::setDefaults()
{
    m_fillingForm = true;
    m_ui->tabWidget->setCurrentIndex(MainTab);
    m_ui->normalRadioButton->setChecked(true);
    m_ui->pretendCheckBox->setChecked(false);
    m_ui->inputRadioButton->setChecked(true);
    m_ui->traxoAppendCheckBox->setChecked(true);
    m_ui->noneCheckBox->setChecked(false);
    m_ui->traxoRootOptionalCheckBox->setChecked(false);
    m_ui->firstInputFileTraxoRootFileRadioButton->setChecked(true);
    m_ui->firstOutputFileTraxo->setChecked(true);
    m_ui->relativePathsCheckBox->setChecked(false);
    m_ui->generalAttributesTable->setRowCount(0);
    initializeWorklfowKeyValuePairs(m_ui->generalAttributesTable);
    m_ui->fileAttributesTable->setRowCount(0);
    initializeWorklfowKeyValuePairs(m_ui->fileAttributesTable);
    m_fillingForm = false;
    updateFileCount();
    hideAllButtons();
    evaluateRadioButtons();
}

void GuiWindow::connectContextMenus()
{
    m_mainMenu = new MainTabContextMenu(this);
    m_inOutMenu = new InOutTabContextMenu(this);
    m_traxoFilesMenu = new TraxoFilesTabContextMenu(this);
    m_exportMenu = new ExportTabContextMenu(this);

    const auto showOn = [](QWidget *tab, auto *menu) {
        tab->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tab, &QWidget::customContextMenuRequested, menu, [menu] { menu->exec(); });
    };
    showOn(m_ui->mainTab, m_mainMenu);
    showOn(m_ui->inOutFilesTab, m_inOutMenu);
    showOn(m_ui->traxoFilesTab, m_traxoFilesMenu);
    showOn(m_ui->exportTab, m_exportMenu);

    // A menu choice is a click on the control it stands for.
    const auto drive = [](auto *menu, auto signal, QAbstractButton *button) {
        connect(menu, signal, button, &QAbstractButton::click);
    };
    drive(m_mainMenu, &MainTabContextMenu::toolBrowserChosen, m_ui->toolBrowserButton);
    drive(m_mainMenu, &MainTabContextMenu::normalChosen, m_ui->normalRadioButton);
    drive(m_mainMenu, &MainTabContextMenu::quietChosen, m_ui->quietRadioButton);
    drive(m_mainMenu, &MainTabContextMenu::verboseChosen, m_ui->verboseRadioButton);
    drive(m_mainMenu, &MainTabContextMenu::pretendChosen, m_ui->pretendCheckBox);

    drive(m_inOutMenu, &InOutTabContextMenu::fileBrowserChosen, m_ui->fileBrowserButton);
    drive(m_inOutMenu, &InOutTabContextMenu::addFileChosen, m_ui->newFileButton);
    drive(m_inOutMenu, &InOutTabContextMenu::removeFileChosen, m_ui->removeFileButton);
    drive(m_inOutMenu, &InOutTabContextMenu::duplicateFileChosen, m_ui->duplicateFileButton);
    drive(m_inOutMenu, &InOutTabContextMenu::removeAllFilesChosen, m_ui->removeAllFilesButton);
    drive(m_inOutMenu, &InOutTabContextMenu::embedChosen, m_ui->embedFileCheckBox);
    drive(m_inOutMenu, &InOutTabContextMenu::calculateChosen, m_ui->md5CheckBox);
    drive(m_inOutMenu, &InOutTabContextMenu::optionalChosen, m_ui->optionalCheckBox);
    drive(m_inOutMenu, &InOutTabContextMenu::previewWSChosen, m_ui->previewWSCheckBox);
    drive(m_inOutMenu, &InOutTabContextMenu::previewChosen, m_ui->previewCheckBox);
    drive(m_inOutMenu, &InOutTabContextMenu::thumbnailChosen, m_ui->thumbnailCheckBox);
    drive(m_inOutMenu, &InOutTabContextMenu::toOutputChosen, m_ui->outputRadioButton);
    drive(m_inOutMenu, &InOutTabContextMenu::toInputChosen, m_ui->inputRadioButton);

    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::appendChosen, m_ui->traxoAppendCheckBox);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::noneChosen, m_ui->noneCheckBox);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::optionalChosen, m_ui->traxoRootOptionalCheckBox);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::firstInputChosen, m_ui->firstInputFileTraxoRootFileRadioButton);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::userSpecChosen, m_ui->userspecifiedPathAndNameRadioButton);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::firstOutputChosen, m_ui->firstOutputFileTraxo);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::oneForEachChosen, m_ui->one_EachOutputFileRadioButton);
    drive(m_traxoFilesMenu, &TraxoFilesTabContextMenu::outputUserSpecChosen,
        m_ui->oneUserSpecificTraxoOutFileRadioButton);

    drive(m_exportMenu, &ExportTabContextMenu::copyChosen, m_ui->clipBoardButton);
    drive(m_exportMenu, &ExportTabContextMenu::saveChosen, m_ui->saveAsCmdFileButton);
    drive(m_exportMenu, &ExportTabContextMenu::saveAndOpenChosen, m_ui->saveRunButton);

    // The check marks follow the controls, whoever changed them.
    const auto follow
        = [](QAbstractButton *button, auto *menu, void (std::remove_pointer_t<decltype(menu)>::*slot)(bool)) {
              connect(button, &QAbstractButton::toggled, menu, slot);
          };
    const auto followChoice
        = [](QAbstractButton *button, auto *menu, void (std::remove_pointer_t<decltype(menu)>::*slot)()) {
              connect(button, &QAbstractButton::toggled, menu, [menu, slot](bool checked) {
                  if (checked)
                      (menu->*slot)();
              });
          };
    followChoice(m_ui->normalRadioButton, m_mainMenu, &MainTabContextMenu::doNormal);
    followChoice(m_ui->quietRadioButton, m_mainMenu, &MainTabContextMenu::doQuiet);
    followChoice(m_ui->verboseRadioButton, m_mainMenu, &MainTabContextMenu::doVerbose);
    follow(m_ui->pretendCheckBox, m_mainMenu, &MainTabContextMenu::doPretend);

    follow(m_ui->embedFileCheckBox, m_inOutMenu, &InOutTabContextMenu::doEmbed);
    follow(m_ui->md5CheckBox, m_inOutMenu, &InOutTabContextMenu::doCalculate);
    follow(m_ui->optionalCheckBox, m_inOutMenu, &InOutTabContextMenu::doOptional);
    follow(m_ui->previewWSCheckBox, m_inOutMenu, &InOutTabContextMenu::doPreviewWS);
    follow(m_ui->previewCheckBox, m_inOutMenu, &InOutTabContextMenu::doPreview);
    follow(m_ui->thumbnailCheckBox, m_inOutMenu, &InOutTabContextMenu::doThumbnail);
    followChoice(m_ui->inputRadioButton, m_inOutMenu, &InOutTabContextMenu::doInput);
    followChoice(m_ui->outputRadioButton, m_inOutMenu, &InOutTabContextMenu::doOutput);

    follow(m_ui->traxoAppendCheckBox, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doAppend);
    follow(m_ui->noneCheckBox, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doNone);
    follow(m_ui->traxoRootOptionalCheckBox, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doOptional);
    followChoice(
        m_ui->firstInputFileTraxoRootFileRadioButton, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doFirstInput);
    followChoice(m_ui->userspecifiedPathAndNameRadioButton, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doUserSpec);
    followChoice(m_ui->firstOutputFileTraxo, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doFirstOutput);
    followChoice(m_ui->one_EachOutputFileRadioButton, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doOneForEach);
    followChoice(
        m_ui->oneUserSpecificTraxoOutFileRadioButton, m_traxoFilesMenu, &TraxoFilesTabContextMenu::doOutputUserSpec);

    // Every choice on the TRAXO files tab decides which fields are editable.
    for (QAbstractButton *button : std::initializer_list<QAbstractButton *> { m_ui->traxoAppendCheckBox,
             m_ui->noneCheckBox, m_ui->firstInputFileTraxoRootFileRadioButton,
             m_ui->userspecifiedPathAndNameRadioButton, m_ui->firstOutputFileTraxo, m_ui->one_EachOutputFileRadioButton,
             m_ui->oneUserSpecificTraxoOutFileRadioButton })
        connect(button, &QAbstractButton::toggled, this, &GuiWindow::evaluateRadioButtons);

    for (QPushButton *help : { m_ui->helpMain, m_ui->helpInOutFiles, m_ui->helpTRAXOfiles, m_ui->helpExport })
        connect(help, &QPushButton::clicked, this, &GuiWindow::openTRAXOFORMHelp);
}

// ---------------------------------------------------------------- rendering

void GuiWindow::evaluateRadioButtons()
{
    const bool append = m_ui->traxoAppendCheckBox->isChecked();
    const bool none = !append && m_ui->noneCheckBox->isChecked();

    m_ui->noneCheckBox->setEnabled(!append);
    m_ui->traxoRootOptionalCheckBox->setEnabled(!none);
    // Appending keeps the root chosen before; only its fields stay editable.
    m_ui->firstInputFileTraxoRootFileRadioButton->setEnabled(!append && !none);
    m_ui->userspecifiedPathAndNameRadioButton->setEnabled(!append && !none);

    const bool userRoot = m_ui->userspecifiedPathAndNameRadioButton->isChecked();
    // A choice that does not apply shows "<undefined>" rather than a name.
    const QString derivedRoot = !none && !userRoot ? containerOfFirstFile(m_argFile, true) : QString();
    setUserSpecifiedFields(m_ui->traxoRootFileNameText, m_ui->traxoRootFilePathText, m_ui->traxoRootFileBrowserButton,
        userRoot && !none, derivedRoot, &m_userRootName, &m_userRootPath);

    // Appending writes into the root file; the storage choice does not apply.
    m_ui->firstOutputFileTraxo->setEnabled(!append);
    m_ui->one_EachOutputFileRadioButton->setEnabled(!append);
    m_ui->oneUserSpecificTraxoOutFileRadioButton->setEnabled(!append);
    const bool userStorage = m_ui->oneUserSpecificTraxoOutFileRadioButton->isChecked();
    const bool firstOutput = m_ui->firstOutputFileTraxo->isChecked();
    const QString derivedStorage = !append && firstOutput ? containerOfFirstFile(m_argFile, false) : QString();
    setUserSpecifiedFields(m_ui->traxoStorageFileNameText, m_ui->traxoStorageFilePathText,
        m_ui->traxoStorageFileBrowserButton, userStorage && !append, derivedStorage, &m_userStorageName,
        &m_userStoragePath);

    m_ui->furtherContainersLabel->setVisible(!m_furtherContainers.isEmpty());
    m_ui->furtherContainersLabel->setEnabled(userStorage && !append);
    m_ui->furtherContainersLabel->setText(
        tr("The opened arg-file also writes to these containers, kept with this choice:\n%1")
            .arg(m_furtherContainers.join(QLatin1Char('\n'))));
}

void GuiWindow::setUserSpecifiedFields(QLineEdit *name, QLineEdit *path, QPushButton *browse, bool userSpecified,
    const QString &derivedFile, QString *savedName, QString *savedPath)
{
    const bool wasEnabled = name->isEnabled();
    if (userSpecified) {
        if (!wasEnabled) {
            name->setText(*savedName);
            path->setText(*savedPath);
        }
    } else {
        if (wasEnabled) {
            *savedName = fieldText(name);
            *savedPath = fieldText(path);
        }
        if (derivedFile.isEmpty()) {
            name->setText(undefinedText);
            path->setText(undefinedText);
        } else {
            fillNameAndPath(name, path, derivedFile);
        }
    }
    name->setEnabled(userSpecified);
    path->setEnabled(userSpecified);
    browse->setEnabled(userSpecified);
}

void GuiWindow::fillNameAndPath(QLineEdit *name, QLineEdit *path, const QString &fullName)
{
    name->setText(fileNamePart(fullName));
    path->setText(directoryPart(fullName));
}

void GuiWindow::applyContainerRules()
{
    evaluateRadioButtons();

    if (m_ui->traxoAppendCheckBox->isChecked()) {
        const QString container = fieldText(m_ui->traxoRootFilePathText) + fieldText(m_ui->traxoRootFileNameText);
        m_argFile.setRootfile(container);
        m_argFile.clearOutputTraxofiles();
        if (!container.isEmpty())
            m_argFile.addOutputTraxofile(container);
        return;
    }

    m_argFile.clearRootTraxofiles();
    if (!m_ui->noneCheckBox->isChecked()) {
        m_argFile.setRootIsOptional(m_ui->traxoRootOptionalCheckBox->isChecked());
        if (m_ui->userspecifiedPathAndNameRadioButton->isChecked()) {
            m_argFile.setRootfile(fieldText(m_ui->traxoRootFilePathText) + fieldText(m_ui->traxoRootFileNameText));
        } else {
            m_argFile.setRootfile(containerOfFirstFile(m_argFile, true));
        }
    }

    m_argFile.clearOutputTraxofiles();
    if (m_ui->firstOutputFileTraxo->isChecked()) {
        const QString container = containerOfFirstFile(m_argFile, false);
        if (!container.isEmpty())
            m_argFile.addOutputTraxofile(container);
    } else if (m_ui->one_EachOutputFileRadioButton->isChecked()) {
        for (int i = 0; i < m_argFile.numFiles(); ++i) {
            if (!m_argFile.getFile(i)->inputFile())
                m_argFile.addOutputTraxofile(m_argFile.getFile(i)->filename() + QStringLiteral(".traxo"));
        }
    } else {
        // An empty container would make "-O" swallow the next option.
        const QString container = fieldText(m_ui->traxoStorageFilePathText) + fieldText(m_ui->traxoStorageFileNameText);
        if (!container.isEmpty())
            m_argFile.addOutputTraxofile(container);
        for (const QString &further : std::as_const(m_furtherContainers))
            m_argFile.addOutputTraxofile(further);
    }
}

traxo::ArgFile GuiWindow::relativeCopy() const
{
    traxo::ArgFile copy = m_argFile;
    const QString firstContainer = copy.outputTraxofile(0);
    if (firstContainer.isEmpty() || !QDir::isAbsolutePath(firstContainer))
        return copy;
    const QDir base = QFileInfo(firstContainer).absoluteDir();
    if (!copy.rootfile().isEmpty())
        copy.setRootfile(base.relativeFilePath(copy.rootfile()));
    for (int i = 0; i < copy.numFiles(); ++i) {
        traxo::WSFile *file = copy.getFile(i);
        file->setFilenameAndPath(base.relativeFilePath(file->filename()));
    }
    const int containers = copy.numOutputTraxofiles();
    QStringList relative;
    for (int i = 0; i < containers; ++i)
        relative << base.relativeFilePath(copy.outputTraxofile(i));
    copy.clearOutputTraxofiles();
    for (const QString &container : relative)
        copy.addOutputTraxofile(container);
    return copy;
}

QString GuiWindow::buildCommand_File()
{
    applyContainerRules();
    // The fields hold arg-file words: "$name" stays a reference and "$$" a
    // literal dollar, so a saved and reopened step reads back the same.
    const QString line
        = m_ui->relativePathsCheckBox->isChecked() ? relativeCopy().toCommandline(true) : m_argFile.toCommandline(true);
    if (m_toolOnlyWords.isEmpty())
        return line;
    const QString toolWords = traxo::joinCommandlineWords(m_toolOnlyWords, true);
    return line.isEmpty() ? toolWords : toolWords + QLatin1Char(' ') + line;
}

QString GuiWindow::returnHints()
{
    applyContainerRules();
    QString hints;
    bool serious = false;
    const bool append = m_ui->traxoAppendCheckBox->isChecked();
    const bool none = !append && m_ui->noneCheckBox->isChecked();
    if (none)
        hints += tr("traxoadd will start a new TRAXO file from scratch\n");
    // Without a root on purpose there is nothing to complain about.
    if (!none && isBlank(m_argFile.rootfile())) {
        if (!m_argFile.rootIsOptional()) {
            hints += tr("Fatal Error:Root file is undefined.\nSolutions: choose a "
                        "Root file, set optional flag, start "
                        "a new TRAXO-File from scratch\n");
            serious = true;
        } else {
            hints += tr("Optional flag is set, traxoadd will continue even if Root "
                        "file can not be read.\n");
        }
    }
    if (m_argFile.numOutputTraxofiles() == 0) {
        hints += tr("Fatal Error: Output file undefined \n");
        serious = true;
    }
    const auto missing = [&](const QString &text, const QString &hint) {
        if (isBlank(text)) {
            hints += hint;
            serious = true;
        }
    };
    missing(m_ui->toolNameText->text(), tr("You have not entered a tool (program) name.\n"));
    missing(m_ui->titleLineEdit->text(), tr("There is no title for this workflow step.\n"));
    missing(m_ui->workflowDescriptionTextEdit->toPlainText(),
        tr("There is no description for this workflow step (recommended).\n"));
    if (m_argFile.numFiles() == 0) {
        hints += tr("You have not added any input or output files.\n");
        serious = true;
    }
    m_ui->comment_groupBox->setVisible(serious);
    m_ui->comment_label->setVisible(serious);
    return hints;
}

QString GuiWindow::statisticsText() const
{
    int inputs = 0, outputs = 0, inputAttributes = 0, outputAttributes = 0;
    for (int i = 0; i < m_argFile.numFiles(); ++i) {
        const traxo::WSFile file = m_argFile.getConstFile(i);
        const int attributes = file.userAttributeKeys().size();
        if (file.inputFile()) {
            ++inputs;
            inputAttributes += attributes;
        } else {
            ++outputs;
            outputAttributes += attributes;
        }
    }
    return tr("Workflowstep contains:\n general attribute(s): %1 , ").arg(m_ui->generalAttributesTable->rowCount() - 1)
        + tr("Input File(s): %1 ").arg(inputs) + tr("(file attribute(s): %1), ").arg(inputAttributes)
        + tr("Output file(s): %1 ").arg(outputs) + tr("(file attribute(s): %1).").arg(outputAttributes);
}

void GuiWindow::refreshExport()
{
    m_commandLine->textBrowser()->setPlainText(buildCommand_File());
    m_ui->statistics_label->setText(statisticsText());
    m_ui->comment_label->setText(returnHints().trimmed());
}

void GuiWindow::setCurrentTab(Tab tab)
{
    m_ui->tabWidget->setCurrentIndex(tab);
}

void GuiWindow::on_tabWidget_currentChanged(int index)
{
    if (index == ExportTab)
        refreshExport();
}

void GuiWindow::on_relativePathsCheckBox_stateChanged(int)
{
    if (!m_fillingForm)
        refreshExport();
}

// ------------------------------------------------------------ save and open

bool GuiWindow::hasUnsavedChanges()
{
    return buildCommand_File() != m_savedCommandLine;
}

bool GuiWindow::maybeSave()
{
    if (!hasUnsavedChanges())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Create TRAXO Arg File"),
        tr("The workflow step has changes that are not saved in an arg-file."),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setInformativeText(tr("Do you want to save them?"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return save_cmdfile();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

QString GuiWindow::startDirectory() const
{
    return m_lastArgFile.isEmpty() ? QDir::homePath() : QFileInfo(m_lastArgFile).absolutePath();
}

bool GuiWindow::save_cmdfile()
{
    setCurrentTab(ExportTab);
    QFileDialog dialog(this, tr("Save as Cmdfile"), startDirectory(), tr("Cmdfile (*.vcmd)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The run window recognises arg-files by their suffix.
    dialog.setDefaultSuffix(QStringLiteral("vcmd"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    return saveArgFile(dialog.selectedFiles().constFirst());
}

bool GuiWindow::saveArgFile(const QString &fileName)
{
    const QString commandLine = buildCommand_File();
    QSaveFile file(fileName);
    QString problem;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        problem = QStringLiteral("Cannot  open file for writing: ") + file.errorString();
    } else {
        file.write((commandLine + QLatin1Char('\n')).toUtf8());
        if (!file.commit())
            problem = QStringLiteral("Cannot write file: ") + file.errorString();
    }
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        QMessageBox::warning(this, tr("Save as Cmdfile"),
            tr("The arg-file was not saved:\n%1\n\n%2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    m_savedCommandLine = commandLine;
    m_lastArgFile = fileName;
    return true;
}

void GuiWindow::on_saveAsCmdFileButton_clicked()
{
    save_cmdfile();
}

void GuiWindow::on_saveRunButton_clicked()
{
    if (!save_cmdfile())
        return;
    if (m_owner)
        m_owner->createWindow(runWindowType, m_lastArgFile);
}

void GuiWindow::on_clipBoardButton_clicked()
{
    refreshExport();
    QGuiApplication::clipboard()->setText(m_commandLine->textBrowser()->toPlainText());
}

void GuiWindow::open_cmdfile()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Open Cmdfile"), startDirectory(), tr("Cmdfile (*.vcmd);;All Files (*)"));
    if (!fileName.isEmpty())
        openArgFile(fileName);
}

bool GuiWindow::openArgFile(const QString &fileName)
{
    if (!maybeSave())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, tr("Open Cmdfile"),
            tr("The arg-file cannot be read:\n%1\n\n%2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    const QString text = decodeArgFileText(file.readAll());
    if (m_owner)
        m_owner->addRecentFile(fileName);

    // Whatever the reader cannot interpret would be dropped by the next save,
    // so the user hears about it now. Options that only traxoadd interprets
    // are kept aside and written back unchanged.
    QStringList problems;
    traxo::ArgfileReader reader;
    connect(&reader, qOverload<const QString &, int>(&traxo::ArgfileReader::log), this,
        [&problems](const QString &message, int) { problems << message.trimmed(); });
    QStringList words = traxo::ArgfileParser::parseArgfile(text, nullptr);
    m_toolOnlyWords = takeToolOnlyWords(words);
    m_argFile = reader.parseCommandline(reader.checkOptionSignatures(words));
    if (traxo::ArgfileParser::getHighlighterList(text).isEmpty() && !isBlank(text))
        problems << tr("The text cannot be cut into words; a quote may be missing its end.");

    m_lastArgFile = fileName;
    fillFormFromModel();
    m_savedCommandLine = buildCommand_File();
    if (!problems.isEmpty()) {
        QMessageBox::warning(this, tr("Open Cmdfile"),
            tr("Parts of the arg-file %1 could not be read and "
               "are not in the form:\n\n%2")
                .arg(QDir::toNativeSeparators(fileName), problems.join(QLatin1Char('\n'))));
    }
    return true;
}

void GuiWindow::fillFormFromModel()
{
    const traxo::ArgFile model = m_argFile;
    m_fillingForm = true;
    m_ui->titleLineEdit->setText(model.title());
    m_ui->workflowDescriptionTextEdit->setPlainText(model.description());
    m_ui->toolNameText->setText(model.tool());
    m_ui->versionLineEdit->clear();
    m_ui->toolPathText->setText(model.toolpath());

    QStringList values;
    for (const QString &key : model.userAttributeKeys())
        values << model.userAttribute(key);
    fillAttributeTable(m_ui->generalAttributesTable, model.userAttributeKeys(), values);

    switch (model.verbosity()) {
    case traxo::ArgFile::Quiet:
        m_ui->quietRadioButton->setChecked(true);
        break;
    case traxo::ArgFile::Verbose:
        m_ui->verboseRadioButton->setChecked(true);
        break;
    default:
        m_ui->normalRadioButton->setChecked(true);
        break;
    }
    m_ui->pretendCheckBox->setChecked(model.pretend());

    m_fileItems->rebuildFromModel();

    bool relative = !model.rootfile().isEmpty() && QFileInfo(model.rootfile()).isRelative();
    for (int i = 0; i < model.numOutputTraxofiles(); ++i)
        relative = relative || QFileInfo(model.outputTraxofile(i)).isRelative();
    for (int i = 0; i < model.numFiles(); ++i)
        relative = relative || QFileInfo(model.getConstFile(i).filename()).isRelative();
    m_ui->relativePathsCheckBox->setChecked(relative);

    fillContainerChoices(model);
    m_fillingForm = false;

    // The model was replaced as a whole; the controls wrote nothing back.
    m_argFile = model;
    updateFileCount();
    if (m_ui->FileListWidget->count() > 0)
        m_fileItems->setSelectedItem(m_ui->FileListWidget->item(0));
    else
        hideAllButtons();
    evaluateRadioButtons();
    if (m_ui->tabWidget->currentIndex() == ExportTab)
        refreshExport();
}

void GuiWindow::fillContainerChoices(const traxo::ArgFile &model)
{
    const QString root = model.rootfile();
    const int containers = model.numOutputTraxofiles();
    m_furtherContainers.clear();
    m_ui->traxoRootOptionalCheckBox->setChecked(model.rootIsOptional());

    if (containers == 1 && !root.isEmpty() && model.outputTraxofile(0) == root) {
        m_ui->traxoAppendCheckBox->setChecked(true);
        m_ui->noneCheckBox->setChecked(false);
        m_ui->userspecifiedPathAndNameRadioButton->setChecked(true);
        evaluateRadioButtons();
        fillNameAndPath(m_ui->traxoRootFileNameText, m_ui->traxoRootFilePathText, root);
        return;
    }

    m_ui->traxoAppendCheckBox->setChecked(false);
    m_ui->noneCheckBox->setChecked(root.isEmpty());
    m_ui->userspecifiedPathAndNameRadioButton->setChecked(true);

    // A container for every output file, in order, is what "one for each"
    // writes; choosing it keeps all of them instead of only the first.
    QStringList perOutput;
    for (int i = 0; i < model.numFiles(); ++i) {
        const traxo::WSFile file = model.getConstFile(i);
        if (!file.inputFile())
            perOutput << file.filename() + QStringLiteral(".traxo");
    }
    QStringList actual;
    for (int i = 0; i < containers; ++i)
        actual << model.outputTraxofile(i);
    if (containers > 1 && actual == perOutput)
        m_ui->one_EachOutputFileRadioButton->setChecked(true);
    else
        m_ui->oneUserSpecificTraxoOutFileRadioButton->setChecked(true);
    evaluateRadioButtons();

    if (!root.isEmpty())
        fillNameAndPath(m_ui->traxoRootFileNameText, m_ui->traxoRootFilePathText, root);
    else
        clearFields(m_ui->traxoRootFileNameText, m_ui->traxoRootFilePathText);
    if (m_ui->oneUserSpecificTraxoOutFileRadioButton->isChecked()) {
        if (containers > 0)
            fillNameAndPath(m_ui->traxoStorageFileNameText, m_ui->traxoStorageFilePathText, actual.constFirst());
        else
            clearFields(m_ui->traxoStorageFileNameText, m_ui->traxoStorageFilePathText);
        // The fields hold one container; the others of the file must not be lost on saving.
        m_furtherContainers = actual.mid(1);
    }
    evaluateRadioButtons();
}

void GuiWindow::openTRAXOFORMHelp()
{
    const int index = m_ui->tabWidget->currentIndex();
    if (index < MainTab || index > ExportTab)
        qDebug() << "Problem found: tabWidget->currentIndex () out of range.";
    HelpViewer::globalOpenPage(QStringLiteral("traxoform.html"));
}

// ----------------------------------------------------------------- main tab

void GuiWindow::on_titleLineEdit_textChanged(const QString &text)
{
    if (!m_fillingForm)
        m_argFile.setTitle(text);
}

void GuiWindow::on_workflowDescriptionTextEdit_textChanged()
{
    if (!m_fillingForm)
        m_argFile.setDescription(m_ui->workflowDescriptionTextEdit->toPlainText());
}

void GuiWindow::on_toolBrowserButton_clicked()
{
    const QString start = m_ui->toolPathText->text().isEmpty() ? m_applicationDir : m_ui->toolPathText->text();
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Select Tool"), start, tr("Files (*)"));
    if (!fileName.isEmpty())
        fillNameAndPath(m_ui->toolNameText, m_ui->toolPathText, fileName);
}

void GuiWindow::updateTool()
{
    if (!m_fillingForm)
        m_argFile.setTool(m_ui->toolNameText->text() + m_ui->versionLineEdit->text());
}

void GuiWindow::on_toolNameText_textChanged(const QString &)
{
    updateTool();
}

void GuiWindow::on_versionLineEdit_textChanged(const QString &)
{
    updateTool();
}

void GuiWindow::on_toolPathText_textChanged(const QString &text)
{
    if (!m_fillingForm)
        m_argFile.setToolpath(text);
}

void GuiWindow::on_normalRadioButton_toggled(bool checked)
{
    if (checked && !m_fillingForm)
        m_argFile.setVerbosity(traxo::ArgFile::Normal);
}

void GuiWindow::on_quietRadioButton_toggled(bool checked)
{
    if (checked && !m_fillingForm)
        m_argFile.setVerbosity(traxo::ArgFile::Quiet);
}

void GuiWindow::on_verboseRadioButton_toggled(bool checked)
{
    if (checked && !m_fillingForm)
        m_argFile.setVerbosity(traxo::ArgFile::Verbose);
}

void GuiWindow::on_pretendCheckBox_toggled(bool checked)
{
    if (!m_fillingForm)
        m_argFile.setPretend(checked);
}

// ------------------------------------------------------- attribute tables

void GuiWindow::initializeWorklfowKeyValuePairs(QTableWidget *table)
{
    const int rows = table->rowCount();
    const QTableWidgetItem *lastName = rows > 0 ? table->item(rows - 1, 0) : nullptr;
    if (rows == 0 || (lastName && !lastName->text().isEmpty()))
        table->insertRow(rows);
    updateAttributeCount(table);
}

void GuiWindow::updateAttributeCount(QTableWidget *table)
{
    QLabel *label = table == m_ui->generalAttributesTable ? m_ui->numberOfAttributesGeneral_Label
                                                          : m_ui->numberOfAttributesFileLabel;
    label->setText(tr("%1 attributes ").arg(table->rowCount() - 1));
}

void GuiWindow::storeAttributes(QTableWidget *table)
{
    if (m_fillingForm)
        return;
    traxo::WSFile *file = nullptr;
    if (table == m_ui->fileAttributesTable) {
        file = m_fileItems->getSelectedFile();
        if (!file)
            return;
        file->clearUserAttributes();
    } else {
        m_argFile.clearUserAttributes();
    }
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *name = table->item(row, 0);
        const QTableWidgetItem *value = table->item(row, 1);
        if (!name || !value || isBlank(name->text()) || isBlank(value->text()))
            continue;
        if (file)
            file->addUserAttribute(name->text(), value->text());
        else
            m_argFile.addUserAttribute(name->text(), value->text());
    }
}

void GuiWindow::fillAttributeTable(QTableWidget *table, const QStringList &keys, const QStringList &values)
{
    const bool filling = m_fillingForm;
    m_fillingForm = true;
    table->setRowCount(0);
    table->setRowCount(keys.size());
    for (int row = 0; row < keys.size(); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(keys.at(row)));
        table->setItem(row, 1, new QTableWidgetItem(values.value(row)));
    }
    initializeWorklfowKeyValuePairs(table);
    m_fillingForm = filling;
}

void GuiWindow::removeSelectedAttributes(QTableWidget *table)
{
    QList<int> rows;
    for (const QTableWidgetSelectionRange &range : table->selectedRanges()) {
        for (int row = range.topRow(); row <= range.bottomRow(); ++row)
            rows << row;
    }
    if (rows.isEmpty() && table->currentRow() >= 0)
        rows << table->currentRow();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows)
        table->removeRow(row);
    initializeWorklfowKeyValuePairs(table);
    storeAttributes(table);
}

void GuiWindow::on_generalAttributesTable_cellChanged(int, int)
{
    if (m_fillingForm)
        return;
    storeAttributes(m_ui->generalAttributesTable);
    initializeWorklfowKeyValuePairs(m_ui->generalAttributesTable);
}

void GuiWindow::on_removeAttributes_clicked()
{
    removeSelectedAttributes(m_ui->generalAttributesTable);
}

void GuiWindow::on_removeAllAttributes_clicked()
{
    m_ui->generalAttributesTable->setRowCount(0);
    initializeWorklfowKeyValuePairs(m_ui->generalAttributesTable);
    storeAttributes(m_ui->generalAttributesTable);
}

void GuiWindow::on_fileAttributesTable_cellChanged(int, int)
{
    if (m_fillingForm)
        return;
    storeAttributes(m_ui->fileAttributesTable);
    initializeWorklfowKeyValuePairs(m_ui->fileAttributesTable);
}

void GuiWindow::on_removeFileKeyValuePairs_clicked()
{
    removeSelectedAttributes(m_ui->fileAttributesTable);
}

void GuiWindow::on_removeAllFileValuePairs_clicked()
{
    m_ui->fileAttributesTable->setRowCount(0);
    initializeWorklfowKeyValuePairs(m_ui->fileAttributesTable);
    storeAttributes(m_ui->fileAttributesTable);
}

// -------------------------------------------------------------- files tab

void GuiWindow::updateFileCount()
{
    m_ui->numberOfFilesLabel->setText(tr("Number of Files %1").arg(m_ui->FileListWidget->count()));
    // The containers named after the first input and output file follow the list.
    evaluateRadioButtons();
}

void GuiWindow::hideAllButtons()
{
    for (QWidget *widget : std::initializer_list<QWidget *> { m_ui->removeFileButton, m_ui->duplicateFileButton,
             m_ui->removeAllFilesButton, m_ui->fileBrowserButton, m_ui->fileText, m_ui->pathText, m_ui->descriptionText,
             m_ui->inputRadioButton, m_ui->outputRadioButton, m_ui->fileTypeSelector, m_ui->fileTypeLineEdit,
             m_ui->fileAttributesTable, m_ui->removeFileKeyValuePairs, m_ui->removeAllFileValuePairs,
             m_ui->embedFileCheckBox, m_ui->optionalCheckBox, m_ui->md5CheckBox, m_ui->thumbnailCheckBox,
             m_ui->previewCheckBox, m_ui->previewWSCheckBox })
        widget->setEnabled(false);
    m_inOutMenu->setFileOperations(false);
    m_inOutMenu->adjustCheckStates(nullptr);
}

void GuiWindow::setButtonsVisibleAfterNew()
{
    for (QWidget *widget : std::initializer_list<QWidget *> { m_ui->removeFileButton, m_ui->duplicateFileButton,
             m_ui->removeAllFilesButton, m_ui->fileBrowserButton, m_ui->fileText, m_ui->pathText, m_ui->descriptionText,
             m_ui->inputRadioButton, m_ui->outputRadioButton, m_ui->fileTypeSelector, m_ui->fileAttributesTable,
             m_ui->removeFileKeyValuePairs, m_ui->removeAllFileValuePairs, m_ui->embedFileCheckBox,
             m_ui->optionalCheckBox, m_ui->md5CheckBox, m_ui->thumbnailCheckBox, m_ui->previewCheckBox,
             m_ui->previewWSCheckBox })
        widget->setEnabled(true);
    m_inOutMenu->setFileOperations(true);
}

void GuiWindow::showCurrentFile()
{
    const traxo::WSFile *file = m_fileItems->getSelectedFile();
    if (!file) {
        hideAllButtons();
        return;
    }
    setButtonsVisibleAfterNew();
    const bool filling = m_fillingForm;
    m_fillingForm = true;
    m_ui->fileText->setText(bareFileName(*file));
    m_ui->pathText->setText(file->filepath());
    m_ui->descriptionText->setPlainText(file->description());
    if (file->inputFile())
        m_ui->inputRadioButton->setChecked(true);
    else
        m_ui->outputRadioButton->setChecked(true);
    showFileType(file->filetype());
    m_ui->embedFileCheckBox->setChecked(file->embed());
    m_ui->optionalCheckBox->setChecked(file->optional());
    m_ui->md5CheckBox->setChecked(file->autoMD5());
    m_ui->thumbnailCheckBox->setChecked(file->thumbnail());
    m_ui->previewCheckBox->setChecked(file->preview());
    m_ui->previewWSCheckBox->setChecked(file->previewWS());
    QStringList values;
    for (const QString &key : file->userAttributeKeys())
        values << file->userAttribute(key);
    fillAttributeTable(m_ui->fileAttributesTable, file->userAttributeKeys(), values);
    m_fillingForm = filling;
    m_inOutMenu->adjustCheckStates(file);
}

void GuiWindow::showFileType(const QString &filetype)
{
    const int index = Mimetypes::isKnownMimeType(filetype) ? m_ui->fileTypeSelector->findText(filetype) : -1;
    const bool filling = m_fillingForm;
    m_fillingForm = true;
    m_ui->fileTypeSelector->setCurrentIndex(index > 0 ? index : 0);
    m_ui->fileTypeLineEdit->setEnabled(index <= 0);
    m_ui->fileTypeLineEdit->setPlaceholderText(index <= 0 ? enterTypePrompt : QString());
    m_ui->fileTypeLineEdit->setText(filetype);
    m_fillingForm = filling;
}

void GuiWindow::updateCurrentFileItem()
{
    m_fileItems->updateItem(m_fileItems->getSelectedItem());
    evaluateRadioButtons();
}

void GuiWindow::on_newFileButton_clicked()
{
    traxo::WSFile file;
    file.setFilename(QStringLiteral("new file") + QString::number(m_argFile.numFiles() + 1));
    file.setFilepath(QDir::rootPath());
    m_fileItems->setSelectedItem(m_fileItems->addFile(file));
    updateFileCount();
}

void GuiWindow::on_duplicateFileButton_clicked()
{
    const traxo::WSFile *current = m_fileItems->getSelectedFile();
    if (!current)
        return;
    const traxo::WSFile copy = *current;
    m_fileItems->setSelectedItem(m_fileItems->addFile(copy));
    updateFileCount();
}

void GuiWindow::on_removeFileButton_clicked()
{
    QListWidgetItem *item = m_fileItems->getSelectedItem();
    if (!item)
        return;
    m_fileItems->removeFile(item);
    updateFileCount();
    // The list makes a neighbour current; show it, or nothing.
    QListWidgetItem *next = m_ui->FileListWidget->currentItem();
    m_fileItems->setSelectedItem(next);
    showCurrentFile();
}

void GuiWindow::on_removeAllFilesButton_clicked()
{
    m_fileItems->clearFiles();
    updateFileCount();
    showCurrentFile();
}

void GuiWindow::on_FileListWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *)
{
    m_fileItems->setSelectedItem(current);
    showCurrentFile();
}

void GuiWindow::on_fileBrowserButton_clicked()
{
    const QString start = m_fileItems->getSelectedFile() ? m_fileItems->getSelectedFile()->filepath() : QString();
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Select File"), start, tr("Files (*)"));
    if (!fileName.isEmpty())
        changeFileListItemName(fileName);
}

void GuiWindow::changeFileListItemName(const QString &path)
{
    if (!m_fileItems->getSelectedFile())
        on_newFileButton_clicked();
    traxo::WSFile *file = m_fileItems->getSelectedFile();
    file->setFilenameAndPath(path);
    const QString guessed = Mimetypes::guessMimeType(path);
    file->setFiletype(guessed);
    showCurrentFile();
    if (guessed.isEmpty())
        m_ui->fileTypeLineEdit->setPlaceholderText(unknownTypePrompt);
    updateCurrentFileItem();
}

void GuiWindow::on_fileText_textChanged(const QString &text)
{
    traxo::WSFile *file = m_fileItems->getSelectedFile();
    if (m_fillingForm || !file)
        return;
    file->setFilename(text);
    updateCurrentFileItem();
}

void GuiWindow::on_pathText_textChanged(const QString &text)
{
    traxo::WSFile *file = m_fileItems->getSelectedFile();
    if (m_fillingForm || !file)
        return;
    file->setFilepath(text);
    updateCurrentFileItem();
}

void GuiWindow::on_pathText_editingFinished()
{
    guaranteePathTextEndsWithSlashOrBackSlash(m_ui->pathText);
}

void GuiWindow::guaranteePathTextEndsWithSlashOrBackSlash(QLineEdit *pathText)
{
    const QString text = pathText->text().trimmed();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('/')) && !text.endsWith(QLatin1Char('\\')))
        pathText->setText(text + QLatin1Char('/'));
}

void GuiWindow::on_descriptionText_textChanged()
{
    traxo::WSFile *file = m_fileItems->getSelectedFile();
    if (!m_fillingForm && file)
        file->setDescription(m_ui->descriptionText->toPlainText());
}

void GuiWindow::on_inputRadioButton_toggled(bool checked)
{
    traxo::WSFile *file = m_fileItems->getSelectedFile();
    if (m_fillingForm || !file)
        return;
    file->setInputFile(checked);
    updateCurrentFileItem();
}

void GuiWindow::on_fileTypeSelector_currentIndexChanged(int index)
{
    if (m_fillingForm)
        return;
    const bool userDefined = index <= 0;
    m_ui->fileTypeLineEdit->setEnabled(userDefined);
    // The prompt is a placeholder, never a value: it must not end up as the
    // file's type in the container.
    m_ui->fileTypeLineEdit->setPlaceholderText(userDefined ? enterTypePrompt : QString());
    m_ui->fileTypeLineEdit->setText(userDefined ? QString() : m_ui->fileTypeSelector->itemText(index));
    if (userDefined)
        m_ui->fileTypeLineEdit->setFocus();
}

void GuiWindow::on_fileTypeLineEdit_textChanged(const QString &text)
{
    traxo::WSFile *file = m_fileItems->getSelectedFile();
    if (!m_fillingForm && file)
        file->setFiletype(text);
}

void GuiWindow::on_embedFileCheckBox_toggled(bool checked)
{
    if (traxo::WSFile *file = m_fileItems->getSelectedFile(); file && !m_fillingForm)
        file->setEmbed(checked);
}

void GuiWindow::on_optionalCheckBox_toggled(bool checked)
{
    if (traxo::WSFile *file = m_fileItems->getSelectedFile(); file && !m_fillingForm)
        file->setOptional(checked);
}

void GuiWindow::on_md5CheckBox_toggled(bool checked)
{
    if (traxo::WSFile *file = m_fileItems->getSelectedFile(); file && !m_fillingForm)
        file->setAutoMD5(checked);
}

void GuiWindow::on_thumbnailCheckBox_toggled(bool checked)
{
    if (traxo::WSFile *file = m_fileItems->getSelectedFile(); file && !m_fillingForm)
        file->setThumbnail(checked);
}

void GuiWindow::on_previewCheckBox_toggled(bool checked)
{
    if (traxo::WSFile *file = m_fileItems->getSelectedFile(); file && !m_fillingForm)
        file->setPreview(checked);
}

void GuiWindow::on_previewWSCheckBox_toggled(bool checked)
{
    if (traxo::WSFile *file = m_fileItems->getSelectedFile(); file && !m_fillingForm)
        file->setPreviewWS(checked);
}

// ------------------------------------------------------- TRAXO files tab

void GuiWindow::on_traxoRootOptionalCheckBox_toggled(bool checked)
{
    if (!m_fillingForm)
        m_argFile.setRootIsOptional(checked);
}

void GuiWindow::on_traxoRootFileBrowserButton_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Select TRAXO Root-File"),
        fieldText(m_ui->traxoRootFilePathText), tr("TRAXO Files (*.traxo *.pdf);;All Files (*)"));
    if (!fileName.isEmpty())
        fillNameAndPath(m_ui->traxoRootFileNameText, m_ui->traxoRootFilePathText, fileName);
}

void GuiWindow::on_traxoStorageFileBrowserButton_clicked()
{
    // The storage file is usually new, so no overwrite warning: traxoadd appends.
    const QString fileName
        = QFileDialog::getSaveFileName(this, tr("Select TRAXO File"), fieldText(m_ui->traxoStorageFilePathText),
            tr("TRAXO Files (*.traxo *.pdf);;All Files (*)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (!fileName.isEmpty())
        fillNameAndPath(m_ui->traxoStorageFileNameText, m_ui->traxoStorageFilePathText, fileName);
}

// -------------------------------------------------------------- drag and drop

void GuiWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

void GuiWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    const QString path = urls.constFirst().toLocalFile();
    switch (m_ui->tabWidget->currentIndex()) {
    case MainTab:
        fillNameAndPath(m_ui->toolNameText, m_ui->toolPathText, path);
        break;
    case InOutFilesTab:
        changeFileListItemName(path);
        break;
    case TraxoFilesTab: {
        // A drop on a group makes its user-specified choice current, or the
        // derived name would overwrite the dropped one straight away.
        const QWidget *target = childAt(event->position().toPoint());
        if (target && (target == m_ui->rootFileGroupBox || m_ui->rootFileGroupBox->isAncestorOf(target))) {
            m_ui->userspecifiedPathAndNameRadioButton->setChecked(true);
            fillNameAndPath(m_ui->traxoRootFileNameText, m_ui->traxoRootFilePathText, path);
        } else if (target
            && (target == m_ui->traxoStorageFileGroupBox || m_ui->traxoStorageFileGroupBox->isAncestorOf(target))) {
            if (m_ui->traxoAppendCheckBox->isChecked())
                return;
            m_ui->oneUserSpecificTraxoOutFileRadioButton->setChecked(true);
            fillNameAndPath(m_ui->traxoStorageFileNameText, m_ui->traxoStorageFilePathText, path);
        } else {
            return;
        }
        break;
    }
    default:
        return;
    }
    event->acceptProposedAction();
}
