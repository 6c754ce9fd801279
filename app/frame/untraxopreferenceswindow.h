#ifndef TRAXO_UNTRAXOPREFERENCESWINDOW_H
#define TRAXO_UNTRAXOPREFERENCESWINDOW_H

#include "ui_untraxopreferences.h"

#include <QDialog>

// The viewer's preferences dialog. It is re-filled from the settings each
// time it is opened; only OK writes, Cancel leaves the settings untouched.
class UnTRAXOPreferencesWindow : public QDialog, private Ui::UnTRAXOPreferences
{
    Q_OBJECT

public:
    explicit UnTRAXOPreferencesWindow(QWidget *parent = nullptr);

    // The template name OK stores for the text of the template edit: only
    // names of files in the templates directory, else the default template.
    static QString templateForPath(const QString &path, bool useDefault);
    static QString templateForPath(const QString &path, bool useDefault, const QString &templatesDir);

public slots:
    int exec() override;

private slots:
    void okButtonPressed();
    void changeFontButtonPressed();
    void defaultTemplateBoxClicked(int state);
    void defaultExtractionDirBoxClicked(int state);
    void setPathButtonPressed();
    void setExtractionPathButtonPressed();

private:
    void initWidgets();
    void initSignalSlots();
    void updateCurrentFontLabel();

    QString m_fontFamily;
    double m_fontPointSize = 12.0;
};

#endif
