#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

class RunContext;

// The apply steps of the system tools: Command Line Tools, Rosetta 2, and iTerm2 with the Nerd
// Font and its terminal profile. Each logs into the run and finishes or throws.
namespace SystemToolSteps {

// Starts the installer and waits for the tools, checking after every poll interval. The wait
// ends at once when the run is cancelled (CancelledError).
QCoro::Task<> installCommandLineTools(RunContext &context);
QCoro::Task<> installRosetta(RunContext &context);
// `brewPath`: nothing when Homebrew is not installed.
QCoro::Task<> installITerm(RunContext &context, std::optional<QString> brewPath);

// The dynamic profile document written to …/iTerm2/DynamicProfiles/quillrig.json.
QByteArray iTermProfile();
QString iTermProfilePath();

// The commands the steps run, for a dry run to list.
QStringList commandLineToolsInstallerArguments();
QStringList rosettaArguments();
QStringList iTermBrewArguments();

} // namespace SystemToolSteps
