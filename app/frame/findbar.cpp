#include "findbar.h"

#include "findedit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QToolButton>

namespace {

// Shows the theme icon where the desktop has one, else the text.
QToolButton *makeButton(QWidget *parent, const QString &text, const QString &iconName, const QString &objectName)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    const QIcon icon = QIcon::fromTheme(iconName);
    if (!icon.isNull()) {
        button->setIcon(icon);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    return button;
}

} // namespace

FindBar::FindBar(QWidget *parent)
    : QWidget(parent)
    , m_closeButton(makeButton(this, QStringLiteral("X"), QStringLiteral("window-close"), QStringLiteral("close")))
    , m_edit(new FindEdit(this))
    , m_previousButton(makeButton(this, QStringLiteral("<"), QStringLiteral("go-previous"), QStringLiteral("previous")))
    , m_nextButton(makeButton(this, QStringLiteral(">"), QStringLiteral("go-next"), QStringLiteral("next")))
    , m_caseSensitive(new QCheckBox(tr("Case sensitive"), this))
{
    m_closeButton->setToolTip(tr("Close the find bar (Escape)"));
    m_previousButton->setToolTip(tr("Find previous (Shift+Return)"));
    m_nextButton->setToolTip(tr("Find next (Return)"));
    m_edit->setObjectName(QStringLiteral("findEdit"));
    m_caseSensitive->setObjectName(QStringLiteral("caseSensitive"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_closeButton);
    layout->addWidget(m_edit);
    layout->addWidget(m_previousButton);
    layout->addWidget(m_nextButton);
    layout->addWidget(m_caseSensitive);
    layout->addStretch(1);

    connect(m_closeButton, &QToolButton::clicked, this, &FindBar::hideFindBar);
    connect(m_previousButton, &QToolButton::clicked, this, &FindBar::previousPressed);
    connect(m_nextButton, &QToolButton::clicked, this, &FindBar::nextPressed);
    connect(m_edit, &QLineEdit::textChanged, this, &FindBar::findStringChanged);
    connect(m_caseSensitive, &QCheckBox::toggled, this, &FindBar::caseSensitivityChanged);
    connect(m_edit, &FindEdit::escapePressed, this, &FindBar::hideFindBar);
    connect(m_edit, &QLineEdit::returnPressed, this, &FindBar::nextPressed);
    connect(m_edit, &FindEdit::shiftReturnPressed, this, &FindBar::previousPressed);

    hide();
}

bool FindBar::caseSensitive() const
{
    return m_caseSensitive->isChecked();
}

QString FindBar::findString() const
{
    return m_edit->text();
}

void FindBar::showFindBar()
{
    // Opening the bar selects the old text so typing replaces it; a bar that
    // is already open keeps the user's editing state.
    const bool opening = isHidden();
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    if (opening)
        m_edit->selectAll();
    emit findBarShown();
}

void FindBar::hideFindBar()
{
    hide();
    emit findBarHidden();
}
