#include "ui/StateLabel.h"

#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/SymbolLabel.h"

#include <QEvent>
#include <QHBoxLayout>

using namespace Qt::StringLiterals;

StateLabel::StateLabel(const StepState &state, QWidget *parent)
    : QWidget(parent)
    , m_label(new SymbolLabel(this))
    , m_spinner(new BusyIndicator(this, 12))
{
    setObjectName(u"stateLabel"_s);
    m_label->setObjectName(u"stateText"_s);
    m_spinner->setObjectName(u"stateSpinner"_s);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_spinner, 0, Qt::AlignVCenter | Qt::AlignRight);
    layout->addWidget(m_label, 0, Qt::AlignVCenter | Qt::AlignRight);
    m_state = state;
    render();
}

void StateLabel::setState(const StepState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    render();
}

void StateLabel::render()
{
    const bool known = m_state.kind != StepState::Kind::unknown;
    m_spinner->setVisible(!known);
    m_label->setVisible(known);
    if (known) {
        m_label->setSymbol(symbolFor(m_state.kind));
        m_label->setColor(colorFor(m_state.kind, this));
        m_label->setText(m_state.text);
    }
    setAccessibleName(
        spokenName(m_state.kind) + (known && !m_state.text.isEmpty() ? u": "_s + m_state.text : QString()));
}

QString StateLabel::symbolFor(StepState::Kind kind)
{
    switch (kind) {
    case StepState::Kind::done:
        return /*symbol*/ u"checkmark.circle.fill"_s;
    case StepState::Kind::partial:
        return /*symbol*/ u"exclamationmark.circle.fill"_s;
    case StepState::Kind::missing:
        return /*symbol*/ u"circle"_s;
    case StepState::Kind::notApplicable:
        return /*symbol*/ u"minus.circle"_s;
    case StepState::Kind::unknown:
        break;
    }
    return {};
}

void StateLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The secondary colour is the palette's: take it again from a new one.
    if (event->type() == QEvent::PaletteChange)
        render();
}

QString StateLabel::spokenName(StepState::Kind kind)
{
    switch (kind) {
    case StepState::Kind::done:
        return u"Done"_s;
    case StepState::Kind::partial:
        return u"Partly done"_s;
    case StepState::Kind::missing:
        return u"Missing"_s;
    case StepState::Kind::notApplicable:
        return u"Not applicable"_s;
    case StepState::Kind::unknown:
        break;
    }
    return u"Checking"_s;
}

QColor StateLabel::colorFor(StepState::Kind kind, const QWidget *widget)
{
    switch (kind) {
    case StepState::Kind::done:
        return Colors::green();
    case StepState::Kind::partial:
        return Colors::orange();
    default:
        return Colors::secondary(widget);
    }
}
