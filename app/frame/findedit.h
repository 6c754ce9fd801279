#ifndef TRAXO_FINDEDIT_H
#define TRAXO_FINDEDIT_H

#include <QLineEdit>

// The search field of the find bar: Escape and Shift+Return get signals of
// their own, plain Return stays returnPressed().
class FindEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit FindEdit(QWidget *parent = nullptr);

signals:
    void escapePressed();
    void shiftReturnPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

#endif
