#pragma once

#include <QProcessEnvironment>
#include <QString>

// What the application's child processes find in their environment. The brew store and the setup
// engine both start brew and other tools, so this lives below both of them.
namespace ChildEnvironment {

// Every child runs without a terminal: NONINTERACTIVE=1, and, when the askpass script could be
// written, SUDO_ASKPASS naming it, so sudo asks for a password in a dialog. Process::exec()
// applies this to every child it starts.
QProcessEnvironment withoutTerminal(QProcessEnvironment environment);

// The environment of every brew run, whoever starts it: the application's own, with the folder of
// `brewPath` first in PATH and Homebrew's auto-update, hints and colours switched off.
QProcessEnvironment homebrew(const QString &brewPath);

} // namespace ChildEnvironment
