#include "setup/engine/SetupComponent.h"

using namespace Qt::StringLiterals;

namespace {

struct Display {
    SetupComponent component;
    QString rawValue;
    QString title;
    QString subtitle;
    QString icon;
};

const QList<Display> &table()
{
    static const QList<Display> rows = {
        { SetupComponent::xcode, u"xcode"_s, u"Xcode Command Line Tools"_s,
            u"Compilers and developer tools required by Git and Homebrew"_s, u"hammer"_s },
        { SetupComponent::rosetta, u"rosetta"_s, u"Rosetta 2"_s, u"Lets Intel-only apps run on Apple Silicon"_s,
            u"cpu"_s },
        { SetupComponent::iterm2, u"iterm2"_s, u"iTerm2 + Nerd Font"_s,
            u"Terminal app and the font Powerlevel10k needs for its icons"_s, u"terminal"_s },
        { SetupComponent::ohMyZsh, u"ohMyZsh"_s, u"Oh My Zsh"_s,
            u"zsh framework with plugins (autosuggestions, syntax highlighting…)"_s, u"puzzlepiece.extension"_s },
        { SetupComponent::powerlevel10k, u"powerlevel10k"_s, u"Powerlevel10k"_s,
            u"Fast, good-looking zsh prompt theme"_s, u"paintbrush"_s },
        { SetupComponent::shell, u"shell"_s, u"Aliases & environment"_s,
            u"Your aliases, environment variables and extra lines in ~/.zshrc"_s, u"text.alignleft"_s },
        { SetupComponent::macOS, u"macOS"_s, u"macOS defaults"_s, u"Dock, Finder and keyboard preferences"_s,
            u"macwindow"_s },
        { SetupComponent::git, u"git"_s, u"Git"_s, u"User name, email, aliases and sensible defaults"_s,
            u"arrow.triangle.branch"_s },
        { SetupComponent::ssh, u"ssh"_s, u"SSH key"_s, u"Generate an SSH key and add it to the agent"_s, u"key"_s },
    };
    return rows;
}

const Display &row(SetupComponent component)
{
    return table().at(static_cast<int>(component));
}

} // namespace

QString toString(SetupComponent component)
{
    return row(component).rawValue;
}

std::optional<SetupComponent> setupComponentFromString(QStringView text)
{
    for (const Display &display : table()) {
        if (display.rawValue == text)
            return display.component;
    }
    return std::nullopt;
}

QList<SetupComponent> allSetupComponents()
{
    QList<SetupComponent> all;
    for (const Display &display : table())
        all.append(display.component);
    return all;
}

QString title(SetupComponent component)
{
    return row(component).title;
}

QString subtitle(SetupComponent component)
{
    return row(component).subtitle;
}

QString icon(SetupComponent component)
{
    return row(component).icon;
}
