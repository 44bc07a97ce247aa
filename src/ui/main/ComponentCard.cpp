#include "ui/main/ComponentCard.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/RoundedPanel.h"
#include "ui/StateLabel.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The title on one line, shortened with an ellipsis when the card is too narrow for it.
class TitleLabel : public QLabel {
public:
    TitleLabel(const QString &text, QWidget *parent)
        : QLabel(text, parent)
    {
        setFont(Fonts::font(Fonts::Style::headline));
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setToolTip(text);
        // Shortened on purpose; the tooltip and the accessible name carry the whole title.
        setProperty("elidesText", true);
    }

    QSize minimumSizeHint() const override
    {
        const QSize full = QLabel::minimumSizeHint();
        return QSize(std::min(full.width(), 40), full.height());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(
            rect(), Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideRight, width()));
    }
};

} // namespace

QString ComponentCard::buttonText(StepState::Kind kind)
{
    switch (kind) {
    case StepState::Kind::partial:
        return u"Fix"_s;
    case StepState::Kind::missing:
        return u"Set up"_s;
    case StepState::Kind::done:
    case StepState::Kind::unknown:
        return u"Configure"_s;
    case StepState::Kind::notApplicable:
        break;
    }
    return {};
}

ComponentCard::ComponentCard(SetupComponent component, const StepState &state, QWidget *parent)
    : QWidget(parent)
    , m_component(component)
    , m_state(state)
{
    setObjectName(u"card_"_s + toString(component));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);

    m_tile = new RoundedPanel(QColor(), 8, this);
    m_tile->setFixedSize(36, 36);
    m_tileIcon = new QLabel(m_tile);
    m_tileIcon->setGeometry(0, 0, 36, 36);
    m_tileIcon->setAlignment(Qt::AlignCenter);
    row->addWidget(m_tile, 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    m_title = new TitleLabel(title(component), this);
    m_title->setObjectName(u"cardTitle"_s);
    titleRow->addWidget(m_title);
    m_stateIcon = new QLabel(this);
    m_stateIcon->setObjectName(u"cardStateSymbol"_s);
    titleRow->addWidget(m_stateIcon);
    titleRow->addStretch(1);
    texts->addLayout(titleRow);
    m_message = WizardStyle::secondaryLabel(QString(), Fonts::Style::callout, this);
    m_message->setObjectName(u"cardMessage"_s);
    texts->addWidget(m_message);
    row->addLayout(texts, 1);

    // A small bordered button: a tool button keeps to the width of its text.
    m_button = new QToolButton(this);
    m_button->setObjectName(u"cardButton"_s);
    m_button->setFont(Fonts::font(Fonts::Style::callout));
    m_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    row->addWidget(m_button, 0, Qt::AlignVCenter);
    connect(m_button, &QToolButton::clicked, this, &ComponentCard::action);

    render();
}

void ComponentCard::setState(const StepState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    render();
}

QString ComponentCard::stateSymbol() const
{
    return m_stateSymbol;
}

void ComponentCard::render()
{
    const StepState::Kind kind = m_state.kind;
    const QColor color = StateLabel::colorFor(kind, this);
    // The icon's rounded square, tinted with the state's colour.
    m_tile->setFill(Colors::withOpacity(color, 0.15));
    // A title-3 symbol: about the size of that style's capital letters plus their padding.
    const int iconSize = QFontMetrics(Fonts::font(Fonts::Style::title3)).height() + 2;
    m_tileIcon->setPixmap(Symbols::pixmap(icon(m_component), iconSize, color, devicePixelRatioF()));

    m_stateSymbol = kind == StepState::Kind::unknown ? /*symbol*/ u"ellipsis.circle"_s : StateLabel::symbolFor(kind);
    const int symbolSize = QFontMetrics(Fonts::font(Fonts::Style::subheadline)).height();
    m_stateIcon->setPixmap(Symbols::pixmap(m_stateSymbol, symbolSize, color, devicePixelRatioF()));

    m_message->setText(kind == StepState::Kind::unknown ? u"Checking…"_s : m_state.text);
    const QString text = buttonText(kind);
    m_button->setText(text);
    m_button->setAccessibleName(text + u' ' + title(m_component));
    m_button->setVisible(!text.isEmpty());
    m_stateIcon->setAccessibleName(StateLabel::spokenName(kind));
    m_tileIcon->setAccessibleName(title(m_component));
    setAccessibleName(title(m_component) + u": "_s + StateLabel::spokenName(kind));
}

void ComponentCard::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        render();
}

void ComponentCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // The quaternary fill at 35 %.
    painter.setBrush(Colors::withOpacity(palette().color(QPalette::WindowText), 0.1 * 0.35));
    painter.drawRoundedRect(QRectF(rect()), 12, 12);
}
