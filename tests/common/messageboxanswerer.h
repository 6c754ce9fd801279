#ifndef TRAXO_MESSAGEBOXANSWERER_H
#define TRAXO_MESSAGEBOXANSWERER_H

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

// Answers the modal dialogs that come up while it lives: a message box with
// the button of the given text (closing it when it has none), the n-th file
// dialog with the n-th of the given file names (or Cancel when there is none).
// Keeps the texts of the boxes it saw. Widgets only: for application tests.
class MessageBoxAnswerer : public QObject
{
public:
    explicit MessageBoxAnswerer(const QString &button, const QString &fileName = QString())
        : MessageBoxAnswerer(button, fileName.isEmpty() ? QStringList() : QStringList { fileName })
    {
    }
    MessageBoxAnswerer(const QString &button, const QStringList &fileNames)
        : m_button(button)
        , m_fileNames(fileNames)
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::answer);
        m_timer.start(10);
    }

    QStringList texts;
    int fileDialogs = 0;

private:
    // Runs on every tick while a dialog is up: a file dialog may still be
    // listing its folder and ignore the first accept, so it is asked again.
    void answer()
    {
        // Looked up among the visible windows: the modal stack is not always
        // updated yet when the dialog's event loop first runs a timer.
        QWidget *modal = nullptr;
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (window->isVisible() && (qobject_cast<QMessageBox *>(window) || qobject_cast<QFileDialog *>(window)))
                modal = window;
        }
        if (!modal)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (box != m_lastBox)
                texts << box->text() + QLatin1Char('\n') + box->informativeText();
            m_lastBox = box;
            const QList<QAbstractButton *> buttons = box->buttons();
            for (QAbstractButton *button : buttons) {
                if (button->text().remove(QLatin1Char('&')) == m_button) {
                    button->click();
                    return;
                }
            }
            box->reject();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (dialog != m_lastFileDialog)
                ++fileDialogs;
            m_lastFileDialog = dialog;
            if (fileDialogs > m_fileNames.size()) {
                dialog->reject();
                return;
            }
            const QString fileName = m_fileNames.at(fileDialogs - 1);
            // Typed into the name field, as a user would: selectFile() leaves a
            // field that has the focus alone, so a second attempt would not take.
            if (auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                nameEdit->setText(fileName);
            else
                dialog->selectFile(fileName);
            // accept() is protected in QFileDialog but a slot of QDialog.
            QMetaObject::invokeMethod(dialog, "accept");
        }
    }

    QString m_button;
    QStringList m_fileNames;
    QTimer m_timer;
    QPointer<QMessageBox> m_lastBox;
    QPointer<QFileDialog> m_lastFileDialog;
};

#endif
