#include "untraxopreferenceswindow.h"

#include "preferences.h"
#include "shared/paths.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>

namespace {

const QString defaultTemplate = QStringLiteral("black-and-white.htm");

void selectChoice(int value, QAbstractButton *first, QAbstractButton *second, QAbstractButton *third)
{
    QAbstractButton *buttons[] = { first, second, third };
    if (value >= 0 && value < 3)
        buttons[value]->setChecked(true);
}

int checkedChoice(QAbstractButton *first, QAbstractButton *second, QAbstractButton *third)
{
    if (first->isChecked())
        return 0;
    if (second->isChecked())
        return 1;
    return third->isChecked() ? 2 : 0;
}

} // namespace

UnTRAXOPreferencesWindow::UnTRAXOPreferencesWindow(QWidget *parent)
    : QDialog(parent)
{
    setupUi(this);
    initSignalSlots();
}

void UnTRAXOPreferencesWindow::initSignalSlots()
{
    connect(m_okButton, &QPushButton::clicked, this, &UnTRAXOPreferencesWindow::okButtonPressed);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_changeFontButton, &QPushButton::clicked, this, &UnTRAXOPreferencesWindow::changeFontButtonPressed);
    connect(m_defaultTemplate, &QCheckBox::stateChanged, this, &UnTRAXOPreferencesWindow::defaultTemplateBoxClicked);
    connect(m_defaultExtractionDirectoryCheckBox, &QCheckBox::stateChanged, this,
        &UnTRAXOPreferencesWindow::defaultExtractionDirBoxClicked);
    connect(m_setPathButton, &QPushButton::clicked, this, &UnTRAXOPreferencesWindow::setPathButtonPressed);
    connect(m_setExtractionPathButton, &QPushButton::clicked, this,
        &UnTRAXOPreferencesWindow::setExtractionPathButtonPressed);
}

int UnTRAXOPreferencesWindow::exec()
{
    initWidgets();
    return QDialog::exec();
}

void UnTRAXOPreferencesWindow::initWidgets()
{
    m_fontFamily = Preferences::logFontFamily();
    m_fontPointSize = Preferences::logFontPointSize();
    updateCurrentFontLabel();

    if (Preferences::logShow() == 1)
        m_showLog->setChecked(true);
    else
        m_hideLog->setChecked(true);

    const int zoom = m_zoomLevelBox->findText(QString::number(Preferences::browZoomLevel()));
    if (zoom >= 0)
        m_zoomLevelBox->setCurrentIndex(zoom);
    // The box shows whether the stored template is the default one, so that OK
    // keeps what the dialog showed.
    const QString storedTemplate = Preferences::browTemplate();
    m_templateLineEdit->setText(storedTemplate);
    m_defaultTemplate->setChecked(storedTemplate == defaultTemplate);
    defaultTemplateBoxClicked(m_defaultTemplate->checkState());

    selectChoice(Preferences::valPerformance(), m_smallValidationPerformance, m_mediumValidationPerformance,
        m_largeValidationPerformance);
    selectChoice(Preferences::valAutomaticFileValidation(), m_alwaysAutomaticFileValidation,
        m_neverAutomaticFileValidation, m_dependsAutomaticFileValidation);
    selectChoice(Preferences::valAutomaticSectionValidation(), m_alwaysAutomaticSectionValidation,
        m_neverAutomaticSectionValidation, m_dependsAutomaticSectionValidation);
    m_AFVLimit->setValue(Preferences::valAFVLimit());
    m_ASVLimit->setValue(Preferences::valASVLimit());

    m_askBeforeOverwrite->setChecked(Preferences::extrAskBeforeOverwrite() != 0);
    m_validateExtractedFiles->setChecked(Preferences::extrValidateFiles() != 0);
    m_numberFiles->setChecked(Preferences::extrNumberFiles() != 0);
    selectChoice(Preferences::extrValidateAfter(), m_alwaysValidateAfterExtraction, m_neverValidateAfterExtraction,
        m_dependsValidateAfterExtraction);
    m_VAELimit->setText(QString::number(Preferences::extrVAELimit()));
    m_defaultExtractionDirectory->setText(Preferences::extrLastDirectory());
    m_defaultExtractionDirectoryCheckBox->setChecked(Preferences::extrDefaultDirectory() == 1);
    defaultExtractionDirBoxClicked(m_defaultExtractionDirectoryCheckBox->checkState());
}

QString UnTRAXOPreferencesWindow::templateForPath(const QString &path, bool useDefault)
{
    return templateForPath(path, useDefault, getTemplatesDir());
}

QString UnTRAXOPreferencesWindow::templateForPath(const QString &path, bool useDefault, const QString &templatesDir)
{
    if (useDefault)
        return defaultTemplate;
    // The edit shows the stored bare name, or the path a file chooser gave;
    // either way only a file of the templates directory is taken.
    const QString normalised = QDir::fromNativeSeparators(path.trimmed());
    const QString name = QFileInfo(normalised).fileName();
    if (name.isEmpty() || !QFileInfo::exists(templatesDir + QLatin1Char('/') + name))
        return defaultTemplate;
    return name;
}

void UnTRAXOPreferencesWindow::okButtonPressed()
{
    Preferences::setLogFontFamily(m_fontFamily);
    Preferences::setLogFontPointSize(m_fontPointSize);
    Preferences::setLogShow(m_showLog->isChecked() ? 1 : 0);
    Preferences::setBrowZoomLevel(m_zoomLevelBox->currentText().toInt());
    Preferences::setBrowTemplate(templateForPath(m_templateLineEdit->text(), m_defaultTemplate->isChecked()));

    Preferences::setValPerformance(
        checkedChoice(m_smallValidationPerformance, m_mediumValidationPerformance, m_largeValidationPerformance));
    Preferences::setValAutomaticFileValidation(checkedChoice(
        m_alwaysAutomaticFileValidation, m_neverAutomaticFileValidation, m_dependsAutomaticFileValidation));
    Preferences::setValAutomaticSectionValidation(checkedChoice(
        m_alwaysAutomaticSectionValidation, m_neverAutomaticSectionValidation, m_dependsAutomaticSectionValidation));
    Preferences::setValAFVLimit(m_AFVLimit->value());
    Preferences::setValASVLimit(m_ASVLimit->value());

    Preferences::setExtrAskBeforeOverwrite(m_askBeforeOverwrite->isChecked() ? 1 : 0);
    Preferences::setExtrValidateFiles(m_validateExtractedFiles->isChecked() ? 1 : 0);
    Preferences::setExtrNumberFiles(m_numberFiles->isChecked() ? 1 : 0);
    Preferences::setExtrValidateAfter(checkedChoice(
        m_alwaysValidateAfterExtraction, m_neverValidateAfterExtraction, m_dependsValidateAfterExtraction));
    Preferences::setExtrVAELimit(m_VAELimit->text().trimmed().toInt()); // not a number: 0
    Preferences::setExtrLastDirectory(m_defaultExtractionDirectory->text());
    Preferences::setExtrDefaultDirectory(m_defaultExtractionDirectoryCheckBox->isChecked() ? 1 : 0);
    accept();
}

void UnTRAXOPreferencesWindow::changeFontButtonPressed()
{
    QFont start(m_fontFamily);
    start.setPointSizeF(m_fontPointSize);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, start, this);
    if (!ok)
        return;
    m_fontFamily = chosen.family();
    m_fontPointSize = chosen.pointSizeF();
    updateCurrentFontLabel();
}

void UnTRAXOPreferencesWindow::defaultTemplateBoxClicked(int state)
{
    const bool editable = state == Qt::Unchecked;
    m_templateLineEdit->setEnabled(editable);
    m_setPathButton->setEnabled(editable);
}

void UnTRAXOPreferencesWindow::defaultExtractionDirBoxClicked(int state)
{
    const bool editable = state == Qt::Unchecked;
    m_defaultExtractionDirectory->setEnabled(editable);
    m_setExtractionPathButton->setEnabled(editable);
}

void UnTRAXOPreferencesWindow::setPathButtonPressed()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Open template..."), getTemplatesDir());
    if (!file.isEmpty())
        m_templateLineEdit->setText(QDir::toNativeSeparators(file));
}

void UnTRAXOPreferencesWindow::setExtractionPathButtonPressed()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Set path..."), QDir::homePath());
    if (!dir.isEmpty())
        m_defaultExtractionDirectory->setText(QDir::toNativeSeparators(dir));
}

void UnTRAXOPreferencesWindow::updateCurrentFontLabel()
{
    m_currentFontLabel->setText(QStringLiteral("%1, %2 pt").arg(m_fontFamily).arg(m_fontPointSize));
}
