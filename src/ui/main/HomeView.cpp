#include "ui/main/HomeView.h"

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Platform.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/RoundedPanel.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"
#include "ui/main/ComponentCard.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace {

constexpr int cardMinimumWidth = 320;
constexpr int gridSpacing = 12;

// The quaternary fill of the platform the screens were drawn for: the text colour, faint.
QColor quaternary(const QWidget *widget)
{
    return Colors::withOpacity(widget->palette().color(QPalette::WindowText), 0.1);
}

// The ring over the nine components: a faint full circle, and over it the completed part,
// green when everything is done and in the brand gradient otherwise.
class ProgressRing : public QWidget {
public:
    explicit ProgressRing(QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(u"progressRing"_s);
        setFixedSize(84, 84);
        m_animation.setDuration(450);
        m_animation.setEasingCurve(QEasingCurve::OutCubic);
        QObject::connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
            m_shown = value.toReal();
            update();
        });
    }

    void setState(qreal fraction, const QString &text, bool green, const QString &accessibleText)
    {
        m_text = text;
        m_green = green;
        setAccessibleName(accessibleText);
        if (!qFuzzyCompare(1.0 + fraction, 1.0 + m_target)) {
            m_target = fraction;
            m_animation.stop();
            m_animation.setStartValue(m_shown);
            m_animation.setEndValue(fraction);
            m_animation.start();
        }
        update();
    }

    qreal target() const { return m_target; }
    QString text() const { return m_text; }
    bool green() const { return m_green; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        constexpr qreal stroke = 8;
        const QRectF circle = QRectF(rect()).adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
        painter.setPen(QPen(quaternary(this), stroke));
        painter.drawEllipse(circle);
        if (m_shown > 0) {
            QPen pen(m_green ? QBrush(Colors::green()) : QBrush(Colors::brandGradient(QRectF(rect()))), stroke);
            pen.setCapStyle(Qt::RoundCap);
            painter.setPen(pen);
            // From twelve o'clock, clockwise.
            painter.drawArc(circle, 90 * 16, -qRound(m_shown * 360 * 16));
        }
        QFont font = Fonts::font(Fonts::Style::title3, QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, m_text);
    }

private:
    QVariantAnimation m_animation;
    qreal m_target = 0;
    qreal m_shown = 0;
    QString m_text;
    bool m_green = false;
};

QString threePartVersion(const QString &version)
{
    QStringList parts = version.split(u'.');
    while (parts.size() < 3)
        parts.append(u"0"_s);
    return parts.mid(0, 3).join(u'.');
}

} // namespace

int HomeView::completeCount(const QHash<SetupComponent, StepState> &states)
{
    int count = 0;
    for (const SetupComponent component : allSetupComponents()) {
        const auto found = states.constFind(component);
        if (found != states.cend() && found->isInPlace())
            ++count;
    }
    return count;
}

QString HomeView::heading(const QHash<SetupComponent, StepState> &states)
{
    if (states.isEmpty())
        return u"Checking your Mac…"_s;
    const int complete = completeCount(states);
    if (complete == total)
        return u"Your Mac is set up"_s;
    if (complete == total - 1)
        return u"1 step left"_s;
    return QString::number(total - complete) + u" steps left"_s;
}

QString HomeView::ringDescription(const QHash<SetupComponent, StepState> &states)
{
    if (states.isEmpty())
        return u"Checking your Mac…"_s;
    return QString::number(completeCount(states)) + u" of "_s + QString::number(total) + u" components set up"_s;
}

QString HomeView::systemLine(const QString &systemVersion, const std::optional<QString> &brewVersion)
{
    return u"macOS "_s + threePartVersion(systemVersion) + u" · Apple Silicon · Homebrew "_s
        + brewVersion.value_or(u"—"_s);
}

QString HomeView::updatesText(qsizetype count)
{
    if (count == 1)
        return u"1 package can be updated"_s;
    return QString::number(count) + u" packages can be updated"_s;
}

HomeView::HomeView(BrewStore *brew, SetupStore *setup, QWidget *parent)
    : QWidget(parent)
    , m_brew(brew)
    , m_setup(setup)
{
    setObjectName(u"homeScreen"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeToolbar());

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(u"homeScroll"_s);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *column = new QWidget(scroll);
    auto *columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(20, 20, 20, 20);
    columnLayout->setSpacing(20);
    columnLayout->addWidget(makeSummary());
    columnLayout->addWidget(makeBanner());

    m_grid = new QWidget(column);
    m_grid->setObjectName(u"componentGrid"_s);
    // The grid takes the width it is given and picks its column count from it.
    m_grid->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_gridLayout = new QGridLayout(m_grid);
    m_gridLayout->setContentsMargins(0, 0, 0, 0);
    m_gridLayout->setSpacing(gridSpacing);
    for (const SetupComponent component : allSetupComponents()) {
        auto *card = new ComponentCard(component, m_setup ? m_setup->state(component) : StepState::unknown(), m_grid);
        // Columns share the width equally; their count already keeps each card wide enough.
        card->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        connect(card, &ComponentCard::action, this, [this, component] { Q_EMIT openWizard(component); });
        m_cards.insert(component, card);
    }
    m_grid->installEventFilter(this);
    columnLayout->addWidget(m_grid);
    columnLayout->addStretch(1);
    scroll->setWidget(column);
    layout->addWidget(scroll, 1);

    if (m_setup) {
        connect(m_setup, &SetupStore::statesChanged, this, &HomeView::refreshStates);
        connect(m_setup, &SetupStore::isCheckingChanged, this, &HomeView::refreshChecking);
    }
    if (m_brew) {
        connect(m_brew, &BrewStore::outdatedChanged, this, &HomeView::refreshBanner);
        connect(m_brew, &BrewStore::brewVersionChanged, this, &HomeView::refreshSystemLine);
    }
    layoutGrid();
    refreshStates();
    refreshSystemLine();
    refreshBanner();
    refreshChecking();
}

QWidget *HomeView::makeToolbar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(u"homeToolbar"_s);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(20, 10, 12, 10);
    auto *title = WizardStyle::label(u"Home"_s, Fonts::Style::title2, bar);
    title->setObjectName(u"homeTitle"_s);
    title->setFont(Fonts::font(Fonts::Style::title2, QFont::Bold));
    layout->addWidget(title);
    layout->addStretch(1);
    m_recheck = new QToolButton(bar);
    m_recheck->setObjectName(u"recheckButton"_s);
    m_recheck->setIcon(Symbols::icon(u"arrow.clockwise"_s));
    m_recheck->setText(u"Re-check"_s);
    m_recheck->setToolTip(u"Check the current state of your Mac again"_s);
    m_recheck->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_recheck->setAutoRaise(true);
    connect(m_recheck, &QToolButton::clicked, this, [this] {
        if (m_setup)
            Async::start(m_setup->refresh(), "Checking the components");
    });
    layout->addWidget(m_recheck);
    return bar;
}

QWidget *HomeView::makeSummary()
{
    // The quaternary fill at half strength, read from the palette when painting.
    auto *panel = new RoundedPanel(QPalette::WindowText, 0.1 * 0.5, 14, this);
    panel->setObjectName(u"summaryPanel"_s);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(18, 18, 18, 18);
    row->setSpacing(20);

    m_ring = new ProgressRing(panel);
    row->addWidget(m_ring, 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addStretch(1);
    m_heading = new QLabel(panel);
    m_heading->setObjectName(u"homeHeading"_s);
    m_heading->setFont(Fonts::font(Fonts::Style::title2, QFont::Bold));
    texts->addWidget(m_heading);
    m_system = WizardStyle::secondaryLabel(QString(), Fonts::Style::body, panel);
    m_system->setObjectName(u"systemLine"_s);
    texts->addWidget(m_system);
    m_checking = new BusyIndicator(panel, 12);
    m_checking->setObjectName(u"checkingIndicator"_s);
    texts->addWidget(m_checking);
    texts->addStretch(1);
    row->addLayout(texts, 1);

    m_wizardButton = new QPushButton(Symbols::icon(u"wand.and.stars"_s), QString(), panel);
    m_wizardButton->setObjectName(u"wizardButton"_s);
    m_wizardButton->setAutoDefault(false);
    m_wizardButton->setMinimumHeight(32);
    connect(m_wizardButton, &QPushButton::clicked, this, [this] { Q_EMIT openWizard(std::nullopt); });
    row->addWidget(m_wizardButton, 0, Qt::AlignVCenter);
    return panel;
}

QWidget *HomeView::makeBanner()
{
    m_banner = new RoundedPanel(Colors::withOpacity(Colors::blue(), 0.1), 10, this);
    m_banner->setObjectName(u"updatesBanner"_s);
    auto *row = new QHBoxLayout(m_banner);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(8);
    auto *icon = new QLabel(m_banner);
    icon->setPixmap(
        Symbols::pixmap(u"arrow.triangle.2.circlepath.circle.fill"_s, 18, Colors::blue(), devicePixelRatioF()));
    row->addWidget(icon);
    m_bannerText = WizardStyle::label(QString(), Fonts::Style::body, m_banner);
    m_bannerText->setObjectName(u"updatesText"_s);
    row->addWidget(m_bannerText, 1);
    m_viewUpdates = new QPushButton(u"View updates"_s, m_banner);
    m_viewUpdates->setObjectName(u"viewUpdatesButton"_s);
    m_viewUpdates->setAutoDefault(false);
    connect(m_viewUpdates, &QPushButton::clicked, this, &HomeView::openUpdates);
    row->addWidget(m_viewUpdates);
    return m_banner;
}

bool HomeView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid && event->type() == QEvent::Resize)
        layoutGrid();
    return QWidget::eventFilter(watched, event);
}

void HomeView::layoutGrid()
{
    const int width = m_grid->width();
    const int columns = std::max(1, (width + gridSpacing) / (cardMinimumWidth + gridSpacing));
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (ComponentCard *card : std::as_const(m_cards))
        m_gridLayout->removeWidget(card);
    for (int column = 0; column < m_gridLayout->columnCount(); ++column)
        m_gridLayout->setColumnStretch(column, 0);
    int index = 0;
    for (const SetupComponent component : allSetupComponents()) {
        m_gridLayout->addWidget(m_cards.value(component), index / columns, index % columns);
        ++index;
    }
    for (int column = 0; column < columns; ++column)
        m_gridLayout->setColumnStretch(column, 1);
}

void HomeView::refreshStates()
{
    const QHash<SetupComponent, StepState> states = m_setup ? m_setup->states() : QHash<SetupComponent, StepState>();
    const int complete = completeCount(states);
    const bool known = !states.isEmpty();
    const bool allDone = known && complete == total;
    static_cast<ProgressRing *>(m_ring)->setState(known ? qreal(complete) / total : 0.0,
        known ? QString::number(complete) + u"/"_s + QString::number(total) : u"…"_s, allDone, ringDescription(states));
    m_heading->setText(heading(states));

    m_wizardButton->setText(allDone ? u"Run wizard again"_s : u"Run setup wizard"_s);
    // The prominent form while there is something left to set up.
    WizardStyle::setProminent(m_wizardButton, !allDone);
    m_wizardButton->setIcon(Symbols::icon(u"wand.and.stars"_s, allDone ? QColor() : QColor(Qt::white)));
    m_wizardButton->setEnabled(known);

    for (auto it = m_cards.cbegin(); it != m_cards.cend(); ++it)
        it.value()->setState(m_setup ? m_setup->state(it.key()) : StepState::unknown());
}

void HomeView::refreshSystemLine()
{
    m_system->setText(systemLine(Platform::current().systemVersion(), m_brew ? m_brew->brewVersion() : std::nullopt));
}

void HomeView::refreshBanner()
{
    const qsizetype count = m_brew ? m_brew->outdated().size() : 0;
    m_banner->setVisible(count > 0);
    m_bannerText->setText(updatesText(count));
}

void HomeView::refreshChecking()
{
    const bool checking = m_setup && m_setup->isChecking();
    m_checking->setVisible(checking);
    m_recheck->setEnabled(!checking);
}

qreal HomeView::ringTarget() const
{
    return static_cast<ProgressRing *>(m_ring)->target();
}

QString HomeView::ringText() const
{
    return static_cast<ProgressRing *>(m_ring)->text();
}

bool HomeView::ringIsGreen() const
{
    return static_cast<ProgressRing *>(m_ring)->green();
}
