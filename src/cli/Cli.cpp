#include "cli/Cli.h"

#include "cli/CliBrew.h"
#include "cli/CliSetup.h"
#include "platform/Error.h"
#include "platform/Platform.h"

#include <CLI/CLI.hpp>
#include <sstream>

using namespace Qt::StringLiterals;
using namespace CliSupport;

namespace Cli {

namespace {

QStringList toStrings(const std::vector<std::string> &values)
{
    QStringList list;
    for (const std::string &value : values)
        list.append(QString::fromStdString(value));
    return list;
}

void usageError(CliStreams &io, const QString &message)
{
    error(io, message);
    writeLine(io.err, u"Run “quillrig-cli --help” for usage."_s);
}

} // namespace

QString zshCompletion()
{
    const QString components = componentNames().join(u' ');
    return uR"(#compdef quillrig-cli
# zsh completion for quillrig-cli. Put it on your $fpath as _quillrig-cli, or:
#   source <(quillrig-cli completion zsh)
_quillrig-cli() {
  local -a commands components
  commands=(status:'show the state of the nine setup components' plan:'show what apply would change'
            apply:'set up the chosen components' config:'show, export or import the configuration'
            brew:'search, install, uninstall and upgrade Homebrew packages' completion:'print a shell completion script')
  components=(%1)
  if (( CURRENT == 2 )); then
    _describe command commands
    return
  fi
  case $words[2] in
    plan|apply) _arguments '*:component:($components)' '--config[configuration file]:file:_files' '--json' '--yes' ;;
    status) _arguments '--json' ;;
    config) _arguments '2:action:(show path export import)' '3:file:_files' ;;
    brew) _arguments '2:command:(search info install uninstall outdated upgrade update)' '*::argument:' ;;
    completion) _arguments '2:shell:(zsh)' ;;
  esac
}
compdef _quillrig-cli quillrig-cli
)"_s.arg(components);
}

int run(const std::vector<std::string> &arguments, CliStreams &io)
{
    CLI::App app{ "Sets up a developer's Mac and manages Homebrew packages, as the Quillrig app does.",
        "quillrig-cli" };
    app.require_subcommand(1);
    app.set_version_flag("--version", (u"quillrig-cli "_s + Platform::current().appShortVersion()).toStdString());
    const std::string componentHelp
        = "Components: " + componentNames().join(u", "_s).toStdString() + " (all nine when none is given)";

    CliSetup::Options setup;
    std::vector<std::string> components;
    std::string configFile;
    auto *status = app.add_subcommand("status", "Show the state of the nine setup components and Homebrew");
    status->add_flag("--json", setup.json, "Print the state as JSON");

    auto *plan = app.add_subcommand("plan", "Show what apply would do, with diffs, without changing anything");
    plan->footer(componentHelp);
    plan->add_option("components", components, "Components to plan for");
    plan->add_option("--config", configFile, "Use this configuration file instead of the app's")
        ->check(CLI::ExistingFile);
    plan->add_flag("--json", setup.json, "Print the plan as JSON");

    auto *apply = app.add_subcommand("apply", "Set up the chosen components, as the wizard's Apply does");
    apply->footer(componentHelp);
    apply->add_option("components", components, "Components to set up");
    apply->add_option("--config", configFile, "Use this configuration file instead of the app's")
        ->check(CLI::ExistingFile);
    apply->add_flag("--yes,-y", setup.yes, "Apply without showing the plan and asking");
    apply->add_flag("--json", setup.json, "Report per component whether anything changed, as JSON");

    auto *config = app.add_subcommand("config", "The app's configuration file");
    config->require_subcommand(1);
    std::string file;
    config->add_subcommand("show", "Print the configuration in use");
    config->add_subcommand("path", "Print where the configuration file is");
    config->add_subcommand("export", "Write the configuration to FILE")->add_option("FILE", file)->required();
    config->add_subcommand("import", "Check FILE and make it the configuration")
        ->add_option("FILE", file)
        ->required()
        ->check(CLI::ExistingFile);

    auto *brew = app.add_subcommand("brew", "Homebrew packages");
    brew->require_subcommand(1);
    CliBrew::Options brewOptions;
    std::vector<std::string> names;
    auto *search = brew->add_subcommand("search", "Search the catalog by name and description");
    search->add_option("TERMS", names)->required();
    search->add_flag("--json", brewOptions.json, "Print the matches as JSON");
    auto *info = brew->add_subcommand("info", "Show a package's details");
    info->add_option("NAME", names)->required()->expected(1);
    info->add_flag("--json", brewOptions.json, "Print the details as JSON");
    brew->add_subcommand("install", "Install formulae and casks")->add_option("NAME", names)->required();
    auto *uninstall = brew->add_subcommand("uninstall", "Uninstall installed formulae and casks");
    uninstall->add_option("NAME", names)->required();
    uninstall->add_flag("--zap", brewOptions.zap, "Also remove the casks' settings, caches and support files");
    auto *outdated = brew->add_subcommand("outdated", "List outdated packages");
    outdated->add_flag("--json", brewOptions.json, "Print the list as JSON");
    outdated->add_flag("--greedy", brewOptions.greedy, "Include apps that update themselves");
    brew->add_subcommand("upgrade", "Upgrade the named packages, or all outdated ones")->add_option("NAME", names);
    brew->add_subcommand("update", "Update Homebrew itself");

    auto *completion = app.add_subcommand("completion", "Print a shell completion script");
    std::string shell;
    completion->add_option("SHELL", shell, "zsh")->required()->check(CLI::IsMember({ "zsh" }));

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        // The help of the innermost subcommand that was named.
        CLI::App *target = &app;
        while (!target->get_subcommands().empty())
            target = target->get_subcommands().front();
        io.out << target->help();
        io.out.flush();
        return CliExit::ok;
    } catch (const CLI::CallForVersion &) {
        io.out << app.version() << '\n';
        io.out.flush();
        return CliExit::ok;
    } catch (const CLI::ParseError &failure) {
        usageError(io, QString::fromStdString(failure.what()));
        return CliExit::usage;
    }

    setup.components = toStrings(components);
    if (!configFile.empty())
        setup.configFile = QString::fromStdString(configFile);
    brewOptions.names = toStrings(names);
    const QString fileName = QString::fromStdString(file);

    try {
        if (*status)
            return CliSetup::status(io, setup);
        if (*plan)
            return CliSetup::plan(io, setup);
        if (*apply)
            return CliSetup::apply(io, setup);
        if (*config)
            return CliSetup::config(
                io, QString::fromStdString(config->get_subcommands().front()->get_name()), fileName);
        if (*completion) {
            write(io.out, zshCompletion());
            return CliExit::ok;
        }
        const QString command = QString::fromStdString(brew->get_subcommands().front()->get_name());
        if (command == u"search"_s)
            return CliBrew::search(io, brewOptions);
        if (command == u"info"_s)
            return CliBrew::info(io, brewOptions);
        if (command == u"install"_s)
            return CliBrew::install(io, brewOptions);
        if (command == u"uninstall"_s)
            return CliBrew::uninstall(io, brewOptions);
        if (command == u"outdated"_s)
            return CliBrew::outdated(io, brewOptions);
        if (command == u"upgrade"_s)
            return CliBrew::upgrade(io, brewOptions);
        return CliBrew::update(io, brewOptions);
    } catch (const CliUsageError &failure) {
        usageError(io, failure.message());
        return CliExit::usage;
    } catch (const std::exception &failure) {
        error(io, errorText(failure));
        return CliExit::failed;
    }
}

} // namespace Cli
