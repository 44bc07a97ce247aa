#include "ui/wizard/SegmentedControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

using namespace Qt::StringLiterals;

SegmentedControl::SegmentedControl(const QStringList &titles, QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < titles.size(); ++i) {
        auto *button = new QPushButton(titles[i], this);
        button->setObjectName(u"segment"_s);
        button->setCheckable(true);
        button->setAutoDefault(false);
        m_group->addButton(button, i);
        layout->addWidget(button, 1);
        m_buttons.append(button);
    }
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::activated);
}

int SegmentedControl::currentIndex() const
{
    return m_group->checkedId();
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index >= 0 && index < m_buttons.size()) {
        m_buttons[index]->setChecked(true);
        return;
    }
    // An exclusive group never lets the last checked button go; switch that off for a moment.
    m_group->setExclusive(false);
    for (QPushButton *button : std::as_const(m_buttons))
        button->setChecked(false);
    m_group->setExclusive(true);
}
