#include "ui/wizard/WizardView.h"

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Logging.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/Fonts.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/GitPage.h"
#include "ui/wizard/MacOSPage.h"
#include "ui/wizard/P10kCustomizeView.h"
#include "ui/wizard/PageFields.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/ReviewPage.h"
#include "ui/wizard/RunView.h"
#include "ui/wizard/SSHPage.h"
#include "ui/wizard/SelectPage.h"
#include "ui/wizard/ShellPage.h"
#include "ui/wizard/TerminalPage.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QFrame *divider(QWidget *parent)
{
    auto *line = Divider::horizontal(parent);
    return line;
}

QPushButton *button(const QString &text, const QString &name, QWidget *parent)
{
    auto *result = new QPushButton(text, parent);
    result->setObjectName(name);
    // Only the primary button of the moment answers Return, never whichever has the focus.
    result->setAutoDefault(false);
    result->setMinimumWidth(84);
    WizardStyle::pressOnReturn(result);
    return result;
}

} // namespace

QSet<SetupComponent> WizardView::initialSelection(std::optional<SetupComponent> only, const SetupStore &setup)
{
    if (only)
        return { *only };
    QSet<SetupComponent> selected;
    for (const SetupComponent component : allSetupComponents()) {
        if (!setup.state(component).isInPlace())
            selected.insert(component);
    }
    return selected;
}

WizardView::WizardView(BrewStore *brew, SetupStore *setup, const WizardRequest &request, QWidget *parent)
    : QDialog(parent)
    , m_brew(brew)
    , m_setup(setup)
    , m_request(request)
    , m_draft(setup->config())
    , m_selected(initialSelection(request.only, *setup))
{
    setObjectName(u"wizardView"_s);
    setWindowTitle(u"Setup"_s);
    setFixedSize(780, 600);
    setModal(true);
    setWindowModality(Qt::WindowModal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QWidget(this);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(20, 16, 20, 12);
    headerLayout->setSpacing(2);
    m_title = new QLabel(header);
    m_title->setObjectName(u"wizardTitle"_s);
    m_title->setFont(Fonts::font(Fonts::Style::title, QFont::Bold));
    headerLayout->addWidget(m_title);
    m_step = WizardStyle::secondaryLabel(QString(), Fonts::Style::callout, header);
    m_step->setObjectName(u"wizardStep"_s);
    headerLayout->addWidget(m_step);
    layout->addWidget(header);
    layout->addWidget(divider(this));

    m_contentLayout = new QVBoxLayout;
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_contentLayout, 1);
    layout->addWidget(divider(this));

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(20, 12, 20, 12);
    bar->setSpacing(8);
    bar->addStretch(1);
    m_spinner = new BusyIndicator(this, 14);
    m_spinner->setObjectName(u"runSpinner"_s);
    bar->addWidget(m_spinner);
    m_cancel = button(u"Cancel"_s, u"cancelButton"_s, this);
    m_back = button(u"Back"_s, u"backButton"_s, this);
    m_skip = button(u"Skip"_s, u"skipButton"_s, this);
    m_done = button(u"Done"_s, u"doneButton"_s, this);
    m_next = button(u"Next"_s, u"nextButton"_s, this);
    m_apply = button(u"Apply"_s, u"applyButton"_s, this);
    m_customize = button(u"Customize prompt…"_s, u"customizeButton"_s, this);
    m_save = button(u"Save"_s, u"saveButton"_s, this);
    for (QPushButton *each : { m_cancel, m_back, m_skip, m_done, m_next, m_apply, m_customize, m_save })
        bar->addWidget(each);
    layout->addLayout(bar);

    connect(m_cancel, &QPushButton::clicked, this, &WizardView::reject);
    connect(m_back, &QPushButton::clicked, this, &WizardView::goBack);
    connect(m_next, &QPushButton::clicked, this, &WizardView::goNext);
    connect(m_apply, &QPushButton::clicked, this, &WizardView::startRun);
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_skip, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_customize, &QPushButton::clicked, this, &WizardView::customizePrompt);
    connect(m_save, &QPushButton::clicked, this, &WizardView::savePrompt);

    connect(m_setup, &SetupStore::isApplyingChanged, this, &WizardView::runStateChanged);
    connect(m_setup, &SetupStore::resultsChanged, this, &WizardView::refreshButtons);
    connect(m_setup, &SetupStore::statesChanged, this, [this] {
        // The review's notes depend on the states.
        if (!m_started && currentPage() == WizardPage::review)
            showContent(true);
    });

    refresh();
}

QList<WizardPage> WizardView::pages() const
{
    return WizardPages::sequence(m_selected, m_request.only.has_value());
}

int WizardView::currentIndex() const
{
    return std::min(m_pageIndex, int(pages().size()) - 1);
}

WizardPage WizardView::currentPage() const
{
    return pages().at(currentIndex());
}

bool WizardView::canCustomizePrompt() const
{
    if (!m_started || !m_setup || m_setup->isApplying() || m_draft.p10kStyle.isEmpty())
        return false;
    if (m_setup->results().value(SetupComponent::powerlevel10k) != ApplyResult::succeeded())
        return false;
    return Files::exists(P10kOptions::path());
}

void WizardView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_detectionsStarted)
        return;
    m_detectionsStarted = true;
    Async::start(detectOhMyZsh(), "Detecting Oh My Zsh");
    Async::start(detectP10k(), "Detecting the prompt configuration");
    Async::start(detectGit(), "Reading the Git identity");
}

QCoro::Task<> WizardView::detectOhMyZsh()
{
    QPointer<WizardView> self(this);
    const OhMyZshInfo info = co_await OhMyZshInfo::detect();
    if (!self)
        co_return;
    m_omz = info;
    if (!info.enabled.isEmpty()) {
        // What ~/.zshrc enables now stays enabled unless the user unticks it.
        QStringList plugins = info.enabled;
        for (const QString &name : std::as_const(m_draft.plugins)) {
            if (!plugins.contains(name))
                plugins.append(name);
        }
        m_draft.plugins = plugins;
    }
    detectionArrived({ WizardPage::terminal, WizardPage::review });
}

QCoro::Task<> WizardView::detectP10k()
{
    QPointer<WizardView> self(this);
    const P10kInfo info = co_await P10kInfo::detect();
    if (!self)
        co_return;
    m_p10k = info;
    // An existing prompt file is the user's own until they pick a preset.
    if (info.configExists)
        m_draft.p10kStyle.clear();
    detectionArrived({ WizardPage::terminal, WizardPage::review });
}

QCoro::Task<> WizardView::detectGit()
{
    QPointer<WizardView> self(this);
    auto nameTask = SetupChecks::gitConfigGet(u"user.name"_s);
    const std::optional<QString> name = co_await std::move(nameTask);
    if (!self)
        co_return;
    auto emailTask = SetupChecks::gitConfigGet(u"user.email"_s);
    const std::optional<QString> email = co_await std::move(emailTask);
    if (!self)
        co_return;
    if (m_draft.gitName.isEmpty() && name)
        m_draft.gitName = *name;
    if (m_draft.gitEmail.isEmpty() && email)
        m_draft.gitEmail = *email;
    if (m_draft.sshComment.isEmpty() && email)
        m_draft.sshComment = *email;
    detectionArrived({ WizardPage::git, WizardPage::ssh, WizardPage::review });
}

void WizardView::detectionArrived(const QList<WizardPage> &affected)
{
    --m_pendingDetections;
    if (m_shown == Shown::page && m_shownPage && affected.contains(*m_shownPage))
        showDetections();
    if (m_pendingDetections == 0)
        Q_EMIT detectionsDone();
}

void WizardView::showDetections()
{
    // The user may be on the page already, typing or scrolled down: update it in place rather
    // than building it again.
    auto *scroll = qobject_cast<PageScroll *>(m_content);
    QWidget *page = scroll ? scroll->widget() : nullptr;
    if (!page)
        return;
    if (auto *terminal = qobject_cast<TerminalPage *>(page)) {
        terminal->setDetections(m_omz, m_p10k);
    } else if (m_shownPage == WizardPage::review) {
        showContent(true);
    } else {
        PageFields::refreshTextFields(page);
    }
}

void WizardView::toggle(SetupComponent component, bool on)
{
    if (m_started)
        return;
    m_selected = SelectPage::applyToggle(m_selected, component, on, m_setup->state(SetupComponent::ohMyZsh));
    if (m_selectPage)
        m_selectPage->setSelected(m_selected);
    refreshHeader();
    refreshButtons();
}

void WizardView::goBack()
{
    if (m_started || currentIndex() < 1)
        return;
    m_pageIndex = currentIndex() - 1;
    refresh();
}

void WizardView::goNext()
{
    if (m_started || m_selected.isEmpty() || currentIndex() >= pages().size() - 1)
        return;
    m_pageIndex = currentIndex() + 1;
    refresh();
}

QList<SetupComponent> WizardView::orderedSelection() const
{
    QList<SetupComponent> ordered;
    for (const SetupComponent component : allSetupComponents()) {
        if (m_selected.contains(component))
            ordered.append(component);
    }
    return ordered;
}

void WizardView::startRun()
{
    if (m_started || m_selected.isEmpty() || currentPage() != WizardPage::review || !m_setup)
        return;
    m_setup->setConfig(m_draft);
    m_setup->setHasSeenWizard(true);
    m_started = true;
    m_setup->apply(orderedSelection(), m_brew ? m_brew->brewPath() : std::nullopt);
    refresh();
}

void WizardView::runStateChanged()
{
    if (m_setup && !m_setup->isApplying())
        m_cancelling = false;
    if (m_started && m_setup && !m_setup->isApplying() && !m_refreshedInstalled && m_brew) {
        // The iTerm2 step may have installed casks.
        m_refreshedInstalled = true;
        Async::start(m_brew->refreshInstalled(), "Refreshing the installed packages");
    }
    refreshButtons();
}

void WizardView::customizePrompt()
{
    if (!canCustomizePrompt())
        return;
    m_p10kOptions = P10kOptions::load();
    m_tuning = true;
    refresh();
}

void WizardView::savePrompt()
{
    if (!m_tuning)
        return;
    // A file that cannot be written leaves the prompt as the run made it; nothing to report.
    if (m_p10kOptions.write()) {
        // The instant prompt needs its preamble at the top of ~/.zshrc exactly while it is on.
        const bool instant = m_p10kOptions.instantPrompt != u"off"_s;
        try {
            Zshrc::edit([instant](const QString &text) -> std::optional<QString> {
                const QString changed = Zshrc::setInstantPrompt(instant, text);
                return changed == text ? std::nullopt : std::optional(changed);
            });
        } catch (const std::exception &error) {
            qCWarning(lcSetup) << "instant prompt not updated in ~/.zshrc:" << errorText(error);
        }
    }
    if (m_setup)
        Async::start(m_setup->refresh(), "Checking the components");
    accept();
}

void WizardView::reject()
{
    // Closing while a run applies would hide it half-way: Cancel and Escape stop the run at its
    // next interruptible point instead, and the sheet stays until it has.
    if (m_setup && m_setup->isApplying()) {
        if (m_started && !m_cancelling) {
            m_cancelling = true;
            m_setup->cancelApply();
            refreshButtons();
        }
        return;
    }
    QDialog::reject();
}

void WizardView::closeEvent(QCloseEvent *event)
{
    if (m_setup && m_setup->isApplying()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void WizardView::refresh()
{
    showContent();
    refreshHeader();
    refreshButtons();
}

void WizardView::refreshHeader()
{
    const WizardPage page = currentPage();
    QString text = WizardPages::title(page);
    if (page == WizardPage::review) {
        if (m_tuning)
            text = u"Customize prompt"_s;
        else if (m_started)
            text = u"Setting up…"_s;
    }
    m_title->setText(text);
    m_step->setText(u"Step "_s + QString::number(currentIndex() + 1) + u" of "_s + QString::number(pages().size()));
    m_step->setHidden(m_started);
}

void WizardView::refreshButtons()
{
    const bool applying = m_setup && m_setup->isApplying();
    const bool last = currentIndex() == pages().size() - 1;
    const bool customizable = canCustomizePrompt();

    m_spinner->setVisible(m_started && !m_tuning && applying);
    m_cancel->setVisible(!m_tuning && (!m_started || applying));
    m_cancel->setText(m_cancelling ? u"Cancelling…"_s : u"Cancel"_s);
    m_cancel->setEnabled(!m_cancelling);
    m_back->setVisible(!m_started && currentIndex() >= 1);
    m_next->setVisible(!m_started && !last);
    m_apply->setVisible(!m_started && last);
    m_done->setVisible(m_started && !m_tuning && !applying);
    m_customize->setVisible(m_started && !m_tuning && !applying && customizable);
    m_skip->setVisible(m_tuning);
    m_save->setVisible(m_tuning);
    m_next->setEnabled(!m_selected.isEmpty());
    m_apply->setEnabled(!m_selected.isEmpty());

    QPushButton *primary = nullptr;
    if (m_tuning)
        primary = m_save;
    else if (m_started)
        primary = applying ? nullptr : (customizable ? m_customize : m_done);
    else
        primary = last ? m_apply : m_next;
    for (QPushButton *each : { m_cancel, m_back, m_skip, m_done, m_next, m_apply, m_customize, m_save }) {
        each->setDefault(each == primary);
        WizardStyle::setProminent(each, each == primary);
    }
}

void WizardView::showContent(bool force)
{
    Shown wanted = Shown::page;
    std::optional<WizardPage> page;
    if (m_tuning) {
        wanted = Shown::tuning;
    } else if (m_started) {
        wanted = Shown::run;
    } else {
        page = currentPage();
    }
    if (!force && wanted == m_shown && page == m_shownPage)
        return;

    QWidget *next = nullptr;
    m_selectPage = nullptr;
    switch (wanted) {
    case Shown::tuning:
        next = new PageScroll(new P10kCustomizeView(&m_p10kOptions, m_draft.p10kStyle), this);
        break;
    case Shown::run:
        next = new RunView(m_setup, this);
        break;
    case Shown::page:
    case Shown::none:
        next = new PageScroll(makePage(*page), this);
        break;
    }
    // A page built again for new facts keeps the place the user scrolled to.
    auto *oldScroll = qobject_cast<PageScroll *>(m_content);
    const int keptScroll
        = force && oldScroll && wanted == m_shown && page == m_shownPage ? oldScroll->verticalScrollBar()->value() : 0;
    if (m_content) {
        m_contentLayout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = next;
    m_contentLayout->addWidget(m_content);
    // A layout shows a new child only at the next turn of the event loop; show it now, so the
    // page's own visibility rules apply from the start.
    m_content->show();
    if (auto *newScroll = qobject_cast<PageScroll *>(m_content); newScroll && keptScroll > 0) {
        newScroll->widget()->adjustSize();
        newScroll->verticalScrollBar()->setValue(keptScroll);
    }
    m_shown = wanted;
    m_shownPage = page;
}

QWidget *WizardView::makePage(WizardPage page)
{
    switch (page) {
    case WizardPage::select:
        m_selectPage = new SelectPage(m_setup, m_selected);
        connect(m_selectPage, &SelectPage::toggled, this, &WizardView::toggle);
        return m_selectPage;
    case WizardPage::terminal:
        return new TerminalPage(&m_draft, m_selected, m_omz, m_p10k);
    case WizardPage::shell:
        return new ShellPage(&m_draft);
    case WizardPage::macos:
        return new MacOSPage(&m_draft);
    case WizardPage::git:
        return new GitPage(&m_draft);
    case WizardPage::ssh:
        return new SSHPage(&m_draft);
    case WizardPage::review:
        return new ReviewPage(m_draft, m_selected, m_setup ? m_setup->states() : QHash<SetupComponent, StepState>(),
            nullptr, m_brew ? m_brew->brewPath() : std::nullopt);
    }
    return new QWidget;
}
