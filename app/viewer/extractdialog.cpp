#include "viewer/extractdialog.h"

#include "frame/helpviewer.h"
#include "shared/filenamemask.h"
#include "viewer/viewerlogging.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString DefaultMask = QStringLiteral("%*d-%f");

} // namespace

ExtractDialog::ExtractDialog(QWidget *parent, const QString &directory, int numFiles)
    : QDialog(parent)
{
    setupUi();
    setWindowTitle(QStringLiteral("Extract %1 File").arg(numFiles) + (numFiles == 1 ? QString() : QStringLiteral("s"))
        + QStringLiteral("..."));
    m_extractDirectoryEdit->setText(QFileInfo(directory).absoluteFilePath());

    connect(m_extractButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_adjustNamesCheck, &QCheckBox::stateChanged, this, &ExtractDialog::uiChanged);
    connect(m_filenameMaskEdit, &QLineEdit::textChanged, this, &ExtractDialog::uiChanged);
    connect(m_extractDirectoryEdit, &QLineEdit::textChanged, this, &ExtractDialog::uiChanged);
    connect(m_openButton, &QPushButton::clicked, this, &ExtractDialog::browseForDirectory);
    connect(m_helpButton, &QPushButton::clicked, this, &ExtractDialog::showLegendHelp);
    uiChanged();
}

void ExtractDialog::setupUi()
{
    setObjectName(QStringLiteral("ExtractDialog"));
    setWindowTitle(QStringLiteral("Extract Files..."));

    label = new QLabel(QStringLiteral("Extract to"), this);
    label->setObjectName(QStringLiteral("label"));
    m_extractDirectoryEdit = new QLineEdit(this);
    m_extractDirectoryEdit->setObjectName(QStringLiteral("m_extractDirectoryEdit"));
    m_extractDirectoryEdit->setMinimumWidth(360);
    m_openButton = new QPushButton(QStringLiteral("Browse..."), this);
    m_openButton->setObjectName(QStringLiteral("m_openButton"));
    m_askCheck = new QCheckBox(QStringLiteral("Ask before overwriting a file"), this);
    m_askCheck->setObjectName(QStringLiteral("m_askCheck"));
    m_validateCheck = new QCheckBox(QStringLiteral("Validate extracted files"), this);
    m_validateCheck->setObjectName(QStringLiteral("m_validateCheck"));
    m_adjustNamesCheck = new QCheckBox(QStringLiteral("Adjust filenames"), this);
    m_adjustNamesCheck->setObjectName(QStringLiteral("m_adjustNamesCheck"));
    m_filenameMaskEdit = new QLineEdit(DefaultMask, this);
    m_filenameMaskEdit->setObjectName(QStringLiteral("m_filenameMaskEdit"));
    m_filenameMaskEdit->setToolTip(legend());
    m_helpButton = new QPushButton(QStringLiteral("Help"), this);
    m_helpButton->setObjectName(QStringLiteral("m_helpButton"));
    m_errorLabel = new QLabel(QStringLiteral("Error Label"), this);
    m_errorLabel->setObjectName(QStringLiteral("m_errorLabel"));
    m_errorLabel->setTextFormat(Qt::RichText);
    m_errorLabel->clear();
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("m_cancelButton"));
    m_extractButton = new QPushButton(QStringLiteral("Extract"), this);
    m_extractButton->setObjectName(QStringLiteral("m_extractButton"));
    m_extractButton->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    auto *directoryRow = new QHBoxLayout;
    directoryRow->addWidget(label);
    directoryRow->addWidget(m_extractDirectoryEdit, 1);
    directoryRow->addWidget(m_openButton);
    layout->addLayout(directoryRow);
    layout->addWidget(m_askCheck);
    layout->addWidget(m_validateCheck);
    auto *maskRow = new QHBoxLayout;
    maskRow->addWidget(m_adjustNamesCheck);
    maskRow->addWidget(m_filenameMaskEdit, 1);
    maskRow->addWidget(m_helpButton);
    layout->addLayout(maskRow);
    layout->addWidget(m_errorLabel);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_cancelButton);
    buttonRow->addWidget(m_extractButton);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

QString ExtractDialog::legend()
{
    return QStringLiteral(
        "<b>%d</b> - filenumber <br />\n"
        "<b>%nd</b> - filenumber, the number is padded with zeros, so that it is at least n digits long <br />\n"
        "<b>%*d</b> - filenumber, the number is padded with zeros, so that the filenumbers of all selected files "
        "have the same length <br />\n"
        "<br />\n"
        "<b>%f</b> - filename <br />\n"
        "<b>%*f</b> - filename, all spaces are replaced by underscores <br />\n"
        "<br />\n"
        "<b>%%</b> - a % sign <br />\n");
}

QString ExtractDialog::getDirectory() const
{
    return m_extractDirectoryEdit->text();
}

bool ExtractDialog::getValidateFiles() const
{
    return m_validateCheck->isChecked();
}

bool ExtractDialog::getAskBeforeOverwrite() const
{
    return m_askCheck->isChecked();
}

void ExtractDialog::uiChanged()
{
    m_filenameMaskEdit->setEnabled(m_adjustNamesCheck->isChecked());
    m_errorLabel->clear();
    const bool directoryOk = directoryValid();
    const bool maskOk = filenameMaskValid();
    if (!directoryOk)
        m_errorLabel->setText(
            QStringLiteral("<span style=\"color:#ff481e;\">The selected directory does not exist</span>"));
    if (!maskOk)
        m_errorLabel->setText(
            QStringLiteral("<span style=\"color:#ff481e;\">The entered filemask is not valid</span>"));
    m_extractButton->setEnabled(directoryOk && maskOk);
}

void ExtractDialog::setAdjustFilenamesActive(int active)
{
    m_adjustNamesCheck->setChecked(active != 0);
}

QStringList ExtractDialog::adjustFilenames(const QStringList &filenames)
{
    QStringList adjusted;
    adjusted.reserve(filenames.size());
    for (int i = 0; i < filenames.size(); ++i)
        adjusted.append(adjustFilename(filenames.at(i), int(filenames.size()), i));
    return adjusted;
}

QString ExtractDialog::adjustFilename(const QString &filename, int numFiles, int fileNum)
{
    if (!m_adjustNamesCheck->isChecked())
        return filename;
    return FileNameMask::adjust(m_filenameMaskEdit->text(), filename, numFiles, fileNum);
}

QString ExtractDialog::replacePlaceholders(const QString &mask, const QString &filename, int fileNumber, int numDigits)
{
    return FileNameMask::replacePlaceholders(mask, filename, fileNumber, numDigits);
}

bool ExtractDialog::filenameMaskValid()
{
    if (!m_adjustNamesCheck->isChecked())
        return true;
    return FileNameMask::isValid(m_filenameMaskEdit->text());
}

bool ExtractDialog::directoryValid()
{
    return QFileInfo(m_extractDirectoryEdit->text()).isDir();
}

void ExtractDialog::browseForDirectory()
{
    const QString directory = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Select a directory to extract"), m_extractDirectoryEdit->text());
    if (!directory.isEmpty())
        m_extractDirectoryEdit->setText(QFileInfo(directory).absoluteFilePath());
}

void ExtractDialog::showLegendHelp()
{
    HelpViewer::globalOpenPage(QStringLiteral("traxo-usage.htm"), QStringLiteral("sec:untraxo-legend"));
}
