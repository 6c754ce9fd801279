#ifndef TRAXO_EXTRACTDIALOG_H
#define TRAXO_EXTRACTDIALOG_H

#include <QDialog>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks where and how to extract embedded files: the target directory,
// whether to ask before overwriting, whether to check the written files, and
// an optional mask that renames the files by running number and name:
//   %d number, %nd number padded to n digits, %*d number padded to the width
//   of the largest number, %f name, %*f name with blanks as '_', %% a '%'.
class ExtractDialog : public QDialog
{
    Q_OBJECT
public:
    ExtractDialog(QWidget *parent, const QString &directory, int numFiles);

    QString getDirectory() const;
    bool getValidateFiles() const;
    bool getAskBeforeOverwrite() const;

    // The mask edit's tool tip, which explains the mask language.
    static QString legend();

public slots:
    void uiChanged();
    void setAdjustFilenamesActive(int active);
    QStringList adjustFilenames(const QStringList &filenames);
    QString adjustFilename(const QString &filename, int numFiles, int fileNum);
    // Empty when the mask cannot be read (a lone '%', "%x"), or is empty.
    QString replacePlaceholders(const QString &mask, const QString &filename, int fileNumber, int numDigits);
    bool filenameMaskValid();
    bool directoryValid();
    void browseForDirectory();
    void showLegendHelp();

private:
    void setupUi();

public:
    // The form's widgets, named as in the form.
    QLabel *label = nullptr;
    QLineEdit *m_extractDirectoryEdit = nullptr;
    QPushButton *m_openButton = nullptr;
    QCheckBox *m_askCheck = nullptr;
    QCheckBox *m_validateCheck = nullptr;
    QCheckBox *m_adjustNamesCheck = nullptr;
    QLineEdit *m_filenameMaskEdit = nullptr;
    QPushButton *m_helpButton = nullptr;
    QLabel *m_errorLabel = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_extractButton = nullptr;
};

#endif
