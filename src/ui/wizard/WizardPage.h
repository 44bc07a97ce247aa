#pragma once

#include "setup/engine/SetupComponent.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

#include <optional>

// The pages of the setup wizard, in the order they are visited.
enum class WizardPage { select, terminal, shell, macos, git, ssh, review };

namespace WizardPages {

// The raw value, equal to the case name.
QString toString(WizardPage page);
std::optional<WizardPage> fromString(QStringView text);
QList<WizardPage> allCases();

// The pages a wizard shows for a selection: the selection page unless it was opened for one
// component, a settings page for each chosen topic that has one, and the review last.
QList<WizardPage> sequence(const QSet<SetupComponent> &selected, bool openedForOne);

// The header title of a page outside the run and the prompt fine-tuning.
QString title(WizardPage page);

} // namespace WizardPages
