#include "setup/engine/OhMyZshInfo.h"

#include "platform/Files.h"
#include "platform/Platform.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"

using namespace Qt::StringLiterals;

QStringList OhMyZshInfo::enabledPlugins(const QString &zshrcText)
{
    const QStringList lines = zshrcText.split(u'\n');
    const auto range = Zshrc::pluginsRange(lines);
    if (!range)
        return {};
    return Zshrc::plugins(lines, *range);
}

QCoro::Task<OhMyZshInfo> OhMyZshInfo::detect()
{
    const Platform &platform = Platform::current();
    OhMyZshInfo info;
    info.installed = Files::exists(platform.homePath(u".oh-my-zsh"_s));
    info.bundled = Files::subdirectoryNames(platform.homePath(u".oh-my-zsh/plugins"_s));
    info.custom = Files::subdirectoryNames(platform.homePath(u".oh-my-zsh/custom/plugins"_s));
    info.custom.removeAll(u"example"_s);
    info.enabled = enabledPlugins(Zshrc::read());
    co_return info;
}

OhMyZshInfo::Source OhMyZshInfo::source(const QString &plugin) const
{
    if (bundled.contains(plugin))
        return Source::bundled;
    if (custom.contains(plugin))
        return Source::custom;
    if (SetupConfig::pluginSources().contains(plugin))
        return Source::notInstalled;
    return Source::notFound;
}
