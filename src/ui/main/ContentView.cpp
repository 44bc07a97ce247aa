#include "ui/main/ContentView.h"

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/main/InstallHomebrewView.h"
#include "ui/main/MainView.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ContentView::ContentView(QWidget *parent)
    : QWidget(parent)
    , m_activity(new ActivityStore(this))
    , m_store(new BrewStore(m_activity, this))
    , m_setup(new SetupStore(m_activity, this))
    , m_stack(new QStackedWidget(this))
    , m_checking(new QWidget(m_stack))
{
    setObjectName(u"contentView"_s);
    m_activity->setObjectName(u"activityStore"_s);
    m_store->setObjectName(u"brewStore"_s);
    m_setup->setObjectName(u"setupStore"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    auto *checking = new QVBoxLayout(m_checking);
    checking->addStretch();
    auto *spinner = new BusyIndicator(m_checking, 24);
    spinner->setObjectName(u"checkingProgress"_s);
    checking->addWidget(spinner, 0, Qt::AlignHCenter);
    checking->addSpacing(6);
    auto *label = new QLabel(u"Looking for Homebrew…"_s, m_checking);
    label->setObjectName(u"checkingLabel"_s);
    checking->addWidget(label, 0, Qt::AlignHCenter);
    checking->addStretch();
    m_stack->addWidget(m_checking);

    connect(m_store, &BrewStore::statusChanged, this, &ContentView::showStatus);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationBecameActive();
    });
    makeViewActions();
    showStatus();
}

void ContentView::makeViewActions()
{
    int number = 1;
    for (const SidebarSection section : allSidebarSections()) {
        auto *action = new QAction(MainView::sectionTitle(section), this);
        action->setObjectName(u"showSection"_s + QString::number(number));
        if (number <= 9)
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + number)));
        connect(action, &QAction::triggered, this, [this, section] {
            if (m_mainView)
                m_mainView->setSection(section);
        });
        m_viewActions.append(action);
        ++number;
    }
    auto *find = new QAction(u"Find"_s, this);
    find->setObjectName(u"findAction"_s);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        if (m_mainView)
            m_mainView->focusSearch();
    });
    m_viewActions.append(find);
    addActions(m_viewActions);
}

void ContentView::refreshViewActions()
{
    const bool usable = m_mainView && m_stack->currentWidget() == m_mainView;
    for (QAction *action : std::as_const(m_viewActions))
        action->setEnabled(usable);
}

ContentView::~ContentView()
{
    // Views below read the stores while they go, and the brew store reports to the activity
    // store: take them down in the reverse order of their making.
    delete m_stack;
    m_stack = nullptr;
    delete m_setup;
    delete m_store;
    delete m_activity;
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    Async::start(m_store->refresh(), "Looking for Homebrew");
    Async::start(m_setup->refresh(), "Checking the components");
}

void ContentView::showStatus()
{
    if (!m_stack)
        return;
    switch (m_store->status()) {
    case BrewStatus::checking:
        m_stack->setCurrentWidget(m_checking);
        break;
    case BrewStatus::missing:
        if (!m_install) {
            m_install = new InstallHomebrewView(m_store, m_stack);
            m_stack->addWidget(m_install);
        }
        m_stack->setCurrentWidget(m_install);
        break;
    case BrewStatus::ready:
        if (!m_mainView) {
            m_mainView = new MainView(m_store, m_activity, m_setup, m_stack);
            m_stack->addWidget(m_mainView);
        }
        m_stack->setCurrentWidget(m_mainView);
        break;
    }
    refreshViewActions();
}

void ContentView::applicationBecameActive()
{
    switch (m_store->status()) {
    case BrewStatus::missing:
        // Homebrew may just have been installed in Terminal.
        Async::start(m_store->refresh(), "Looking for Homebrew");
        break;
    case BrewStatus::ready:
        // Changes made in Terminal meanwhile show up on the Home screen.
        Async::start(m_setup->refresh(), "Checking the components");
        break;
    case BrewStatus::checking:
        break;
    }
}
