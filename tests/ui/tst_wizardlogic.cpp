#include "FindChild.h"
#include "Sandbox.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "ui/main/HomeView.h"
#include "ui/wizard/KeyValueEditor.h"
#include "ui/wizard/MacOSPage.h"
#include "ui/wizard/PluginPicker.h"
#include "ui/wizard/ReviewPage.h"
#include "ui/wizard/SelectPage.h"
#include "ui/wizard/TerminalPage.h"
#include "ui/wizard/WizardPage.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using quillrig::test::child;

using Components = QSet<SetupComponent>;
using States = QHash<SetupComponent, StepState>;
using Filter = PluginPicker::Filter;

Q_DECLARE_METATYPE(Components)
Q_DECLARE_METATYPE(States)
Q_DECLARE_METATYPE(SetupComponent)
Q_DECLARE_METATYPE(StepState)
Q_DECLARE_METATYPE(OhMyZshInfo)
Q_DECLARE_METATYPE(P10kInfo)
Q_DECLARE_METATYPE(SetupConfig)
Q_DECLARE_METATYPE(PluginPicker::Filter)
Q_DECLARE_METATYPE(QList<WizardPage>)

namespace {

QStringList names(const QList<PluginPicker::Row> &rows)
{
    QStringList result;
    for (const auto &row : rows)
        result.append(row.name);
    return result;
}

OhMyZshInfo installed(QStringList bundled, QStringList custom, QStringList enabled)
{
    return { true, std::move(bundled), std::move(custom), std::move(enabled) };
}

Components everything()
{
    const QList<SetupComponent> all = allSetupComponents();
    return Components(all.begin(), all.end());
}

States allStates(StepState::Kind kind)
{
    States states;
    for (const SetupComponent component : allSetupComponents())
        states.insert(component, StepState{ kind, u"x"_s });
    return states;
}

} // namespace

class TestWizardLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pageSequence_data()
    {
        QTest::addColumn<Components>("selected");
        QTest::addColumn<bool>("openedForOne");
        QTest::addColumn<QList<WizardPage>>("pages");
        using P = WizardPage;
        QTest::newRow("everything") << everything() << false
                                    << QList<P>{ P::select, P::terminal, P::shell, P::macos, P::git, P::ssh,
                                           P::review };
        QTest::newRow("git only, opened for it")
            << Components{ SetupComponent::git } << true << QList<P>{ P::git, P::review };
        QTest::newRow("iTerm2 alone has no settings page")
            << Components{ SetupComponent::iterm2 } << false << QList<P>{ P::select, P::review };
        QTest::newRow("Powerlevel10k brings the terminal page")
            << Components{ SetupComponent::powerlevel10k } << true << QList<P>{ P::terminal, P::review };
        QTest::newRow("nothing") << Components{} << false << QList<P>{ P::select, P::review };
        QTest::newRow("settings pages keep their order") << Components{ SetupComponent::ssh, SetupComponent::macOS,
            SetupComponent::shell } << false << QList<P>{ P::select, P::shell, P::macos, P::ssh, P::review };
    }

    void pageSequence()
    {
        QFETCH(Components, selected);
        QFETCH(bool, openedForOne);
        QFETCH(QList<WizardPage>, pages);
        QVERIFY(WizardPages::sequence(selected, openedForOne) == pages);
    }

    void pageRawValues()
    {
        for (const WizardPage page : WizardPages::allCases())
            QVERIFY(WizardPages::fromString(WizardPages::toString(page)) == page);
        QCOMPARE(WizardPages::toString(WizardPage::macos), u"macos"_s);
        QVERIFY(!WizardPages::fromString(u"macOS"));
    }

    void powerlevel10kNeedsOhMyZsh_data()
    {
        QTest::addColumn<Components>("before");
        QTest::addColumn<SetupComponent>("component");
        QTest::addColumn<bool>("on");
        QTest::addColumn<StepState>("ohMyZsh");
        QTest::addColumn<Components>("after");
        const auto p10k = SetupComponent::powerlevel10k;
        const auto omz = SetupComponent::ohMyZsh;
        QTest::newRow("ticking p10k ticks a missing Oh My Zsh")
            << Components{} << p10k << true << StepState::missing(u"Not installed"_s) << Components{ p10k, omz };
        QTest::newRow("an unknown Oh My Zsh is ticked too")
            << Components{} << p10k << true << StepState::unknown() << Components{ p10k, omz };
        QTest::newRow("a done Oh My Zsh stays unticked")
            << Components{} << p10k << true << StepState::done(u"3 plugins enabled in ~/.zshrc"_s)
            << Components{ p10k };
        QTest::newRow("unticking a missing Oh My Zsh unticks p10k")
            << Components{ p10k, omz, SetupComponent::git } << omz << false << StepState::partial(u"x"_s)
            << Components{ SetupComponent::git };
        QTest::newRow("unticking a done Oh My Zsh keeps p10k")
            << Components{ p10k, omz } << omz << false << StepState::done(u"x"_s) << Components{ p10k };
        QTest::newRow("unticking p10k leaves Oh My Zsh")
            << Components{ p10k, omz } << p10k << false << StepState::missing(u"x"_s) << Components{ omz };
    }

    void powerlevel10kNeedsOhMyZsh()
    {
        QFETCH(Components, before);
        QFETCH(SetupComponent, component);
        QFETCH(bool, on);
        QFETCH(StepState, ohMyZsh);
        QFETCH(Components, after);
        QVERIFY(SelectPage::applyToggle(before, component, on, ohMyZsh) == after);
    }

    void reviewDetailLines_data()
    {
        QTest::addColumn<SetupComponent>("component");
        QTest::addColumn<SetupConfig>("config");
        QTest::addColumn<QString>("line");
        const SetupConfig defaults = SetupConfig::defaults();
        QTest::newRow("xcode") << SetupComponent::xcode << defaults
                               << u"Compilers and developer tools required by Git and Homebrew"_s;
        QTest::newRow("ohMyZsh") << SetupComponent::ohMyZsh << defaults << u"Install Oh My Zsh and enable 12 plugins"_s;
        QTest::newRow("powerlevel10k, style") << SetupComponent::powerlevel10k << defaults
                                              << u"Install the theme and switch the prompt to “classic” "
                                                 u"(existing config is backed up)"_s;
        SetupConfig keep = defaults;
        keep.p10kStyle.clear();
        QTest::newRow("powerlevel10k, keep")
            << SetupComponent::powerlevel10k << keep << u"Install and activate the theme, keep your prompt config"_s;
        SetupConfig extras = defaults;
        extras.zshrcExtras = u"setopt autocd\n\n   \nexport A=1\n"_s;
        QTest::newRow("shell counts only non-empty extra lines")
            << SetupComponent::shell << extras << u"12 aliases, 4 variables, 2 extra lines"_s;
        QTest::newRow("macOS") << SetupComponent::macOS << defaults
                               << QString::number(defaults.defaultsEntries().size())
                + u" Dock, Finder and keyboard settings"_s;
        QTest::newRow("git, no name") << SetupComponent::git << defaults
                                      << u"Keep current identity, 7 aliases, 4 settings"_s;
        SetupConfig named = defaults;
        named.gitName = u"Ada Lovelace"_s;
        named.gitSettings.removeLast();
        QTest::newRow("git, named") << SetupComponent::git << named << u"Ada Lovelace, 7 aliases, 3 settings"_s;
        SetupConfig single = defaults;
        single.aliases.resize(1);
        single.environment.resize(1);
        single.zshrcExtras = u"setopt autocd"_s;
        single.plugins = { u"git"_s };
        single.gitAliases.resize(1);
        single.gitSettings.resize(1);
        QTest::newRow("shell, one of each")
            << SetupComponent::shell << single << u"1 alias, 1 variable, 1 extra line"_s;
        QTest::newRow("ohMyZsh, one plugin")
            << SetupComponent::ohMyZsh << single << u"Install Oh My Zsh and enable 1 plugin"_s;
        QTest::newRow("git, one of each")
            << SetupComponent::git << single << u"Keep current identity, 1 alias, 1 setting"_s;
        QTest::newRow("ssh") << SetupComponent::ssh << defaults << u"Create a ed25519 key at ~/.ssh/id_ed25519"_s;
    }

    void reviewDetailLines()
    {
        QFETCH(SetupComponent, component);
        QFETCH(SetupConfig, config);
        QFETCH(QString, line);
        QCOMPARE(ReviewPage::detailLine(component, config), line);
    }

    void reviewNotes_data()
    {
        QTest::addColumn<Components>("selected");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<States>("states");
        QTest::addColumn<QStringList>("notes");
        const QString clt = u"macOS will show a dialog to confirm the Command Line Tools installation."_s;
        const QString omz = u"The Oh My Zsh installer replaces ~/.zshrc; the old one is kept as a backup."_s;
        const QString backup = u"~/.zshrc is backed up before it is changed."_s;
        const QString restart = u"The Dock and Finder restart to apply the settings."_s;
        const QString ssh = u"The SSH key is created without a passphrase."_s;
        const QString password = u"macOS may ask for your password."_s;
        QTest::newRow("everything missing") << everything() << true << allStates(StepState::Kind::missing)
                                            << QStringList{ clt, omz, backup, restart, ssh, password };
        QTest::newRow("not yet checked counts as missing")
            << everything() << false << States{} << QStringList{ clt, omz, restart, ssh, password };
        QTest::newRow("everything done") << everything() << true << allStates(StepState::Kind::done)
                                         << QStringList{ backup, restart, ssh, password };
        QTest::newRow("iTerm2 only") << Components{ SetupComponent::iterm2 } << true
                                     << allStates(StepState::Kind::missing) << QStringList{ password };
        QTest::newRow("Git only: no notes")
            << Components{ SetupComponent::git } << true << allStates(StepState::Kind::missing) << QStringList{};
    }

    void reviewNotes()
    {
        QFETCH(Components, selected);
        QFETCH(bool, backup);
        QFETCH(States, states);
        QFETCH(QStringList, notes);
        SetupConfig config;
        config.backupDotfiles = backup;
        QCOMPARE(ReviewPage::notes(selected, config, states), notes);
    }

    void pluginRows_data()
    {
        QTest::addColumn<QStringList>("plugins");
        QTest::addColumn<OhMyZshInfo>("info");
        QTest::addColumn<QString>("query");
        QTest::addColumn<Filter>("filter");
        QTest::addColumn<QStringList>("names");
        const OhMyZshInfo none;
        const OhMyZshInfo omz
            = installed({ u"git"_s, u"Docker"_s, u"brew"_s, u"z"_s }, { u"mine"_s }, { u"z"_s, u"git"_s });
        QTest::newRow("involved first, then the rest, ignoring case")
            << QStringList{ u"brew"_s, u"git"_s } << omz << QString() << Filter::all
            << QStringList{ u"brew"_s, u"git"_s, u"z"_s, u"Docker"_s, u"mine"_s, u"zsh-autosuggestions"_s,
                   u"zsh-syntax-highlighting"_s };
        QTest::newRow("enabled but unticked stays on top")
            << QStringList{} << omz << QString() << Filter::enabled << QStringList{ u"git"_s, u"z"_s };
        QTest::newRow("not enabled") << QStringList{ u"brew"_s } << omz << QString() << Filter::available
                                     << QStringList{ u"Docker"_s, u"mine"_s, u"zsh-autosuggestions"_s,
                                            u"zsh-syntax-highlighting"_s };
        QTest::newRow("search ignores case and surrounding blanks")
            << QStringList{} << none << u" \tSYN "_s << Filter::all << QStringList{ u"zsh-syntax-highlighting"_s };
        QTest::newRow("a name listed twice is one row")
            << QStringList{ u"git"_s, u"git"_s } << omz << u"git"_s << Filter::all << QStringList{ u"git"_s };
        QTest::newRow("nothing matches") << QStringList{} << omz << u"nope"_s << Filter::all << QStringList{};
    }

    void pluginRows()
    {
        QFETCH(QStringList, plugins);
        QFETCH(OhMyZshInfo, info);
        QFETCH(QString, query);
        QFETCH(Filter, filter);
        QFETCH(QStringList, names);
        QCOMPARE(::names(PluginPicker::rows(plugins, info, query, filter)), names);
    }

    void pluginRows_withoutOhMyZshOfferTheWellKnownNames()
    {
        const auto rows = PluginPicker::rows({ u"my-own"_s }, OhMyZshInfo(), QString(), Filter::all);
        QSet<QString> expected(PluginPicker::wellKnownPlugins().begin(), PluginPicker::wellKnownPlugins().end());
        expected.insert(u"my-own"_s);
        const QStringList shown = names(rows);
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()), expected);
        QCOMPARE(PluginPicker::wellKnownPlugins().size(), 30);
        QCOMPARE(rows.first().name, u"my-own"_s);
        QCOMPARE(PluginPicker::sourceBadge(rows.first(), false).text, QString());
        QCOMPARE(PluginPicker::stateBadge(rows.first()).text, u"will be added"_s);
    }

    void pluginBadges()
    {
        const OhMyZshInfo omz = installed({ u"git"_s }, { u"mine"_s }, { u"git"_s, u"gone"_s });
        const auto rows = PluginPicker::rows({ u"git"_s, u"zsh-autosuggestions"_s }, omz, QString(), Filter::all);
        QHash<QString, std::pair<QString, QString>> badges;
        for (const auto &row : rows)
            badges.insert(row.name, { PluginPicker::sourceBadge(row, true).text, PluginPicker::stateBadge(row).text });
        QCOMPARE(badges.value(u"git"_s), std::make_pair(u"bundled"_s, u"in .zshrc"_s));
        QCOMPARE(badges.value(u"gone"_s), std::make_pair(u"not found"_s, u"will be removed"_s));
        QCOMPARE(badges.value(u"zsh-autosuggestions"_s), std::make_pair(u"will be cloned"_s, u"will be added"_s));
        QCOMPARE(badges.value(u"mine"_s), std::make_pair(u"custom"_s, QString()));
    }

    void pluginSummary_data()
    {
        QTest::addColumn<QStringList>("plugins");
        QTest::addColumn<OhMyZshInfo>("info");
        QTest::addColumn<QString>("summary");
        QTest::newRow("not installed")
            << QStringList{ u"git"_s, u"fzf"_s } << OhMyZshInfo()
            << u"0 enabled in ~/.zshrc · Oh My Zsh isn't installed yet — the full list appears after installation · "
               u"2 to add"_s;
        QTest::newRow("in step") << QStringList{ u"git"_s } << installed({ u"git"_s, u"z"_s }, { u"a"_s }, { u"git"_s })
                                 << u"1 enabled in ~/.zshrc · 3 available"_s;
        QTest::newRow("adding and removing")
            << QStringList{ u"z"_s, u"a"_s } << installed({ u"git"_s, u"z"_s }, {}, { u"git"_s, u"z"_s })
            << u"2 enabled in ~/.zshrc · 2 available · 1 to add · 1 to remove"_s;
    }

    void pluginSummary()
    {
        QFETCH(QStringList, plugins);
        QFETCH(OhMyZshInfo, info);
        QFETCH(QString, summary);
        QCOMPARE(PluginPicker::summary(plugins, info), summary);
    }

    void pluginToggleAndAdd()
    {
        const QStringList twice{ u"git"_s, u"z"_s, u"git"_s };
        QCOMPARE(PluginPicker::toggled(twice, u"git"_s, false), QStringList{ u"z"_s });
        QCOMPARE(PluginPicker::toggled(twice, u"git"_s, true), twice);
        QCOMPARE(PluginPicker::toggled(twice, u"fzf"_s, true), (QStringList{ u"git"_s, u"z"_s, u"git"_s, u"fzf"_s }));
        QCOMPARE(PluginPicker::added(twice, u" \tmy-plugin "_s), twice + QStringList{ u"my-plugin"_s });
        QCOMPARE(PluginPicker::added(twice, u"  z "_s), twice);
        QCOMPARE(PluginPicker::added(twice, u" \t "_s), twice);
    }

    void pluginPicker_modelAndClicks()
    {
        QStringList plugins{ u"git"_s, u"git"_s };
        PluginPicker picker(&plugins, installed({ u"git"_s, u"z"_s }, {}, { u"git"_s }));
        auto *list = child<QTableView>(picker, u"pluginList"_s);
        auto *custom = child<QLineEdit>(picker, u"pluginCustomName"_s);
        QAbstractItemModel *model = list->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model->rowCount(), 4); // git, z and the two clonable plugins
        QCOMPARE(model->index(0, 0).data().toString(), u"git"_s);
        QCOMPARE(model->index(0, 2).data().toString(), u"in .zshrc"_s);

        // Unticking a name listed twice removes both; the row stays on top as "will be removed".
        QVERIFY(model->setData(model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QTRY_COMPARE(plugins, QStringList{});
        QCOMPARE(model->index(0, 0).data().toString(), u"git"_s);
        QCOMPARE(model->index(0, 2).data().toString(), u"will be removed"_s);
        QCOMPARE(
            child<QLabel>(picker, u"pluginSummary"_s)->text(), u"1 enabled in ~/.zshrc · 2 available · 1 to remove"_s);

        // Return in the name field adds the name and is not passed on to the sheet.
        custom->setText(u" extra "_s);
        QTest::keyClick(custom, Qt::Key_Return);
        QCOMPARE(plugins, QStringList{ u"extra"_s });
        QVERIFY(custom->text().isEmpty());
        QCOMPARE(model->index(0, 0).data().toString(), u"extra"_s);
        QCOMPARE(model->index(0, 1).data().toString(), u"not found"_s);

        child<QLineEdit>(picker, u"pluginSearch"_s)->setText(u"nothing like it"_s);
        QVERIFY(!child<QLabel>(picker, u"pluginNoMatch"_s)->isHidden());
        QVERIFY(list->isHidden());
        QCOMPARE(model->rowCount(), 0);
    }

    void promptStyleTexts()
    {
        QCOMPARE(TerminalPage::promptStatus(P10kInfo{}), QString());
        QCOMPARE(TerminalPage::promptStatus({ true, std::nullopt, false, false }), u"You have a custom ~/.p10k.zsh"_s);
        QCOMPARE(TerminalPage::promptStatus({ true, u"lean"_s, false, true }), u"Current prompt: Lean"_s);
        QCOMPARE(
            TerminalPage::promptStatus({ true, u"rainbow"_s, true, false }), u"Current prompt: Rainbow, customized"_s);
        QCOMPARE(TerminalPage::promptStatus({ true, u"fancy"_s, true, true }),
            u"Current prompt: fancy, customized with p10k configure"_s);

        QCOMPARE(TerminalPage::styleChoices(false), SetupConfig::p10kStyles());
        const auto replacing = TerminalPage::styleChoices(true);
        QCOMPARE(replacing.size(), 5);
        QCOMPARE(replacing[0],
            (SetupConfig::P10kStyle{ QString(), u"Keep my current prompt"_s, u"Don't touch ~/.p10k.zsh"_s }));
        QCOMPARE(replacing[1],
            (SetupConfig::P10kStyle{
                u"lean"_s, u"Replace with Lean"_s, u"Minimal, no icons — overwrites ~/.p10k.zsh (backup kept)"_s }));
        QCOMPARE(replacing[4].identifier, u"pure"_s);
    }

    void tileSizeSnapsToSteps_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("snapped");
        QTest::newRow("minimum") << 16.0 << 16;
        QTest::newRow("below") << 3.0 << 16;
        QTest::newRow("between, down") << 49.0 << 48;
        QTest::newRow("between, up") << 51.0 << 52;
        QTest::newRow("maximum") << 128.0 << 128;
        QTest::newRow("above") << 200.0 << 128;
    }

    void tileSizeSnapsToSteps()
    {
        QFETCH(double, value);
        QFETCH(int, snapped);
        QCOMPARE(MacOSPage::snappedTileSize(value), snapped);
    }

    void homeTexts()
    {
        QCOMPARE(HomeView::heading({}), u"Checking your Mac…"_s);
        States states = allStates(StepState::Kind::done);
        QCOMPARE(HomeView::heading(states), u"Your Mac is set up"_s);
        states.insert(SetupComponent::rosetta, StepState::notApplicable(u"x"_s));
        QCOMPARE(HomeView::completeCount(states), 9);
        states.insert(SetupComponent::git, StepState::partial(u"x"_s));
        QCOMPARE(HomeView::heading(states), u"1 step left"_s);
        states.remove(SetupComponent::ssh); // not checked: not complete
        states.insert(SetupComponent::xcode, StepState::unknown());
        QCOMPARE(HomeView::completeCount(states), 6);
        QCOMPARE(HomeView::heading(states), u"3 steps left"_s);

        QCOMPARE(HomeView::systemLine(u"14.5.0"_s, u"4.4.2"_s), u"macOS 14.5.0 · Apple Silicon · Homebrew 4.4.2"_s);
        QCOMPARE(HomeView::systemLine(u"15.1"_s, std::nullopt), u"macOS 15.1.0 · Apple Silicon · Homebrew —"_s);
        QCOMPARE(HomeView::updatesText(1), u"1 package can be updated"_s);
        QCOMPARE(HomeView::updatesText(12), u"12 packages can be updated"_s);
    }

    void reviewNotesFzf_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<QString>("note");
        const QString install = u"The fzf plugin needs the fzf program, which is not installed: the Oh My Zsh step "
                                u"installs it with Homebrew."_s;
        QTest::newRow("missing, Homebrew there") << true << QStringList{ u"brew"_s } << install;
        QTest::newRow("missing, no Homebrew")
            << true << QStringList{}
            << u"The fzf plugin needs the fzf program, which is not installed, and Homebrew "
               u"is not there to install it: zsh will show an error at every start until "
               u"you install fzf."_s;
        QTest::newRow("installed") << true << QStringList{ u"brew"_s, u"fzf"_s } << QString();
        QTest::newRow("Oh My Zsh not selected") << false << QStringList{} << QString();
    }

    void reviewNotesFzf()
    {
        QFETCH(bool, selected);
        QFETCH(QStringList, programs);
        QFETCH(QString, note);
        quillrig::test::Sandbox sandbox;
        for (const QString &program : std::as_const(programs))
            sandbox.addScript(u"/opt/homebrew/bin/"_s + program, "exit 0\n");
        SetupConfig config;
        config.backupDotfiles = false;
        config.plugins = { u"git"_s, u"fzf"_s };
        const Components components = selected ? Components{ SetupComponent::ohMyZsh } : Components{};
        const QStringList notes = ReviewPage::notes(components, config, allStates(StepState::Kind::done));
        QCOMPARE(notes, note.isEmpty() ? QStringList{} : QStringList{ note });
    }

    void reviewNamesSkippedRows_data()
    {
        QTest::addColumn<QList<KeyValue>>("aliases");
        QTest::addColumn<QList<KeyValue>>("environment");
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QString>("detail");
        const KeyValue good = KeyValue::make(u"ll"_s, u"ls -la"_s);
        QTest::newRow("one alias") << QList<KeyValue>{ good, KeyValue::make(u"g st"_s, u"git status"_s) }
                                   << QList<KeyValue>{}
                                   << QStringList{ u"1 alias will be skipped: g st — not a valid alias name"_s }
                                   << u"1 alias, 0 variables"_s;
        QTest::newRow("aliases and a variable")
            << QList<KeyValue>{ KeyValue::make(u"g st"_s, u"x"_s), KeyValue::make(QString(), u"ls"_s) }
            << QList<KeyValue>{ KeyValue::make(u"MY-VAR"_s, u"1"_s), KeyValue::make(u"OK"_s, u"2"_s) }
            << QStringList{ u"2 aliases will be skipped: g st — not a valid alias name; (no name) — the alias has "
                            u"no name"_s,
                   u"1 variable will be skipped: MY-VAR — not a valid variable name"_s }
            << u"0 aliases, 1 variable"_s;
        QTest::newRow("blank rows are no loss")
            << QList<KeyValue>{ good, KeyValue::make(QString(), QString()) }
            << QList<KeyValue>{ KeyValue::make(u" "_s, QString()) } << QStringList{} << u"1 alias, 0 variables"_s;
    }

    void reviewNamesSkippedRows()
    {
        QFETCH(QList<KeyValue>, aliases);
        QFETCH(QList<KeyValue>, environment);
        QFETCH(QStringList, notes);
        QFETCH(QString, detail);
        SetupConfig config;
        config.backupDotfiles = false;
        config.aliases = aliases;
        config.environment = environment;
        QCOMPARE(
            ReviewPage::notes(Components{ SetupComponent::shell }, config, allStates(StepState::Kind::done)), notes);
        // The counts are of the rows that are written.
        QVERIFY(ReviewPage::detailLine(SetupComponent::shell, config).startsWith(detail));
    }

    void keyValueEditor_marksRowsItCannotWrite()
    {
        QList<KeyValue> items{ KeyValue::make(u"ll"_s, u"ls"_s), KeyValue::make(QString(), QString()) };
        KeyValueEditor editor(u"Aliases"_s, u"name"_s, u"command"_s, &items);
        editor.setProblem(Zshrc::aliasProblem);
        const auto rowWidget = [&editor](int row) {
            return editor.findChildren<QWidget *>(u"row"_s, Qt::FindDirectChildrenOnly).at(row);
        };
        const auto problemLabel = [&](int row) { return rowWidget(row)->findChild<QLabel *>(u"problemLabel"_s); };
        const auto keyField = [&](int row) { return rowWidget(row)->findChild<QLineEdit *>(u"keyField"_s); };
        const auto valueField = [&](int row) { return rowWidget(row)->findChild<QLineEdit *>(u"valueField"_s); };
        // A valid row and a blank one are not marked.
        QVERIFY(problemLabel(0)->isHidden());
        QVERIFY(problemLabel(1)->isHidden());

        // As the user types, the row is marked: red edge and reason on the field at fault.
        QTest::keyClicks(keyField(0), u" x"_s);
        QVERIFY(!problemLabel(0)->isHidden());
        QCOMPARE(problemLabel(0)->text(), *Zshrc::aliasProblem(items[0]));
        QCOMPARE(keyField(0)->toolTip(), problemLabel(0)->text());
        QVERIFY(keyField(0)->styleSheet().contains(u"border"_s));
        QVERIFY(valueField(0)->styleSheet().isEmpty());

        // A value but no name: the name is at fault.
        QTest::keyClicks(valueField(1), u"ls"_s);
        QCOMPARE(problemLabel(1)->text(), u"The alias has no name."_s);
        QVERIFY(keyField(1)->styleSheet().contains(u"border"_s));

        // Fixing the name clears the mark.
        QTest::keyClick(keyField(0), Qt::Key_Backspace);
        QTest::keyClick(keyField(0), Qt::Key_Backspace);
        QCOMPARE(items[0].key, u"ll"_s);
        QVERIFY(problemLabel(0)->isHidden());
        QVERIFY(keyField(0)->styleSheet().isEmpty());
        QVERIFY(keyField(0)->toolTip().isEmpty());
    }

    void keyValueEditor_rowsByIdentity()
    {
        const KeyValue first = KeyValue::make(u"ll"_s, u"ls -la"_s);
        const KeyValue twin = KeyValue::make(u"ll"_s, u"ls -la"_s);
        QList<KeyValue> items{ first, twin };
        KeyValueEditor editor(u"Aliases"_s, u"name"_s, u"command"_s, &items);
        const auto field = [&](int row, const QString &name) {
            const QList<QWidget *> rows = editor.findChildren<QWidget *>(u"row"_s, Qt::FindDirectChildrenOnly);
            return rows.at(row)->findChild<QLineEdit *>(name);
        };
        const auto remove = [&](int row) {
            editor.findChildren<QWidget *>(u"row"_s, Qt::FindDirectChildrenOnly)
                .at(row)
                ->findChild<QToolButton *>(u"removeButton"_s)
                ->click();
        };
        auto *empty = child<QLabel>(editor, u"emptyLabel"_s);
        QCOMPARE(editor.findChildren<QWidget *>(u"row"_s, Qt::FindDirectChildrenOnly).size(), 2);
        QCOMPARE(field(0, u"keyField"_s)->placeholderText(), u"name"_s);
        QCOMPARE(field(0, u"valueField"_s)->placeholderText(), u"command"_s);
        QVERIFY(empty->isHidden());

        // Editing the twin leaves the first row alone.
        QTest::keyClicks(field(1, u"valueField"_s), u" -h"_s);
        QCOMPARE(items[0], first);
        QCOMPARE(items[1].value, u"ls -la -h"_s);

        // Removing the first removes only that row, although the other has the same key.
        remove(0);
        QTRY_COMPARE(items.size(), 1);
        QCOMPARE(items[0].id, twin.id);

        child<QPushButton>(editor, u"addButton"_s)->click();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1].key, QString());
        QVERIFY(!items[1].id.isNull() && items[1].id != twin.id);

        remove(0);
        QTRY_COMPARE(items.size(), 1);
        remove(0);
        QTRY_VERIFY(items.isEmpty());
        QVERIFY(!empty->isHidden());
        QCOMPARE(empty->text(), u"None"_s);
    }
};

QTEST_MAIN(TestWizardLogic)
#include "tst_wizardlogic.moc"
