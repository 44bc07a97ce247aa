#pragma once

#include "cli/CliSupport.h"

#include <string>
#include <vector>

// quillrig-cli: the command-line side of Quillrig, on the same engine as the window. The whole
// tool is this one function, so tests run it in-process on a sandbox. Needs a QCoreApplication.
namespace Cli {

// `arguments` without the program name. Returns the exit status.
int run(const std::vector<std::string> &arguments, CliStreams &io);

// The zsh completion script printed by `quillrig-cli completion zsh`.
QString zshCompletion();

} // namespace Cli
