#ifndef TRAXO_COMPAREWINDOW_H
#define TRAXO_COMPAREWINDOW_H

#include "workflow/workflowcomparison.h"

#include <QWidget>

class QLabel;
class QTextBrowser;
class QTreeWidget;
class QUrl;

// Two histories side by side: a list with one row per matched pair of steps
// and per step found on one side only (nested containers as subtrees), and
// below it the two histories rendered step by step with the changed fields
// highlighted. Choosing a row, or a step's title in either rendering,
// scrolls both renderings to that step.
class CompareWindow : public QWidget
{
    Q_OBJECT
public:
    CompareWindow(const traxo::WorkflowComparison &comparison, const QString &name1, const QString &name2,
        QWidget *parent = nullptr);

    // Asks for a second container and shows its comparison with current,
    // or tells why it cannot. The window is a top-level child of parent.
    static CompareWindow *compareWithChosenFile(QWidget *parent, const QString &current);
    // Compares two containers; null after a message box when one cannot be
    // read or the histories cannot be compared.
    static CompareWindow *compareFiles(QWidget *parent, const QString &path1, const QString &path2);

    // One history as HTML: a block per row (an empty one where this side
    // has no step), anchored "row<n>", with the changed fields highlighted.
    static QString renderHistory(const traxo::WorkflowComparison &comparison, traxo::TreeId side);

    const traxo::WorkflowComparison &comparison() const { return m_comparison; }
    QTreeWidget *rowList() const { return m_rowList; }
    QTextBrowser *rendering(traxo::TreeId side) const { return side == traxo::FirstTree ? m_first : m_second; }

    // Selects the row and scrolls both renderings to it.
    void showRow(int row);

private:
    void fillRowList();
    void linkClicked(const QUrl &url);

    traxo::WorkflowComparison m_comparison;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_rowList = nullptr;
    QTextBrowser *m_first = nullptr;
    QTextBrowser *m_second = nullptr;
};

#endif
