#include "ui/wizard/ReviewPage.h"

#include "platform/Text.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/SetupChecks.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/Fonts.h"
#include "ui/SymbolLabel.h"
#include "ui/Symbols.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/PageScroll.h"
#include "ui/wizard/PlanSheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString count(qsizetype n)
{
    return QString::number(n);
}

} // namespace

QString ReviewPage::detailLine(SetupComponent component, const SetupConfig &config)
{
    switch (component) {
    case SetupComponent::xcode:
    case SetupComponent::rosetta:
    case SetupComponent::iterm2:
        return subtitle(component);
    case SetupComponent::ohMyZsh:
        return u"Install Oh My Zsh and enable "_s + Text::counted(config.plugins.size(), u"plugin"_s, u"plugins"_s);
    case SetupComponent::powerlevel10k:
        if (config.p10kStyle.isEmpty())
            return u"Install and activate the theme, keep your prompt config"_s;
        return u"Install the theme and switch the prompt to “"_s + config.p10kStyle
            + u"” (existing config is backed up)"_s;
    case SetupComponent::shell:
        return Text::counted(Zshrc::aliasLines(config.aliases).size(), u"alias"_s, u"aliases"_s) + u", "_s
            + Text::counted(Zshrc::exportLines(config.environment).size(), u"variable"_s, u"variables"_s) + u", "_s
            + Text::counted(Zshrc::extraLines(config.zshrcExtras).size(), u"extra line"_s, u"extra lines"_s);
    case SetupComponent::macOS:
        return count(config.defaultsEntries().size()) + u" Dock, Finder and keyboard settings"_s;
    case SetupComponent::git:
        return (config.gitName.isEmpty() ? u"Keep current identity"_s : config.gitName) + u", "_s
            + Text::counted(config.gitAliases.size(), u"alias"_s, u"aliases"_s) + u", "_s
            + Text::counted(config.gitSettings.size(), u"setting"_s, u"settings"_s);
    case SetupComponent::ssh:
        return u"Create a "_s + config.sshKeyType + u" key at "_s + config.sshKeyFile;
    }
    return {};
}

QStringList ReviewPage::notes(
    const QSet<SetupComponent> &selected, const SetupConfig &config, const QHash<SetupComponent, StepState> &states)
{
    QStringList notes;
    if (selected.contains(SetupComponent::xcode) && !states.value(SetupComponent::xcode).isInPlace())
        notes.append(u"macOS will show a dialog to confirm the Command Line Tools installation."_s);
    if (selected.contains(SetupComponent::ohMyZsh) && !states.value(SetupComponent::ohMyZsh).isInPlace())
        notes.append(u"The Oh My Zsh installer replaces ~/.zshrc; the old one is kept as a backup."_s);
    if (selected.contains(SetupComponent::shell)) {
        const QStringList aliases = Zshrc::skippedAliases(config.aliases);
        if (!aliases.isEmpty())
            notes.append(Text::counted(aliases.size(), u"alias"_s, u"aliases"_s) + u" will be skipped: "_s
                + aliases.join(u"; "_s));
        const QStringList variables = Zshrc::skippedExports(config.environment);
        if (!variables.isEmpty())
            notes.append(Text::counted(variables.size(), u"variable"_s, u"variables"_s) + u" will be skipped: "_s
                + variables.join(u"; "_s));
    }
    if (selected.contains(SetupComponent::ohMyZsh) && config.plugins.contains(u"fzf"_s)
        && !SetupChecks::findProgram(u"fzf"_s)) {
        notes.append(SetupChecks::findProgram(u"brew"_s)
                ? u"The fzf plugin needs the fzf program, which is not installed: the Oh My Zsh step installs it with Homebrew."_s
                : u"The fzf plugin needs the fzf program, which is not installed, and Homebrew is not there to "
                  u"install it: zsh will show an error at every start until you install fzf."_s);
    }
    if (selected.contains(SetupComponent::shell) && config.backupDotfiles)
        notes.append(u"~/.zshrc is backed up before it is changed."_s);
    if (selected.contains(SetupComponent::macOS))
        notes.append(u"The Dock and Finder restart to apply the settings."_s);
    if (selected.contains(SetupComponent::ssh))
        notes.append(u"The SSH key is created without a passphrase."_s);
    if (selected.contains(SetupComponent::iterm2) || selected.contains(SetupComponent::rosetta))
        notes.append(u"macOS may ask for your password."_s);
    return notes;
}

ReviewPage::ReviewPage(const SetupConfig &config, const QSet<SetupComponent> &selected,
    const QHash<SetupComponent, StepState> &states, QWidget *parent, std::optional<QString> brewPath)
    : QWidget(parent)
{
    setObjectName(u"reviewPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    column->setSpacing(14);
    const QColor secondary = Colors::secondary(this);

    bool any = false;
    for (const SetupComponent component : allSetupComponents()) {
        if (!selected.contains(component))
            continue;
        any = true;
        auto *row = new QWidget(this);
        row->setObjectName(u"review_"_s + toString(component));
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(10);
        auto *icon = new QLabel(row);
        icon->setFixedWidth(24);
        icon->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        icon->setPixmap(Symbols::icon(::icon(component), secondary).pixmap(18, 18));
        line->addWidget(icon, 0, Qt::AlignTop);
        auto *texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(WizardStyle::label(title(component), Fonts::Style::headline, row));
        QLabel *detail = WizardStyle::secondaryLabel(detailLine(component, config), Fonts::Style::body, row);
        detail->setObjectName(u"detail"_s);
        texts->addWidget(detail);
        line->addLayout(texts, 1);
        column->addWidget(row);
    }
    if (any) {
        auto *showChanges = new QPushButton(u"Show changes…"_s, this);
        showChanges->setObjectName(u"showChanges"_s);
        QList<SetupComponent> chosen;
        for (const SetupComponent component : allSetupComponents()) {
            if (selected.contains(component))
                chosen.append(component);
        }
        connect(showChanges, &QPushButton::clicked, this, [this, chosen, config, brewPath] {
            auto *sheet = new PlanSheet(chosen, config, brewPath, this);
            sheet->setAttribute(Qt::WA_DeleteOnClose);
            sheet->open();
        });
        column->addWidget(showChanges, 0, Qt::AlignLeft);
    }
    if (!any) {
        QLabel *nothing = WizardStyle::secondaryLabel(u"Nothing selected."_s, Fonts::Style::body, this);
        nothing->setObjectName(u"nothingSelected"_s);
        column->addWidget(nothing);
    }

    const QStringList found = notes(selected, config, states);
    if (found.isEmpty())
        return;
    auto *divider = Divider::horizontal(this);
    divider->setObjectName(u"notesDivider"_s);
    column->addWidget(divider);
    auto *list = new QWidget(this);
    list->setObjectName(u"notes"_s);
    auto *listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(6);
    for (const QString &note : found) {
        auto *label = new SymbolLabel(u"info.circle"_s, note, list);
        label->setObjectName(u"note"_s);
        label->setColor(secondary);
        label->setTextFont(Fonts::font(Fonts::Style::callout));
        label->textLabel()->setWordWrap(true);
        listLayout->addWidget(label);
    }
    column->addWidget(list);
}
