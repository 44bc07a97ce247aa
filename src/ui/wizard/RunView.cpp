#include "ui/wizard/RunView.h"

#include "brew/ActivityStore.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/Fonts.h"
#include "ui/LiveLogView.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QColor colorFor(ApplyResult::Kind kind, const QWidget *widget)
{
    switch (kind) {
    case ApplyResult::Kind::succeeded:
        return Colors::green();
    case ApplyResult::Kind::failed:
        return Colors::red();
    default:
        return Colors::secondary(widget);
    }
}

} // namespace

QString RunView::symbolFor(ApplyResult::Kind kind)
{
    switch (kind) {
    case ApplyResult::Kind::pending:
        return /*symbol*/ u"circle"_s;
    case ApplyResult::Kind::running:
        return {};
    case ApplyResult::Kind::succeeded:
        return /*symbol*/ u"checkmark.circle.fill"_s;
    case ApplyResult::Kind::failed:
        return /*symbol*/ u"xmark.circle.fill"_s;
    }
    return {};
}

QString RunView::spokenResult(ApplyResult::Kind kind)
{
    switch (kind) {
    case ApplyResult::Kind::pending:
        return u"Waiting"_s;
    case ApplyResult::Kind::running:
        return u"Running"_s;
    case ApplyResult::Kind::succeeded:
        return u"Done"_s;
    case ApplyResult::Kind::failed:
        return u"Failed"_s;
    }
    return {};
}

RunView::RunView(SetupStore *setup, QWidget *parent)
    : QWidget(parent)
    , m_setup(setup)
    , m_log(new LiveLogView(this))
{
    setObjectName(u"runView"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *rows = new QWidget(this);
    rows->setObjectName(u"runRows"_s);
    m_rowsLayout = new QVBoxLayout(rows);
    m_rowsLayout->setContentsMargins(20, 14, 20, 14);
    m_rowsLayout->setSpacing(6);
    layout->addWidget(rows);

    auto *divider = Divider::horizontal(this);
    layout->addWidget(divider);

    m_log->setObjectName(u"runLog"_s);
    m_log->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_log->setAccessibleName(u"Setup log"_s);
    // Only a click gives it the focus, so the sheet opens without a caret blinking in the log.
    m_log->setFocusPolicy(Qt::ClickFocus);
    m_log->document()->setDocumentMargin(10);
    layout->addWidget(m_log, 1);

    if (m_setup) {
        connect(m_setup, &SetupStore::applyOrderChanged, this, &RunView::rebuildRows);
        connect(m_setup, &SetupStore::resultsChanged, this, &RunView::refreshResults);
    }
    m_log->setSource(m_setup.data());
    rebuildRows();
}

void RunView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshResults();
}

QString RunView::shownSymbol(SetupComponent component) const
{
    const auto found = m_rows.constFind(component);
    if (found == m_rows.cend())
        return {};
    return found->symbol.isEmpty() ? u"spinner"_s : found->symbol;
}

QString RunView::shownFailure(SetupComponent component) const
{
    const auto found = m_rows.constFind(component);
    if (found == m_rows.cend() || found->failure->isHidden())
        return {};
    return found->failure->text();
}

void RunView::rebuildRows()
{
    for (const Row &row : std::as_const(m_rows))
        delete row.widget;
    m_rows.clear();
    if (!m_setup)
        return;
    for (const SetupComponent component : m_setup->applyOrder()) {
        auto *widget = new QWidget(this);
        widget->setObjectName(u"run_"_s + toString(component));
        auto *line = new QHBoxLayout(widget);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);

        auto *iconSlot = new QWidget(widget);
        iconSlot->setFixedSize(18, 18);
        auto *icon = new QLabel(iconSlot);
        icon->setGeometry(0, 0, 18, 18);
        icon->setAlignment(Qt::AlignCenter);
        auto *spinner = new BusyIndicator(iconSlot, 14);
        spinner->move(2, 2);
        line->addWidget(iconSlot, 0, Qt::AlignTop);

        auto *texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(WizardStyle::label(title(component), Fonts::Style::body, widget));
        QLabel *failure = WizardStyle::label(QString(), Fonts::Style::caption, widget);
        failure->setObjectName(u"failure"_s);
        Colors::setTextColor(failure, Colors::red());
        failure->setTextInteractionFlags(Qt::TextSelectableByMouse);
        failure->hide();
        texts->addWidget(failure);
        line->addLayout(texts, 1);

        m_rowsLayout->addWidget(widget);
        m_rows.insert(component, { widget, icon, spinner, failure, QString() });
    }
    refreshResults();
}

void RunView::refreshResults()
{
    if (!m_setup)
        return;
    for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
        const ApplyResult result = m_setup->results().value(it.key());
        Row &row = it.value();
        row.symbol = symbolFor(result.kind);
        const bool running = result.kind == ApplyResult::Kind::running;
        row.spinner->setVisible(running);
        row.icon->setVisible(!running);
        if (!running)
            row.icon->setPixmap(Symbols::icon(row.symbol, colorFor(result.kind, this)).pixmap(16, 16));
        row.widget->setAccessibleName(title(it.key()) + u": "_s + spokenResult(result.kind));
        row.icon->setAccessibleName(spokenResult(result.kind));
        const bool failed = result.kind == ApplyResult::Kind::failed;
        row.failure->setText(failed ? result.text : QString());
        row.failure->setVisible(failed);
    }
}
