#ifndef TRAXO_FINDTEXTBROWSER_H
#define TRAXO_FINDTEXTBROWSER_H

#include <QWidget>

class QAction;
class QTextBrowser;
class QVBoxLayout;
class FindBar;
class SearchHighlighter;

// A read-only text pane with a find bar below it: incremental search with
// wrap-around, every occurrence highlighted. The standard Find shortcut
// (once enabled with setShortcutsActive) opens the bar, Escape closes it,
// both only while the focus is inside this widget.
class FindTextBrowser : public QWidget
{
    Q_OBJECT

public:
    // A null browser means a plain new QTextBrowser.
    explicit FindTextBrowser(QWidget *parent = nullptr, QTextBrowser *browser = nullptr);

    QTextBrowser *textBrowser() const { return m_browser; }
    // The previous browser is deleted; the new one goes on top.
    void setTextBrowser(QTextBrowser *browser);
    void setHighlighterEnabled(bool enabled);
    // Adopts a highlighter that paints more than the matches, moved onto this
    // pane's document; it replaces the plain one and is deleted like it.
    void setSearchHighlighter(SearchHighlighter *highlighter);
    void setShortcutsActive(bool active);
    FindBar *findBar() const { return m_findBar; }
    SearchHighlighter *highlighter() const { return m_highlighter; }

    // For windows with several panes: the pane holding the focus, else the
    // fallback; the other helpers apply an operation to that pane.
    static FindTextBrowser *getBrowserWithFocus(FindTextBrowser *fallback);
    static void showFindBarForActiveWidget(FindTextBrowser *fallback);
    static void findNextForActiveWidget(FindTextBrowser *fallback);
    static void findPrevForActiveWidget(FindTextBrowser *fallback);

public slots:
    void findStringChanged(const QString &findString);
    void caseSensitivityChanged(bool caseSensitive);
    void findNext(int position);
    void findNext();
    void findPrev(int position);
    void findPrev();
    void showFindBar();
    void hideFindBar();

private slots:
    void handleFindbarHiding();

private:
    void find(int position, bool backward);
    int selectionStart() const;

    QVBoxLayout *m_layout;
    QTextBrowser *m_browser = nullptr;
    SearchHighlighter *m_highlighter = nullptr;
    FindBar *m_findBar;
    QAction *m_findAction;
    QAction *m_hideAction;
    bool m_highlighterEnabled = true;
};

#endif
