#pragma once

#include "cli/CliSupport.h"

#include <QString>
#include <QStringList>

// The Homebrew commands of the command-line tool, on the same store, catalog cache and command
// sequencer as the Packages and Updates screens.
namespace CliBrew {

struct Options {
    QStringList names; // search terms or package names
    bool json = false;
    bool greedy = false;
    bool zap = false; // uninstall: also remove the casks' app data
};

int search(CliStreams &io, const Options &options);
int info(CliStreams &io, const Options &options);
int install(CliStreams &io, const Options &options);
// Installed packages by name; a name that is not installed is an error and nothing is removed.
int uninstall(CliStreams &io, const Options &options);
int outdated(CliStreams &io, const Options &options);
int upgrade(CliStreams &io, const Options &options);
int update(CliStreams &io, const Options &options);

} // namespace CliBrew
