#include "findtextbrowser.h"

#include "findbar.h"
#include "searchhighlighter.h"

#include <QAction>
#include <QApplication>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

FindTextBrowser::FindTextBrowser(QWidget *parent, QTextBrowser *browser)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
    , m_findBar(new FindBar(this))
    , m_findAction(new QAction(tr("&Find"), this))
    , m_hideAction(new QAction(tr("Hide find bar"), this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
    m_layout->addWidget(m_findBar);
    setTextBrowser(browser ? browser : new QTextBrowser);

    m_findAction->setShortcut(QKeySequence::Find);
    m_findAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_findAction->setEnabled(false);
    m_hideAction->setShortcut(QKeySequence(Qt::Key_Escape));
    m_hideAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(m_findAction);
    addAction(m_hideAction);

    connect(m_findBar, &FindBar::findStringChanged, this, &FindTextBrowser::findStringChanged);
    connect(m_findBar, &FindBar::caseSensitivityChanged, this, &FindTextBrowser::caseSensitivityChanged);
    connect(m_findBar, &FindBar::nextPressed, this, qOverload<>(&FindTextBrowser::findNext));
    connect(m_findBar, &FindBar::previousPressed, this, qOverload<>(&FindTextBrowser::findPrev));
    connect(m_findBar, &FindBar::findBarHidden, this, &FindTextBrowser::handleFindbarHiding);
    connect(m_findAction, &QAction::triggered, this, &FindTextBrowser::showFindBar);
    connect(m_hideAction, &QAction::triggered, this, &FindTextBrowser::hideFindBar);
}

void FindTextBrowser::setTextBrowser(QTextBrowser *browser)
{
    if (!browser || browser == m_browser)
        return;
    delete m_highlighter;
    m_highlighter = nullptr;
    if (m_browser) {
        m_layout->removeWidget(m_browser);
        delete m_browser;
    }
    m_browser = browser;
    m_layout->insertWidget(0, m_browser, 1);
    setHighlighterEnabled(m_highlighterEnabled);
}

void FindTextBrowser::setHighlighterEnabled(bool enabled)
{
    m_highlighterEnabled = enabled;
    if (enabled && !m_highlighter) {
        m_highlighter = new SearchHighlighter(m_browser->document());
        m_highlighter->setCaseSensitive(m_findBar->caseSensitive());
        m_highlighter->setFindString(m_findBar->findString());
    } else if (!enabled && m_highlighter) {
        delete m_highlighter;
        m_highlighter = nullptr;
    }
}

void FindTextBrowser::setSearchHighlighter(SearchHighlighter *highlighter)
{
    if (!highlighter || highlighter == m_highlighter)
        return;
    delete m_highlighter;
    m_highlighter = highlighter;
    m_highlighterEnabled = true;
    if (m_highlighter->document() != m_browser->document())
        m_highlighter->setDocument(m_browser->document());
    m_highlighter->setCaseSensitive(m_findBar->caseSensitive());
    m_highlighter->setFindString(m_findBar->findString());
}

void FindTextBrowser::setShortcutsActive(bool active)
{
    m_findAction->setEnabled(active);
}

int FindTextBrowser::selectionStart() const
{
    const QTextCursor cursor = m_browser->textCursor();
    return qMin(cursor.position(), cursor.anchor());
}

void FindTextBrowser::findStringChanged(const QString &findString)
{
    if (m_highlighter)
        m_highlighter->setFindString(findString);
    // From the start of the current match, so a longer text refines it.
    findNext(selectionStart());
}

void FindTextBrowser::caseSensitivityChanged(bool caseSensitive)
{
    if (m_highlighter)
        m_highlighter->setCaseSensitive(caseSensitive);
    findNext(selectionStart());
}

void FindTextBrowser::findNext(int position)
{
    find(position, false);
}

void FindTextBrowser::findNext()
{
    find(-1, false);
}

void FindTextBrowser::findPrev(int position)
{
    find(position, true);
}

void FindTextBrowser::findPrev()
{
    find(-1, true);
}

void FindTextBrowser::find(int position, bool backward)
{
    if (m_findBar->isHidden())
        m_findBar->showFindBar();
    const QString text = m_findBar->findString();
    QTextDocument::FindFlags flags;
    if (m_findBar->caseSensitive())
        flags |= QTextDocument::FindCaseSensitively;
    if (backward)
        flags |= QTextDocument::FindBackward;

    QTextCursor current = m_browser->textCursor();
    if (position < 0) {
        position = backward ? qMin(current.position(), current.anchor()) : qMax(current.position(), current.anchor());
        position = qMax(position, 0);
    }

    QTextDocument *document = m_browser->document();
    QTextCursor found = text.isEmpty() ? QTextCursor() : document->find(text, position, flags);
    if (found.isNull() && !text.isEmpty()) {
        // Wrap around: from the other end of the document.
        const int restart = backward ? document->characterCount() - 1 : 0;
        found = document->find(text, restart, flags);
    }
    if (found.isNull()) {
        current.clearSelection();
        m_browser->setTextCursor(current);
        return;
    }
    m_browser->setTextCursor(found);
    m_browser->ensureCursorVisible();
}

void FindTextBrowser::showFindBar()
{
    m_findBar->showFindBar();
}

void FindTextBrowser::hideFindBar()
{
    m_findBar->hideFindBar();
}

void FindTextBrowser::handleFindbarHiding()
{
    m_browser->setFocus(Qt::OtherFocusReason);
}

FindTextBrowser *FindTextBrowser::getBrowserWithFocus(FindTextBrowser *fallback)
{
    for (QWidget *widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (auto *browser = qobject_cast<FindTextBrowser *>(widget))
            return browser;
    }
    return fallback;
}

void FindTextBrowser::showFindBarForActiveWidget(FindTextBrowser *fallback)
{
    if (FindTextBrowser *browser = getBrowserWithFocus(fallback))
        browser->showFindBar();
}

void FindTextBrowser::findNextForActiveWidget(FindTextBrowser *fallback)
{
    if (FindTextBrowser *browser = getBrowserWithFocus(fallback))
        browser->findNext();
}

void FindTextBrowser::findPrevForActiveWidget(FindTextBrowser *fallback)
{
    if (FindTextBrowser *browser = getBrowserWithFocus(fallback))
        browser->findPrev();
}
