#include "viewer/comparewindow.h"

#include "frame/utilities.h"
#include "frame/vwaitcursor.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QSet>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using traxo::WorkflowComparison;

namespace {

const char *const ChangedColour = "#fff1a8";
const char *const RemovedColour = "#ffd4d4";
const char *const AddedColour = "#d4f2d4";

QString rowColour(WorkflowComparison::RowKind kind)
{
    switch (kind) {
    case WorkflowComparison::Changed:
        return QString::fromLatin1(ChangedColour);
    case WorkflowComparison::Removed:
        return QString::fromLatin1(RemovedColour);
    case WorkflowComparison::Added:
        return QString::fromLatin1(AddedColour);
    case WorkflowComparison::Same:
        break;
    }
    return QString();
}

// What the row list says about a row: its kind and the changed fields.
QString rowSummary(const WorkflowComparison::Row &row)
{
    QStringList words;
    for (const WorkflowComparison::FieldChange &change : row.changes)
        words.append(change.field);
    QString text = row.kind == WorkflowComparison::Changed ? words.join(QStringLiteral(", "))
                                                           : WorkflowComparison::kindName(row.kind);
    if (row.parentChanged)
        text += QStringLiteral("; parent changed");
    return text;
}

} // namespace

CompareWindow::CompareWindow(
    const WorkflowComparison &comparison, const QString &name1, const QString &name2, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_comparison(comparison)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(
        QStringLiteral("Compare TRAXO Files - %1 / %2").arg(QFileInfo(name1).fileName(), QFileInfo(name2).fileName()));
    resize(1200, 850);

    int counts[4] = { 0, 0, 0, 0 };
    int parentsChanged = 0;
    for (const WorkflowComparison::Row &row : comparison.rows()) {
        ++counts[row.kind];
        parentsChanged += row.parentChanged ? 1 : 0;
    }
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("m_summary"));
    m_summary->setTextFormat(Qt::RichText);
    m_summary->setText(
        QStringLiteral("<b>First:</b> %1<br><b>Second:</b> %2<br>%3 same, "
                       "<span style=\"background:%4\">&nbsp;%5 changed&nbsp;</span>, "
                       "<span style=\"background:%6\">&nbsp;%7 removed&nbsp;</span>, "
                       "<span style=\"background:%8\">&nbsp;%9 added&nbsp;</span>, %10 with another parent%11")
            .arg(escapeHtml(name1), escapeHtml(name2))
            .arg(counts[WorkflowComparison::Same])
            .arg(QString::fromLatin1(ChangedColour))
            .arg(counts[WorkflowComparison::Changed])
            .arg(QString::fromLatin1(RemovedColour))
            .arg(counts[WorkflowComparison::Removed])
            .arg(QString::fromLatin1(AddedColour))
            .arg(counts[WorkflowComparison::Added])
            .arg(parentsChanged)
            .arg(comparison.isEqual() ? QStringLiteral(": the histories are equal.") : QStringLiteral(".")));

    m_rowList = new QTreeWidget(this);
    m_rowList->setObjectName(QStringLiteral("m_rowList"));
    m_rowList->setHeaderLabels(
        { QStringLiteral("First history"), QStringLiteral("Second history"), QStringLiteral("Differences") });
    m_rowList->setRootIsDecorated(true);
    m_rowList->setAlternatingRowColors(false);
    m_rowList->header()->setSectionResizeMode(QHeaderView::Interactive);
    fillRowList();
    m_rowList->setColumnWidth(0, 380);
    m_rowList->setColumnWidth(1, 380);
    connect(m_rowList, &QTreeWidget::itemClicked, this,
        [this](QTreeWidgetItem *item) { showRow(item->data(0, Qt::UserRole).toInt()); });
    connect(m_rowList, &QTreeWidget::itemActivated, this,
        [this](QTreeWidgetItem *item) { showRow(item->data(0, Qt::UserRole).toInt()); });

    auto *renderings = new QSplitter(Qt::Horizontal, this);
    m_first = new QTextBrowser(renderings);
    m_first->setObjectName(QStringLiteral("m_first"));
    m_second = new QTextBrowser(renderings);
    m_second->setObjectName(QStringLiteral("m_second"));
    for (QTextBrowser *browser : { m_first, m_second }) {
        browser->setOpenLinks(false);
        connect(browser, &QTextBrowser::anchorClicked, this, &CompareWindow::linkClicked);
    }
    m_first->setHtml(renderHistory(comparison, traxo::FirstTree));
    m_second->setHtml(renderHistory(comparison, traxo::SecondTree));

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_rowList);
    splitter->addWidget(renderings);
    // The list takes the room its rows need, up to a third of the window.
    const int listHeight = m_rowList->header()->sizeHint().height()
        + int(comparison.rows().size() + 1) * m_rowList->fontMetrics().height() * 3 / 2;
    splitter->setSizes({ std::min(listHeight, 280), 560 });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(splitter, 1);
}

void CompareWindow::fillRowList()
{
    // A row nests below the last row of the level above it: the steps of an
    // embedded container hang below the step that embeds it.
    QList<QTreeWidgetItem *> lastAtLevel;
    const QList<WorkflowComparison::Row> &rows = m_comparison.rows();
    for (int i = 0; i < rows.size(); ++i) {
        const WorkflowComparison::Row &row = rows.at(i);
        const int level = std::min(int(row.level), int(lastAtLevel.size()));
        QTreeWidgetItem *item
            = level == 0 ? new QTreeWidgetItem(m_rowList) : new QTreeWidgetItem(lastAtLevel.at(level - 1));
        lastAtLevel.resize(level);
        lastAtLevel.append(item);
        item->setData(0, Qt::UserRole, i);
        if (row.node1 != traxo::NULL_NODE)
            item->setText(0, m_comparison.step1(row).Title);
        if (row.node2 != traxo::NULL_NODE)
            item->setText(1, m_comparison.step2(row).Title);
        item->setText(2, rowSummary(row));
        item->setToolTip(2, rowSummary(row));
        const QString colour = rowColour(row.kind);
        for (int column = 0; column < 3 && !colour.isEmpty(); ++column)
            item->setBackground(column, QColor(colour));
        if (row.parentChanged) {
            QFont font = item->font(2);
            font.setItalic(true);
            item->setFont(2, font);
        }
    }
    m_rowList->expandAll();
}

QString CompareWindow::renderHistory(const WorkflowComparison &comparison, traxo::TreeId side)
{
    const bool first = side == traxo::FirstTree;
    QString html = QStringLiteral("<html><body>");
    const QList<WorkflowComparison::Row> &rows = comparison.rows();
    for (int i = 0; i < rows.size(); ++i) {
        const WorkflowComparison::Row &row = rows.at(i);
        const int node = first ? row.node1 : row.node2;
        const QString margin = QStringLiteral("margin-left:%1px").arg(24 * row.level);
        html += QStringLiteral("<a name=\"row%1\"></a>").arg(i);
        if (node == traxo::NULL_NODE) {
            html += QStringLiteral("<p style=\"%1; color:#888888\"><i>%2</i></p><hr>")
                        .arg(margin,
                            first ? QStringLiteral("(added in the second history)")
                                  : QStringLiteral("(removed from the first history)"));
            continue;
        }
        const traxo::Workflowstep &step = first ? comparison.step1(row) : comparison.step2(row);
        QSet<QString> changed;
        for (const WorkflowComparison::FieldChange &change : row.changes)
            changed.insert(change.field);
        const QString colour = rowColour(row.kind == WorkflowComparison::Changed ? WorkflowComparison::Same : row.kind);
        html += QStringLiteral("<h3 style=\"%1%2\"><a href=\"compare:row/%3\">%4</a>%5</h3>")
                    .arg(margin, colour.isEmpty() ? QString() : QStringLiteral("; background:") + colour)
                    .arg(i)
                    .arg(escapeHtml(step.Title.isEmpty() ? QStringLiteral("(untitled step)") : step.Title),
                        row.parentChanged ? QStringLiteral(" <small><i>(parent changed)</i></small>") : QString());
        html += QStringLiteral("<table style=\"%1\" cellspacing=\"0\" cellpadding=\"2\">").arg(margin);
        const auto addLine = [&](const QString &field, const QString &value) {
            const bool mark = changed.contains(field);
            html += QStringLiteral("<tr><td><b>%1</b></td><td%2>%3</td></tr>")
                        .arg(escapeHtml(field),
                            mark ? QStringLiteral(" style=\"background:%1\"").arg(QString::fromLatin1(ChangedColour))
                                 : QString(),
                            value.isEmpty() ? QStringLiteral("<i>(none)</i>") : escapeHtml(value));
        };
        QSet<QString> shown;
        for (const auto &[field, value] : WorkflowComparison::fields(step)) {
            shown.insert(field);
            if (!value.isEmpty() || changed.contains(field))
                addLine(field, value);
        }
        // Attributes and files only the other side has.
        for (const QString &field : std::as_const(changed)) {
            if (!shown.contains(field))
                addLine(field, QString());
        }
        html += QStringLiteral("</table><hr>");
    }
    return html + QStringLiteral("</body></html>");
}

void CompareWindow::showRow(int row)
{
    if (row < 0 || row >= m_comparison.rows().size())
        return;
    QTreeWidgetItemIterator it(m_rowList);
    for (; *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == row) {
            m_rowList->setCurrentItem(*it);
            m_rowList->scrollToItem(*it);
            break;
        }
    }
    const QString anchor = QStringLiteral("row%1").arg(row);
    m_first->scrollToAnchor(anchor);
    m_second->scrollToAnchor(anchor);
}

void CompareWindow::linkClicked(const QUrl &url)
{
    const QString text = url.toString();
    const QString prefix = QStringLiteral("compare:row/");
    if (text.startsWith(prefix))
        showRow(text.mid(prefix.size()).toInt());
}

CompareWindow *CompareWindow::compareFiles(QWidget *parent, const QString &path1, const QString &path2)
{
    WorkflowComparison comparison;
    QString error;
    VWaitCursor wait;
    if (!comparison.compareFiles(path1, path2, &error)) {
        QMessageBox::warning(parent, QStringLiteral("Compare TRAXO Files"), error);
        return nullptr;
    }
    return new CompareWindow(comparison, path1, path2, parent);
}

CompareWindow *CompareWindow::compareWithChosenFile(QWidget *parent, const QString &current)
{
    if (current.isEmpty()) {
        QMessageBox::information(parent, QStringLiteral("Compare TRAXO Files"),
            QStringLiteral("Open a TRAXO file first; it is then compared with the one you choose."));
        return nullptr;
    }
    const QString other = QFileDialog::getOpenFileName(parent, QStringLiteral("Compare With a TRAXO File"),
        QFileInfo(current).absolutePath(), QStringLiteral("TRAXO files (*.traxo *.pdf);;All files (*)"));
    if (other.isEmpty())
        return nullptr;
    CompareWindow *window = compareFiles(parent, current, other);
    if (window)
        window->show();
    return window;
}
