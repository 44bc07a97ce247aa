#include "ui/wizard/SelectPage.h"

#include "brew/ActivityStore.h"
#include "setup/engine/SetupStore.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/StateLabel.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/PageScroll.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QSet<SetupComponent> SelectPage::applyToggle(
    QSet<SetupComponent> selected, SetupComponent component, bool on, const StepState &ohMyZshState)
{
    if (on) {
        selected.insert(component);
        if (component == SetupComponent::powerlevel10k && !ohMyZshState.isInPlace())
            selected.insert(SetupComponent::ohMyZsh);
    } else {
        selected.remove(component);
        if (component == SetupComponent::ohMyZsh && !ohMyZshState.isInPlace())
            selected.remove(SetupComponent::powerlevel10k);
    }
    return selected;
}

SelectPage::SelectPage(SetupStore *setup, const QSet<SetupComponent> &selected, QWidget *parent)
    : QWidget(parent)
    , m_setup(setup)
{
    setObjectName(u"selectPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    column->setSpacing(14);
    const QColor secondary = Colors::secondary(this);
    for (const SetupComponent component : allSetupComponents()) {
        auto *row = new QWidget(this);
        row->setObjectName(u"row_"_s + toString(component));
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(10);

        auto *check = new QCheckBox(row);
        check->setObjectName(u"select_"_s + toString(component));
        check->setChecked(selected.contains(component));
        check->setAccessibleName(title(component));
        line->addWidget(check, 0, Qt::AlignVCenter);

        auto *icon = new QLabel(row);
        icon->setFixedWidth(24);
        icon->setAlignment(Qt::AlignCenter);
        icon->setPixmap(Symbols::icon(::icon(component), secondary).pixmap(18, 18));
        line->addWidget(icon, 0, Qt::AlignVCenter);

        auto *texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(WizardStyle::label(title(component), Fonts::Style::headline, row));
        texts->addWidget(WizardStyle::secondaryLabel(subtitle(component), Fonts::Style::callout, row));
        line->addLayout(texts, 1);

        auto *state = new StateLabel(m_setup ? m_setup->state(component) : StepState::unknown(), row);
        state->setObjectName(u"state_"_s + toString(component));
        line->addWidget(state, 0, Qt::AlignVCenter | Qt::AlignRight);

        connect(check, &QCheckBox::clicked, this, [this, component](bool on) { Q_EMIT toggled(component, on); });
        m_checks.insert(component, check);
        m_states.insert(component, state);
        column->addWidget(row);
    }
    if (m_setup)
        connect(m_setup, &SetupStore::statesChanged, this, &SelectPage::refreshStates);
}

void SelectPage::setSelected(const QSet<SetupComponent> &selected)
{
    for (auto it = m_checks.cbegin(); it != m_checks.cend(); ++it)
        it.value()->setChecked(selected.contains(it.key()));
}

void SelectPage::refreshStates()
{
    if (!m_setup)
        return;
    for (auto it = m_states.cbegin(); it != m_states.cend(); ++it)
        it.value()->setState(m_setup->state(it.key()));
}
