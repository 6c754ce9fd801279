#ifndef TRAXO_ELIDEDLABEL_H
#define TRAXO_ELIDEDLABEL_H

#include <QLabel>

// A label that shortens a long text in the middle to fit its width and then
// offers the full text as tool tip.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    QString fullText() const { return m_fullText; }
    // Asks for room for the whole text but accepts any width.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setText(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_fullText;
};

#endif
