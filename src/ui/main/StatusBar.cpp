#include "ui/main/StatusBar.h"

#include "brew/ActivityStore.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/Fonts.h"
#include "ui/RelativeTime.h"
#include "ui/SymbolLabel.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

StatusBar::Level StatusBar::levelOf(const ActivityStore &activity)
{
    using Phase = ActivityStore::Phase::Kind;
    using Catalog = ActivityStore::CatalogState::Kind;
    switch (activity.phase().kind) {
    case Phase::success:
        return Level::ok;
    case Phase::failure:
        return Level::error;
    case Phase::running:
        return Level::busy;
    case Phase::idle:
        break;
    }
    switch (activity.catalog().kind) {
    case Catalog::updated:
        return Level::ok;
    case Catalog::failed:
        return Level::error;
    case Catalog::loading:
        return Level::busy;
    case Catalog::idle:
        break;
    }
    return Level::neutral;
}

StatusBar::StatusBar(ActivityStore *activity, QWidget *parent)
    : QWidget(parent)
    , m_activity(activity)
    , m_row(new QWidget(this))
    , m_message(new SymbolLabel(m_row))
    , m_task(new QWidget(m_row))
    , m_taskTitle(new QLabel(m_task))
    , m_taskProgress(new QProgressBar(m_task))
    , m_taskDetail(new QLabel(m_task))
    , m_details(new QPushButton(u"Show details"_s, m_row))
    , m_close(new QToolButton(m_row))
{
    setObjectName(u"statusBar"_s);
    setAttribute(Qt::WA_OpaquePaintEvent);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *divider = Divider::horizontal(this);
    divider->setFixedHeight(1);
    outer->addWidget(divider);
    outer->addWidget(m_row);

    auto *row = new QHBoxLayout(m_row);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(0);

    const QFont callout = Fonts::font(Fonts::Style::callout);
    m_message->setObjectName(u"statusMessage"_s);
    m_message->setTextFont(callout);

    m_task->setObjectName(u"statusTask"_s);
    auto *task = new QHBoxLayout(m_task);
    task->setContentsMargins(0, 0, 0, 0);
    task->setSpacing(8);
    m_taskTitle->setObjectName(u"statusTaskTitle"_s);
    m_taskTitle->setFont(Fonts::font(Fonts::Style::callout, QFont::Medium));
    m_taskProgress->setObjectName(u"statusTaskProgress"_s);
    m_taskProgress->setFixedWidth(170);
    m_taskProgress->setMaximumHeight(10);
    m_taskProgress->setTextVisible(false);
    m_taskDetail->setObjectName(u"statusTaskDetail"_s);
    m_taskDetail->setFont(callout);
    m_taskDetail->setTextFormat(Qt::PlainText);
    // A long output line must not push the right part off the bar.
    m_taskDetail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    task->addWidget(m_taskTitle);
    task->addWidget(m_taskProgress);
    task->addWidget(m_taskDetail, 1);

    // A flat button, so the details open from the keyboard too (Tab to it, then Return or Space);
    // the chevron sits after the text.
    m_details->setObjectName(u"statusDetailsHint"_s);
    m_details->setFlat(true);
    m_details->setFont(callout);
    m_details->setLayoutDirection(Qt::RightToLeft);
    m_details->setCursor(Qt::PointingHandCursor);
    m_details->setAccessibleDescription(u"Opens the details of the error"_s);
    m_details->installEventFilter(this);
    connect(m_details, &QPushButton::clicked, this, [this] {
        if (m_activity && level() == Level::error)
            m_activity->setShowingError(true);
    });
    applyMetrics();

    m_close->setObjectName(u"statusClose"_s);
    m_close->setAutoRaise(true);
    m_close->setIcon(Symbols::icon(u"xmark"_s));
    m_close->setIconSize(QSize(12, 12));
    m_close->setToolTip(u"Dismiss"_s);
    m_close->setAccessibleName(u"Dismiss message"_s);
    connect(m_close, &QToolButton::clicked, this, [this] {
        if (m_activity)
            m_activity->dismiss();
    });

    row->addWidget(m_message, 1);
    row->addWidget(m_task, 1);
    row->addSpacing(8);
    row->addWidget(m_details);
    row->addWidget(m_close);

    m_clock.setSingleShot(true);
    m_clock.setTimerType(Qt::CoarseTimer);
    connect(&m_clock, &QTimer::timeout, this, &StatusBar::refreshUpdatedText);

    if (m_activity) {
        for (auto signal : { &ActivityStore::phaseChanged, &ActivityStore::titleChanged, &ActivityStore::detailChanged,
                 &ActivityStore::progressChanged, &ActivityStore::catalogChanged })
            connect(m_activity, signal, this, &StatusBar::refresh);
    }
    refresh();
}

StatusBar::Level StatusBar::level() const
{
    return m_activity ? levelOf(*m_activity) : Level::neutral;
}

QString StatusBar::text() const
{
    return m_task->isVisibleTo(this) ? m_taskTitle->text() : m_message->text();
}

void StatusBar::showMessage(const QString &symbol, const QString &text, const QColor &color)
{
    m_task->hide();
    m_message->setSymbol(symbol);
    m_message->setColor(color);
    m_message->setText(text);
    m_message->show();
}

void StatusBar::showTask(const QString &title, std::optional<double> progress, const QString &detail)
{
    m_message->hide();
    m_taskTitle->setText(title);
    if (progress) {
        m_taskProgress->setRange(0, 1000);
        m_taskProgress->setValue(qRound(std::clamp(*progress, 0.0, 1.0) * 1000));
    } else {
        m_taskProgress->setRange(0, 0);
    }
    QPalette secondary = m_taskDetail->palette();
    secondary.setColor(QPalette::WindowText, Colors::secondary(this));
    m_taskDetail->setPalette(secondary);
    m_taskDetail->setText(detail);
    m_taskDetail->setVisible(!detail.isEmpty());
    m_task->show();
}

void StatusBar::refresh()
{
    m_clock.stop();
    if (!m_activity)
        return;
    using Phase = ActivityStore::Phase::Kind;
    using Catalog = ActivityStore::CatalogState::Kind;
    const ActivityStore::Phase phase = m_activity->phase();
    const ActivityStore::CatalogState catalog = m_activity->catalog();

    if (phase.kind == Phase::success) {
        showMessage(u"checkmark.circle.fill"_s, phase.message, Colors::green());
    } else if (phase.kind == Phase::failure) {
        showMessage(u"xmark.octagon.fill"_s, phase.title, Colors::red());
    } else if (phase.kind == Phase::running) {
        showTask(m_activity->title(), m_activity->progress(), m_activity->detail());
    } else if (catalog.kind == Catalog::updated) {
        showMessage(u"checkmark.circle.fill"_s, QString(), Colors::green());
        refreshUpdatedText();
    } else if (catalog.kind == Catalog::failed) {
        showMessage(u"exclamationmark.triangle.fill"_s, u"Couldn't update the package catalog — using the saved one"_s,
            Colors::red());
    } else if (catalog.kind == Catalog::loading) {
        showTask(u"Updating package catalog…"_s, std::nullopt, QString());
    } else {
        showMessage(QString(), u"Ready"_s, Colors::secondary(this));
    }

    const Level current = level();
    m_details->setVisible(current == Level::error);
    m_close->setVisible(phase.kind == Phase::success);
    setToolTip(current == Level::error ? u"Click to see the error"_s : QString());
    setAccessibleName(u"Status: "_s + text());
    setCursor(current == Level::error ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

void StatusBar::refreshUpdatedText()
{
    if (!m_activity)
        return;
    const ActivityStore::CatalogState catalog = m_activity->catalog();
    if (m_activity->phase().kind != ActivityStore::Phase::Kind::idle
        || catalog.kind != ActivityStore::CatalogState::Kind::updated)
        return;
    const qint64 elapsed = catalog.date.secsTo(QDateTime::currentDateTime());
    m_message->setText(u"Package store is up to date · updated "_s + RelativeTime::duration(elapsed) + u" ago"_s);
    m_clock.start(RelativeTime::untilNextChange(elapsed) + std::chrono::milliseconds(50));
}

void StatusBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const Level current = level();
    if (current == Level::ok)
        painter.fillRect(rect(), Colors::withOpacity(Colors::green(), 0.14));
    else if (current == Level::error)
        painter.fillRect(rect(), Colors::withOpacity(Colors::red(), 0.14));
}

void StatusBar::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void StatusBar::mouseReleaseEvent(QMouseEvent *event)
{
    const bool clicked = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (clicked && m_activity && level() == Level::error)
        m_activity->setShowingError(true);
    event->accept();
}

void StatusBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
    if (event->type() == QEvent::FontChange)
        applyMetrics();
}

bool StatusBar::eventFilter(QObject *watched, QEvent *event)
{
    // Return opens the details as Space does; a plain button outside a dialog ignores it.
    if (watched == m_details && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_details->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void StatusBar::applyMetrics()
{
    // The bar is one line of callout text high, with room for a focus frame around the button.
    const QFontMetrics callout(m_details->font());
    m_row->setFixedHeight(std::max(30, callout.height() + 14));
    QPalette red = m_details->palette();
    red.setColor(QPalette::ButtonText, Colors::red());
    red.setColor(QPalette::WindowText, Colors::red());
    m_details->setPalette(red);
    const int chevron = callout.height() - 2;
    m_details->setIcon(Symbols::icon(u"chevron.up"_s, Colors::red()));
    m_details->setIconSize(QSize(chevron, chevron));
}
