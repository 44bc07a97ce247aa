#pragma once

#include "cli/CliSupport.h"

#include <QString>
#include <QStringList>

#include <optional>

// The setup commands of the command-line tool: status, plan, apply and config.
namespace CliSetup {

struct Options {
    QStringList components;
    std::optional<QString> configFile;
    bool json = false;
    bool yes = false;
};

int status(CliStreams &io, const Options &options);
int plan(CliStreams &io, const Options &options);
int apply(CliStreams &io, const Options &options);
// `action`: show, path, export or import; `file` for the last two.
int config(CliStreams &io, const QString &action, const QString &file);

} // namespace CliSetup
