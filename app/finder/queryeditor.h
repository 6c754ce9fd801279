#ifndef TRAXO_QUERYEDITOR_H
#define TRAXO_QUERYEDITOR_H

#include <QSize>
#include <QTextEdit>
#include <QWidget>

class QueryHighlighter;

// The one-line text field of the query editor. Line breaks never stay in it:
// Return and Enter ask for the search instead, and pasted line breaks become
// blanks. Its tool tip is the message of the mark the highlighter shows.
class QueryTextField : public QTextEdit
{
    Q_OBJECT

public:
    explicit QueryTextField(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QueryHighlighter *highlighter() const { return m_highlighter; }

signals:
    void enterPressed();
    void errorOccured(const QString &message, bool isError);

public slots:
    void fixChangedText();
    void handleError(const QString &message, bool isError);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int lineHeight() const;
    void applyFrameMargins();

    QueryHighlighter *m_highlighter;
};

// The finder's query input: one highlighted line. It reports after every
// change whether the query holds an error (errorOccured with isError true),
// only a warning, or nothing (an empty message).
class QueryEditor : public QWidget
{
    Q_OBJECT

public:
    explicit QueryEditor(QWidget *parent = nullptr);

    void setQuery(const QString &query);
    QString query() const;
    QueryTextField *textField() const { return m_textField; }
    // Checks the current text again and reports it, for an owner that
    // connected itself after the text was set.
    void recheck();

signals:
    void enterPressed();
    void errorOccured(const QString &message, bool isError);

private:
    QueryTextField *m_textField;
};

#endif
