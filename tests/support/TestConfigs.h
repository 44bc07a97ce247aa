#pragma once

#include "setup/config/SetupConfig.h"

namespace quillrig::test {

// A configuration with nothing in it and no backups, so each test adds only what it is about.
inline SetupConfig emptyConfig()
{
    SetupConfig config = SetupConfig::defaults();
    config.plugins.clear();
    config.aliases.clear();
    config.environment.clear();
    config.zshrcExtras.clear();
    config.gitAliases.clear();
    config.gitSettings.clear();
    config.backupDotfiles = false;
    return config;
}

} // namespace quillrig::test
