#include "AsyncTest.h"
#include "FindChild.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "SetupFakes.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/LiveLogView.h"
#include "ui/StateLabel.h"
#include "ui/SymbolLabel.h"
#include "ui/wizard/GitPage.h"
#include "ui/wizard/KeyValueEditor.h"
#include "ui/wizard/MacOSPage.h"
#include "ui/wizard/P10kCustomizeView.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/PluginPicker.h"
#include "ui/wizard/ReviewPage.h"
#include "ui/wizard/RunView.h"
#include "ui/wizard/SSHPage.h"
#include "ui/wizard/SegmentedControl.h"
#include "ui/wizard/SelectPage.h"
#include "ui/wizard/ShellPage.h"
#include "ui/wizard/TerminalPage.h"
#include "ui/wizard/WizardView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

namespace {

constexpr auto runTimeout = std::chrono::seconds(90);

QString titleOf(const WizardView &wizard)
{
    return child<QLabel>(&wizard, u"wizardTitle"_s)->text();
}

QString stepOf(const WizardView &wizard)
{
    QLabel *step = child<QLabel>(&wizard, u"wizardStep"_s);
    return step->isHidden() ? QString() : step->text();
}

QPushButton *button(const WizardView &wizard, const QString &name)
{
    return child<QPushButton>(&wizard, name);
}

// The buttons of the bar that can be seen, left to right.
QStringList shownButtons(const WizardView &wizard)
{
    QStringList texts;
    for (const char *name : { "cancelButton", "backButton", "skipButton", "doneButton", "nextButton", "applyButton",
             "customizeButton", "saveButton" }) {
        QPushButton *each = button(wizard, QString::fromLatin1(name));
        if (!each->isHidden())
            texts.append(each->text());
    }
    return texts;
}

QString primaryButton(const WizardView &wizard)
{
    for (QPushButton *each : wizard.findChildren<QPushButton *>()) {
        if (each->isDefault() && !each->isHidden())
            return each->text();
    }
    return {};
}

// The widget of this type the sheet shows now: a page it has moved on from waits, hidden, to be
// deleted.
template<typename T> T *shown(const WizardView &wizard)
{
    for (T *each : wizard.findChildren<T *>()) {
        if (each->isVisibleTo(&wizard))
            return each;
    }
    return nullptr;
}

template<typename T> T *page(const WizardView &wizard)
{
    T *found = shown<T>(wizard);
    if (!found)
        qFatal("the sheet shows no %s", T::staticMetaObject.className());
    return found;
}

QString detailOf(const WizardView &wizard, SetupComponent component)
{
    auto *row = page<ReviewPage>(wizard)->findChild<QWidget *>(u"review_"_s + toString(component));
    return row ? row->findChild<QLabel *>(u"detail"_s)->text() : QString();
}

QStringList noteTexts(const WizardView &wizard)
{
    QStringList texts;
    for (SymbolLabel *note : page<ReviewPage>(wizard)->findChildren<SymbolLabel *>(u"note"_s))
        texts.append(note->text());
    return texts;
}

QCheckBox *checkBox(const SelectPage *select, SetupComponent component)
{
    return child<QCheckBox>(select, u"select_"_s + toString(component));
}

StateLabel *stateLabel(const SelectPage *select, SetupComponent component)
{
    return child<StateLabel>(select, u"state_"_s + toString(component));
}

// The segments of a segmented control, or the buttons of a choice group, in their order.
template<typename T> QList<T *> buttons(const QWidget *parent, const QString &name)
{
    return parent->findChildren<T *>(name);
}

// The rows of a key/value editor and the field of one of them.
template<typename T> T *rowField(const KeyValueEditor *editor, int row, const QString &name)
{
    const QList<QWidget *> rows = editor->findChildren<QWidget *>(u"row"_s, Qt::FindDirectChildrenOnly);
    return child<T>(rows.at(row), name);
}

int rowCount(const KeyValueEditor *editor)
{
    return int(editor->findChildren<QWidget *>(u"row"_s, Qt::FindDirectChildrenOnly).size());
}

// Git's identity, as `git config --global` would have written it.
void setGitIdentity(Sandbox &sandbox, const QByteArray &name, const QByteArray &email)
{
    QFile file(sandbox.homePath(u".gitconfig"_s));
    QVERIFY(file.open(QIODevice::Append));
    file.write("[user]\n\tname = " + name + "\n\temail = " + email + "\n");
}

struct Stores {
    ActivityStore activity;
    BrewStore brew{ &activity };
    SetupStore setup{ &activity };
};

} // namespace

class TestWizard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void walkEverything_applyAndCustomizePrompt();
    void openedForGit_isStepOneOfTwo();
    void iTermAlone_showsThePasswordNote();
    void existingPromptFile_keepsIt();
    void cancel_discardsTheDraft();
    void runningSheet_escapeCancelsTheRun();
    void keyboardOnly_ticksPluginsAndReachesReview();
    void returnOnFocusedButton_pressesIt_data();
    void returnOnFocusedButton_pressesIt();
    void lateDetection_keepsThePageAsTheUserLeftIt();
};

void TestWizard::walkEverything_applyAndCustomizePrompt()
{
    Sandbox sandbox;
    sandbox.configure(
        [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::milliseconds(50); });
    SetupFakes fakes(sandbox);
    fakes.installAll();
    setGitIdentity(sandbox, "Ada Lovelace", "ada@example.org");
    Stores stores;
    QR_AWAIT_VOID(stores.brew.refresh());
    QR_AWAIT_VOID(stores.setup.refresh());
    QCOMPARE(stores.setup.states().size(), 9);

    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make());
    wizard.show();
    QTRY_VERIFY_WITH_TIMEOUT(wizard.detectionsFinished(), 10000);
    QCOMPARE(wizard.size(), QSize(780, 600));

    // Selection: nothing is in place yet, so everything starts ticked.
    QCOMPARE(titleOf(wizard), u"What should be set up?"_s);
    QCOMPARE(stepOf(wizard), u"Step 1 of 7"_s);
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Cancel"_s, u"Next"_s }));
    QCOMPARE(primaryButton(wizard), u"Next"_s);
    auto *select = page<SelectPage>(wizard);
    QVERIFY(select);
    QCOMPARE(stateLabel(select, SetupComponent::ohMyZsh)->state(), StepState::missing(u"Not installed"_s));
    QCOMPARE(child<SymbolLabel>(stateLabel(select, SetupComponent::ohMyZsh), u"stateText"_s)->symbol(), u"circle"_s);
    saveScreenshot(&wizard, u"wizard-select"_s);

    // Oh My Zsh is missing: unticking it unticks Powerlevel10k, ticking Powerlevel10k brings it back.
    checkBox(select, SetupComponent::ohMyZsh)->click();
    QVERIFY(!wizard.selected().contains(SetupComponent::ohMyZsh));
    QVERIFY(!wizard.selected().contains(SetupComponent::powerlevel10k));
    QVERIFY(!checkBox(select, SetupComponent::powerlevel10k)->isChecked());
    QCOMPARE(stepOf(wizard), u"Step 1 of 6"_s);
    checkBox(select, SetupComponent::powerlevel10k)->click();
    QVERIFY(wizard.selected().contains(SetupComponent::ohMyZsh));
    QVERIFY(checkBox(select, SetupComponent::ohMyZsh)->isChecked());
    QCOMPARE(stepOf(wizard), u"Step 1 of 7"_s);

    // With nothing ticked there is nowhere to go.
    for (const SetupComponent component : allSetupComponents()) {
        if (checkBox(select, component)->isChecked())
            checkBox(select, component)->click();
    }
    QVERIFY(wizard.selected().isEmpty());
    QVERIFY(!button(wizard, u"nextButton"_s)->isEnabled());
    QCOMPARE(stepOf(wizard), u"Step 1 of 2"_s);
    saveScreenshot(&wizard, u"wizard-select-nothing"_s);
    for (const SetupComponent component : allSetupComponents())
        checkBox(select, component)->click();
    QCOMPARE(wizard.selected().size(), 9);
    QVERIFY(button(wizard, u"nextButton"_s)->isEnabled());

    // Terminal: the plugin picker without Oh My Zsh, and the prompt style.
    QTest::keyClick(&wizard, Qt::Key_Return);
    QCOMPARE(titleOf(wizard), u"Terminal"_s);
    QCOMPARE(stepOf(wizard), u"Step 2 of 7"_s);
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Cancel"_s, u"Back"_s, u"Next"_s }));
    auto *terminal = page<TerminalPage>(wizard);
    auto *picker = child<PluginPicker>(terminal, u"pluginPicker"_s);
    auto *search = child<QLineEdit>(picker, u"pluginSearch"_s);
    auto *custom = child<QLineEdit>(picker, u"pluginCustomName"_s);
    QAbstractItemModel *plugins = child<QTableView>(picker, u"pluginList"_s)->model();
    const QList<QPushButton *> filters = buttons<QPushButton>(child<QWidget>(picker, u"pluginFilter"_s), u"segment"_s);
    QCOMPARE(child<QLabel>(picker, u"pluginSummary"_s)->text(),
        u"0 enabled in ~/.zshrc · Oh My Zsh isn't installed yet — the full list appears after installation · "
        u"12 to add"_s);
    QCOMPARE(plugins->rowCount(), 30);
    QTest::keyClicks(search, u" SYN "_s);
    QCOMPARE(plugins->rowCount(), 1);
    QCOMPARE(plugins->index(0, 0).data().toString(), u"zsh-syntax-highlighting"_s);
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(titleOf(wizard), u"Terminal"_s);
    search->clear();
    filters.at(2)->click();
    QCOMPARE(plugins->rowCount(), 18); // the well-known names not in the configuration
    filters.at(0)->click();
    QCOMPARE(plugins->index(0, 0).data().toString(), u"brew"_s);
    QVERIFY(plugins->setData(plugins->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    QTRY_VERIFY(!wizard.draft().plugins.contains(u"brew"_s));
    QTest::keyClicks(custom, u"my-plugin"_s);
    QTest::keyClick(custom, Qt::Key_Return);
    QCOMPARE(titleOf(wizard), u"Terminal"_s); // Return added the name and did not move on
    QCOMPARE(wizard.draft().plugins.last(), u"my-plugin"_s);
    const QList<QRadioButton *> styles = buttons<QRadioButton>(terminal, u"styleChoice"_s);
    QCOMPARE(styles.size(), 5);
    QCOMPARE(styles.at(3)->text(), u"Rainbow"_s);
    QVERIFY(styles.at(2)->isChecked()); // classic, the default
    QVERIFY(!terminal->findChild<SymbolLabel *>(u"promptStatus"_s));
    styles.at(3)->click();
    QCOMPARE(wizard.draft().p10kStyle, u"rainbow"_s);
    saveScreenshot(&wizard, u"wizard-terminal"_s);
    QScrollBar *scroll = page<PageScroll>(wizard)->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    saveScreenshot(&wizard, u"wizard-terminal-prompt"_s);

    // Shell.
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Aliases & environment"_s);
    auto *shell = page<ShellPage>(wizard);
    auto *aliases = child<KeyValueEditor>(shell, u"aliasesEditor"_s);
    QCOMPARE(rowCount(aliases), 12);
    child<QPushButton>(aliases, u"addButton"_s)->click();
    QTest::keyClicks(rowField<QLineEdit>(aliases, 12, u"keyField"_s), u"gl"_s);
    QTest::keyClicks(rowField<QLineEdit>(aliases, 12, u"valueField"_s), u"git log --oneline"_s);
    QCOMPARE(wizard.draft().aliases.last().key, u"gl"_s);
    QCOMPARE(wizard.draft().aliases.last().value, u"git log --oneline"_s);
    auto *extras = child<QPlainTextEdit>(shell, u"extrasEditor"_s);
    extras->setFocus();
    QTest::keyClicks(extras, u"setopt autocd"_s);
    QCOMPARE(wizard.draft().zshrcExtras, u"setopt autocd"_s);
    QVERIFY(child<QCheckBox>(shell, u"backupToggle"_s)->isChecked());
    saveScreenshot(&wizard, u"wizard-shell"_s);

    // macOS: the steppers keep to their ranges, the slider to its steps.
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"macOS defaults"_s);
    auto *macOS = page<MacOSPage>(wizard);
    auto *hideDelay = child<QSpinBox>(macOS, u"autohideDelay"_s);
    QCOMPARE(hideDelay->text(), u"Hide delay: 0 s"_s);
    QTest::keyClick(hideDelay, Qt::Key_Down);
    QCOMPARE(wizard.draft().dock.autohideDelay, 0);
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(hideDelay, Qt::Key_Up);
    QCOMPARE(wizard.draft().dock.autohideDelay, 5);
    QCOMPARE(child<QSpinBox>(macOS, u"keyRepeat"_s)->text(), u"Key repeat rate: 2 (lower is faster)"_s);
    QCOMPARE(child<QSpinBox>(macOS, u"initialKeyRepeat"_s)->minimum(), 10);
    auto *tileSize = child<QLabel>(macOS, u"tileSizeLabel"_s);
    QCOMPARE(tileSize->text(), u"Icon size: 48"_s);
    QTest::keyClick(child<QSlider>(macOS, u"tileSize"_s), Qt::Key_Right);
    QCOMPARE(wizard.draft().dock.tileSize, 52);
    QCOMPARE(tileSize->text(), u"Icon size: 52"_s);
    auto *viewStyle = child<QComboBox>(macOS, u"viewStyle"_s);
    QCOMPARE(viewStyle->currentText(), u"List"_s);
    viewStyle->setCurrentIndex(0);
    Q_EMIT viewStyle->activated(0);
    QCOMPARE(wizard.draft().finder.viewStyle, QString());
    child<QCheckBox>(macOS, u"showRecents"_s)->click();
    QVERIFY(wizard.draft().dock.showRecents);
    saveScreenshot(&wizard, u"wizard-macos"_s);

    // Git: the identity came from the global Git configuration.
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Git"_s);
    auto *git = page<GitPage>(wizard);
    auto *gitName = child<QLineEdit>(git, u"gitNameField"_s);
    QCOMPARE(gitName->text(), u"Ada Lovelace"_s);
    QCOMPARE(child<QLineEdit>(git, u"gitEmailField"_s)->text(), u"ada@example.org"_s);
    gitName->selectAll();
    QTest::keyClicks(gitName, u"Ada King"_s);
    QCOMPARE(wizard.draft().gitName, u"Ada King"_s);
    QCOMPARE(rowCount(child<KeyValueEditor>(git, u"gitSettingsEditor"_s)), 4);
    saveScreenshot(&wizard, u"wizard-git"_s);

    // SSH: the comment defaults to Git's email.
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"SSH key"_s);
    QCOMPARE(stepOf(wizard), u"Step 6 of 7"_s);
    auto *ssh = page<SSHPage>(wizard);
    QCOMPARE(child<QLineEdit>(ssh, u"commentField"_s)->text(), u"ada@example.org"_s);
    auto *keyType = child<SegmentedControl>(ssh, u"keyTypeControl"_s);
    QCOMPARE(keyType->currentIndex(), 0);
    buttons<QPushButton>(keyType, u"segment"_s).at(2)->click();
    QCOMPARE(wizard.draft().sshKeyType, u"ecdsa"_s);
    buttons<QPushButton>(keyType, u"segment"_s).at(0)->click();
    QCOMPARE(wizard.draft().sshKeyType, u"ed25519"_s);
    saveScreenshot(&wizard, u"wizard-ssh"_s);

    // Review.
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Review"_s);
    QCOMPARE(stepOf(wizard), u"Step 7 of 7"_s);
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Cancel"_s, u"Back"_s, u"Apply"_s }));
    QCOMPARE(primaryButton(wizard), u"Apply"_s);
    QCOMPARE(detailOf(wizard, SetupComponent::ohMyZsh), u"Install Oh My Zsh and enable 12 plugins"_s);
    QCOMPARE(detailOf(wizard, SetupComponent::powerlevel10k),
        u"Install the theme and switch the prompt to “rainbow” (existing config is backed up)"_s);
    QCOMPARE(detailOf(wizard, SetupComponent::shell), u"13 aliases, 4 variables, 1 extra line"_s);
    QCOMPARE(detailOf(wizard, SetupComponent::git), u"Ada King, 7 aliases, 4 settings"_s);
    QCOMPARE(noteTexts(wizard),
        (QStringList{ u"macOS will show a dialog to confirm the Command Line Tools installation."_s,
            u"The Oh My Zsh installer replaces ~/.zshrc; the old one is kept as a backup."_s,
            u"The fzf plugin needs the fzf program, which is not installed: the Oh My Zsh step installs it with "
            u"Homebrew."_s,
            u"~/.zshrc is backed up before it is changed."_s, u"The Dock and Finder restart to apply the settings."_s,
            u"The SSH key is created without a passphrase."_s, u"macOS may ask for your password."_s }));
    saveScreenshot(&wizard, u"wizard-review"_s);

    // Apply: the draft becomes the configuration and the run starts.
    const SetupConfig draft = wizard.draft();
    QSignalSpy finished(&stores.setup, &SetupStore::applyFinished);
    const qsizetype brewCallsBefore = sandbox.calls(u"/opt/homebrew/bin/brew"_s).size();
    button(wizard, u"applyButton"_s)->click();
    QVERIFY(stores.setup.config() == draft);
    QVERIFY(stores.setup.hasSeenWizard());
    QVERIFY(stores.setup.isApplying());
    QCOMPARE(titleOf(wizard), u"Setting up…"_s);
    QCOMPARE(stepOf(wizard), QString());
    QCOMPARE(shownButtons(wizard), QStringList{ u"Cancel"_s });
    auto *run = page<RunView>(wizard);
    // The sheet stays while the run goes on.
    wizard.close();
    QVERIFY(wizard.isVisible());
    QTRY_COMPARE(run->shownSymbol(SetupComponent::xcode), u"spinner"_s);
    QCOMPARE(run->shownSymbol(SetupComponent::ssh), u"circle"_s);
    saveScreenshot(&wizard, u"wizard-running"_s);

    QVERIFY(finished.wait(int(std::chrono::milliseconds(runTimeout).count())));
    QVERIFY2(stores.activity.phase().kind == ActivityStore::Phase::Kind::success,
        qPrintable(stores.activity.phase().message));
    for (const SetupComponent component : allSetupComponents())
        QCOMPARE(run->shownSymbol(component), u"checkmark.circle.fill"_s);
    QCOMPARE(run->findChild<LiveLogView *>(u"runLog"_s)->shownText(), stores.setup.log());
    QVERIFY(run->findChild<LiveLogView *>(u"runLog"_s)->shownText().contains(u"━━ SSH key ━━"_s));
    QCOMPARE(titleOf(wizard), u"Setting up…"_s);
    QVERIFY(wizard.canCustomizePrompt());
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Done"_s, u"Customize prompt…"_s }));
    QCOMPARE(primaryButton(wizard), u"Customize prompt…"_s);
    // The iTerm2 step may have installed casks: the installed lists are read again.
    QList<QStringList> brewCalls;
    QTRY_VERIFY((brewCalls = sandbox.calls(u"/opt/homebrew/bin/brew"_s),
        std::any_of(brewCalls.begin() + brewCallsBefore, brewCalls.end(),
            [](const QStringList &call) { return call.value(0) == u"outdated"_s; })));
    saveScreenshot(&wizard, u"wizard-finished"_s);

    // Fine-tuning the prompt that was just put in place.
    button(wizard, u"customizeButton"_s)->click();
    QVERIFY(wizard.tuning());
    QCOMPARE(titleOf(wizard), u"Customize prompt"_s);
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Skip"_s, u"Save"_s }));
    auto *tune = page<P10kCustomizeView>(wizard);
    QCOMPARE(child<QLabel>(tune, u"customizeIntro"_s)->text(),
        u"The “Rainbow” prompt is in place. Fine-tune it here; this changes ~/.p10k.zsh."_s);
    auto *showTime = child<QCheckBox>(tune, u"showTimeToggle"_s);
    auto *formatRow = child<QWidget>(tune, u"timeFormatRow"_s);
    auto *time = child<QLabel>(tune, u"previewTime"_s);
    auto *transient = child<QLabel>(tune, u"previewTransient"_s);
    QVERIFY(!showTime->isChecked());
    QVERIFY(!formatRow->isVisible());
    QVERIFY(!time->isVisible());
    showTime->click();
    QVERIFY(formatRow->isVisible());
    auto *format = child<QComboBox>(tune, u"timeFormatPicker"_s);
    format->setCurrentIndex(1);
    Q_EMIT format->activated(1);
    QCOMPARE(time->text(), u"14:30"_s);
    QVERIFY(time->isVisible());
    showTime->click();
    QVERIFY(!formatRow->isVisible());
    QCOMPARE(wizard.p10kOptions().timeFormat, u"%D{%H:%M}"_s);
    showTime->click();
    QVERIFY(!transient->isVisible());
    buttons<QRadioButton>(tune, u"transientChoice"_s).at(1)->click();
    QVERIFY(transient->isVisible());
    sandbox.addTool(u"/usr/bin/osascript"_s, {});
    child<QPushButton>(tune, u"configureButton"_s)->click();
    // The call log keeps one line per line of arguments; the script's first line opens Terminal.
    QTRY_VERIFY(!sandbox.calls(u"/usr/bin/osascript"_s).isEmpty());
    QCOMPARE(
        sandbox.calls(u"/usr/bin/osascript"_s).first(), (QStringList{ u"-e"_s, u"tell application \"Terminal\""_s }));
    saveScreenshot(&wizard, u"wizard-customize"_s);

    // The run put the instant-prompt preamble at the top of ~/.zshrc; turning it off takes it out.
    const auto zshrc = [&] { return QString::fromUtf8(Sandbox::readFile(sandbox.homePath(u".zshrc"_s))); };
    QVERIFY(zshrc().startsWith(Zshrc::instantPromptBlock.start));
    buttons<QRadioButton>(tune, u"instantChoice"_s).at(2)->click();

    QSignalSpy closed(&wizard, &QDialog::finished);
    button(wizard, u"saveButton"_s)->click();
    QCOMPARE(closed.size(), 1);
    QVERIFY(!zshrc().contains(Zshrc::instantPromptBlock.start));
    QVERIFY(stores.setup.isChecking()); // saving re-checks the components
    const QString p10k = QString::fromUtf8(Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s)));
    QVERIFY(p10k.contains(u"typeset -g POWERLEVEL9K_TIME_FORMAT='%D{%H:%M}'"_s));
    QVERIFY(p10k.contains(u"typeset -g POWERLEVEL9K_TRANSIENT_PROMPT=always"_s));
    QVERIFY(p10k.contains(u"\n    time"_s));
    QTRY_VERIFY(!stores.setup.isChecking());
}

void TestWizard::openedForGit_isStepOneOfTwo()
{
    Sandbox sandbox;
    Stores stores;
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make(SetupComponent::git));
    wizard.show();
    QVERIFY(wizard.selected() == QSet<SetupComponent>{ SetupComponent::git });
    QCOMPARE(titleOf(wizard), u"Git"_s);
    QCOMPARE(stepOf(wizard), u"Step 1 of 2"_s);
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Cancel"_s, u"Next"_s }));
    saveScreenshot(&wizard, u"wizard-only-git"_s);
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Review"_s);
    QCOMPARE(stepOf(wizard), u"Step 2 of 2"_s);
    QCOMPARE(shownButtons(wizard), (QStringList{ u"Cancel"_s, u"Back"_s, u"Apply"_s }));
    QVERIFY(noteTexts(wizard).isEmpty());
    button(wizard, u"backButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Git"_s);
}

void TestWizard::iTermAlone_showsThePasswordNote()
{
    Sandbox sandbox;
    Stores stores;
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make());
    wizard.show();
    // Not checked yet: every component counts as not in place and starts ticked.
    QCOMPARE(wizard.selected().size(), 9);
    auto *select = page<SelectPage>(wizard);
    QVERIFY(!child<BusyIndicator>(stateLabel(select, SetupComponent::git), u"stateSpinner"_s)->isHidden());
    for (const SetupComponent component : allSetupComponents()) {
        // Unticking Oh My Zsh has unticked Powerlevel10k already.
        if (component != SetupComponent::iterm2 && checkBox(select, component)->isChecked())
            checkBox(select, component)->click();
    }
    QCOMPARE(stepOf(wizard), u"Step 1 of 2"_s);
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Review"_s);
    QCOMPARE(noteTexts(wizard), QStringList{ u"macOS may ask for your password."_s });
    saveScreenshot(&wizard, u"wizard-review-iterm"_s);
}

void TestWizard::existingPromptFile_keepsIt()
{
    Sandbox sandbox;
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "typeset -g POWERLEVEL9K_MODE=nerdfont-complete\n");
    Stores stores;
    QCOMPARE(stores.setup.config().p10kStyle, u"classic"_s);
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make(SetupComponent::powerlevel10k));
    wizard.show();
    QTRY_VERIFY(wizard.detectionsFinished());
    QCOMPARE(titleOf(wizard), u"Terminal"_s);
    QCOMPARE(wizard.draft().p10kStyle, QString());
    auto *terminal = page<TerminalPage>(wizard);
    QVERIFY(!terminal->findChild<PluginPicker *>()); // Oh My Zsh was not chosen
    QCOMPARE(child<SymbolLabel>(terminal, u"promptStatus"_s)->text(), u"You have a custom ~/.p10k.zsh"_s);
    const QList<QRadioButton *> styles = buttons<QRadioButton>(terminal, u"styleChoice"_s);
    QCOMPARE(styles.first()->text(), u"Keep my current prompt"_s);
    QVERIFY(styles.first()->isChecked());
    QCOMPARE(styles.at(1)->text(), u"Replace with Lean"_s);
    saveScreenshot(&wizard, u"wizard-terminal-existing-prompt"_s);

    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(
        detailOf(wizard, SetupComponent::powerlevel10k), u"Install and activate the theme, keep your prompt config"_s);
    button(wizard, u"backButton"_s)->click();
    buttons<QRadioButton>(page<TerminalPage>(wizard), u"styleChoice"_s).at(1)->click();
    QCOMPARE(wizard.draft().p10kStyle, u"lean"_s);
    buttons<QRadioButton>(page<TerminalPage>(wizard), u"styleChoice"_s).at(0)->click();
    QCOMPARE(wizard.draft().p10kStyle, QString());
}

void TestWizard::cancel_discardsTheDraft()
{
    Sandbox sandbox;
    Stores stores;
    const SetupConfig before = stores.setup.config();
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make(SetupComponent::shell));
    wizard.show();
    auto *shell = page<ShellPage>(wizard);
    child<QCheckBox>(shell, u"backupToggle"_s)->click();
    rowField<QToolButton>(child<KeyValueEditor>(shell, u"environmentEditor"_s), 0, u"removeButton"_s)->click();
    QTRY_COMPARE(wizard.draft().environment.size(), 3);
    QTest::keyClick(&wizard, Qt::Key_Escape);
    QCOMPARE(wizard.result(), int(QDialog::Rejected));
    QVERIFY(!wizard.isVisible());
    QVERIFY(stores.setup.config() == before);
    QVERIFY(!stores.setup.hasSeenWizard());
    QVERIFY(!QFile::exists(SetupConfig::fileURL()));
}

void TestWizard::runningSheet_escapeCancelsTheRun()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::seconds(20); });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    Stores stores;
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make(SetupComponent::xcode));
    wizard.show();
    QCOMPARE(titleOf(wizard), u"Review"_s);
    QCOMPARE(stepOf(wizard), u"Step 1 of 1"_s);
    QCOMPARE(noteTexts(wizard),
        QStringList{ u"macOS will show a dialog to confirm the Command Line Tools installation."_s });
    QTest::keyClick(&wizard, Qt::Key_Return);
    QVERIFY(stores.setup.isApplying());
    QVERIFY(waitUntil([&] { return stores.setup.log().contains(u"Checking every"_s); }));

    // Closing would hide the run half-way: the sheet stays, and Escape asks the run to stop.
    wizard.close();
    QVERIFY(wizard.isVisible());
    QTest::keyClick(&wizard, Qt::Key_Escape);
    QVERIFY(wizard.isVisible());
    QCOMPARE(button(wizard, u"cancelButton"_s)->text(), u"Cancelling…"_s);
    QVERIFY(!button(wizard, u"cancelButton"_s)->isEnabled());
    QTRY_VERIFY(!stores.setup.isApplying());
    auto *run = page<RunView>(wizard);
    QCOMPARE(run->shownSymbol(SetupComponent::xcode), u"xmark.circle.fill"_s);
    QCOMPARE(run->shownFailure(SetupComponent::xcode), u"Cancelled"_s);
    QVERIFY(run->findChild<LiveLogView *>(u"runLog"_s)->shownText().endsWith(u"✗ Cancelled\n"_s));
    QCOMPARE(shownButtons(wizard), QStringList{ u"Done"_s });
    QCOMPARE(primaryButton(wizard), u"Done"_s);
    saveScreenshot(&wizard, u"wizard-cancelled"_s);
    QTest::keyClick(&wizard, Qt::Key_Return);
    QVERIFY(!wizard.isVisible());
}

// Keys go where a person's would: to the widget with the focus.
void press(QWidget *window, Qt::Key key)
{
    QWidget *target = QApplication::focusWidget();
    QTest::keyClick(target ? target : window, key);
}

void TestWizard::keyboardOnly_ticksPluginsAndReachesReview()
{
    Sandbox sandbox;
    Stores stores;
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make(SetupComponent::ohMyZsh));
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    QTRY_VERIFY(wizard.detectionsFinished());
    QCOMPARE(titleOf(wizard), u"Terminal"_s);
    auto *list = child<QTableView>(page<TerminalPage>(wizard), u"pluginList"_s);
    for (int i = 0; i < 12 && QApplication::focusWidget() != list; ++i)
        press(&wizard, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);

    const qsizetype before = wizard.draft().plugins.size();
    const auto ticked = [&] { return list->currentIndex().siblingAtColumn(0).data(Qt::CheckStateRole) == Qt::Checked; };
    for (int tick = 0; tick < 3; ++tick) {
        for (int i = 0; i < 40 && (!list->currentIndex().isValid() || ticked()); ++i)
            press(&wizard, Qt::Key_Down);
        const QString name = list->currentIndex().siblingAtColumn(0).data().toString();
        press(&wizard, Qt::Key_Space);
        QVERIFY2(wizard.draft().plugins.contains(name), qPrintable(name));
        QVERIFY(ticked()); // the row moved up, and the current row went with it
    }
    QCOMPARE(wizard.draft().plugins.size(), before + 3);
    press(&wizard, Qt::Key_Space); // and Space unticks again
    QCOMPARE(wizard.draft().plugins.size(), before + 2);
    press(&wizard, Qt::Key_Space);

    press(&wizard, Qt::Key_Return);
    QCOMPARE(wizard.currentPage(), WizardPage::review);
    QCOMPARE(wizard.draft().plugins.size(), before + 3);
}

void TestWizard::returnOnFocusedButton_pressesIt_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("title");
    QTest::newRow("Back goes back") << u"backButton"_s << true << u"What should be set up?"_s;
    QTest::newRow("Cancel closes") << u"cancelButton"_s << false << u"Terminal"_s;
    QTest::newRow("a choice leaves it to Next") << QString() << true << u"Aliases & environment"_s;
}

// Return presses the focused button, not the sheet's default one (except on macOS).
void TestWizard::returnOnFocusedButton_pressesIt()
{
    QFETCH(QString, focused);
    QFETCH(bool, open);
    QFETCH(QString, title);
    Sandbox sandbox;
    Stores stores;
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make());
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    button(wizard, u"nextButton"_s)->click();
    QCOMPARE(titleOf(wizard), u"Terminal"_s);
    if (focused.isEmpty())
        child<QRadioButton>(&wizard, u"styleChoice"_s)->setFocus();
    else
        button(wizard, focused)->setFocus();
    press(&wizard, Qt::Key_Return);
    QCOMPARE(wizard.isVisible(), open);
    QCOMPARE(titleOf(wizard), title);
}

void TestWizard::lateDetection_keepsThePageAsTheUserLeftIt()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    setGitIdentity(sandbox, "Ada Lovelace", "ada@example.org");
    Stores stores;
    WizardView wizard(&stores.brew, &stores.setup, WizardRequest::make(SetupComponent::git));
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    // The user starts typing before git has told the identity.
    QVERIFY(!wizard.detectionsFinished());
    auto *git = page<GitPage>(wizard);
    QPointer<QLineEdit> email = child<QLineEdit>(git, u"gitEmailField"_s);
    email->setFocus();
    QTest::keyClicks(email, u"me@home"_s);
    email->setCursorPosition(2);
    QTRY_VERIFY(wizard.detectionsFinished());
    QVERIFY(email);
    QCOMPARE(page<GitPage>(wizard), git);
    QCOMPARE(email->text(), u"me@home"_s);
    QCOMPARE(email->cursorPosition(), 2);
    QCOMPARE(QApplication::focusWidget(), email.data());
    // What was found fills the field the user left empty, in place.
    QCOMPARE(child<QLineEdit>(git, u"gitNameField"_s)->text(), u"Ada Lovelace"_s);
    QCOMPARE(wizard.draft().gitEmail, u"me@home"_s);
}

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
