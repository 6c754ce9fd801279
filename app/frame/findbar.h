#ifndef TRAXO_FINDBAR_H
#define TRAXO_FINDBAR_H

#include <QWidget>

class QCheckBox;
class QToolButton;
class FindEdit;

// A slim row below a text pane: close button, search field, previous and
// next buttons and "Case sensitive". Starts hidden.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);

    bool caseSensitive() const;
    QString findString() const;
    FindEdit *findEdit() const { return m_edit; }

signals:
    void previousPressed();
    void nextPressed();
    void findStringChanged(const QString &text);
    void caseSensitivityChanged(bool caseSensitive);
    void findBarHidden();
    void findBarShown();

public slots:
    void showFindBar();
    void hideFindBar();

private:
    QToolButton *m_closeButton;
    FindEdit *m_edit;
    QToolButton *m_previousButton;
    QToolButton *m_nextButton;
    QCheckBox *m_caseSensitive;
};

#endif
