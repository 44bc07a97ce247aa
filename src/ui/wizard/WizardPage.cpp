#include "ui/wizard/WizardPage.h"

using namespace Qt::StringLiterals;

namespace WizardPages {

QString toString(WizardPage page)
{
    switch (page) {
    case WizardPage::select:
        return u"select"_s;
    case WizardPage::terminal:
        return u"terminal"_s;
    case WizardPage::shell:
        return u"shell"_s;
    case WizardPage::macos:
        return u"macos"_s;
    case WizardPage::git:
        return u"git"_s;
    case WizardPage::ssh:
        return u"ssh"_s;
    case WizardPage::review:
        return u"review"_s;
    }
    return {};
}

std::optional<WizardPage> fromString(QStringView text)
{
    for (const WizardPage page : allCases()) {
        if (toString(page) == text)
            return page;
    }
    return std::nullopt;
}

QList<WizardPage> allCases()
{
    return { WizardPage::select, WizardPage::terminal, WizardPage::shell, WizardPage::macos, WizardPage::git,
        WizardPage::ssh, WizardPage::review };
}

QList<WizardPage> sequence(const QSet<SetupComponent> &selected, bool openedForOne)
{
    QList<WizardPage> pages;
    if (!openedForOne)
        pages.append(WizardPage::select);
    // iTerm2 has nothing to set, so it alone does not bring the terminal page.
    if (selected.contains(SetupComponent::ohMyZsh) || selected.contains(SetupComponent::powerlevel10k))
        pages.append(WizardPage::terminal);
    if (selected.contains(SetupComponent::shell))
        pages.append(WizardPage::shell);
    if (selected.contains(SetupComponent::macOS))
        pages.append(WizardPage::macos);
    if (selected.contains(SetupComponent::git))
        pages.append(WizardPage::git);
    if (selected.contains(SetupComponent::ssh))
        pages.append(WizardPage::ssh);
    pages.append(WizardPage::review);
    return pages;
}

QString title(WizardPage page)
{
    switch (page) {
    case WizardPage::select:
        return u"What should be set up?"_s;
    case WizardPage::terminal:
        return u"Terminal"_s;
    case WizardPage::shell:
        return u"Aliases & environment"_s;
    case WizardPage::macos:
        return u"macOS defaults"_s;
    case WizardPage::git:
        return u"Git"_s;
    case WizardPage::ssh:
        return u"SSH key"_s;
    case WizardPage::review:
        return u"Review"_s;
    }
    return {};
}

} // namespace WizardPages
