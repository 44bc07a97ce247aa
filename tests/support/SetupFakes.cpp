#include "SetupFakes.h"

#include "platform/ShellQuote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

// The fakes' shell lives in fakes/*.sh, compiled into this static library as a resource; a static
// library's resources are only registered when something asks for them.
static void initFakeScripts()
{
    Q_INIT_RESOURCE(fakes);
}

namespace quillrig::test {

namespace {

// A fake's shell body (fakes/<name>.sh without its "#!" line), after the assignments of the values
// it reads.
QByteArray fakeScript(const char *name, const QList<std::pair<QByteArray, QString>> &values)
{
    QFile file(":/setup-fakes/"_L1 + QLatin1StringView(name) + ".sh"_L1);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the fake tool script %s.sh is missing from the resources", name);
    QByteArray body = file.readAll();
    if (body.startsWith("#!"))
        body.remove(0, body.indexOf('\n') + 1);
    QByteArray assignments;
    for (const auto &[variable, value] : values)
        assignments += variable + '=' + ShellQuote::singleQuoted(value).toUtf8() + '\n';
    return assignments + body;
}

const QString installerUrl = u"https://raw.githubusercontent.com/ohmyzsh/ohmyzsh/master/tools/install.sh"_s;

// The lines every preset shares, so the presets are near each other as the real ones are.
const char *const commonPresetLines[] = {
    "'builtin' 'local' '-a' 'p10k_config_opts'",
    "[[ ! -o 'aliases'         ]] || p10k_config_opts+=('aliases')",
    "[[ ! -o 'sh_glob'         ]] || p10k_config_opts+=('sh_glob')",
    "'builtin' 'setopt' 'no_aliases' 'no_sh_glob' 'brace_expand'",
    "() {",
    "  emulate -L zsh -o extended_glob",
    "  unset -m '(POWERLEVEL9K_*|DEFAULT_USER)~POWERLEVEL9K_GITSTATUS_DIR'",
    "  [[ $ZSH_VERSION == (5.<1->*|<6->.*) ]] || return",
    "  typeset -g POWERLEVEL9K_LEFT_PROMPT_ELEMENTS=(",
    "    dir                     # current directory",
    "    vcs                     # git status",
    "    prompt_char             # prompt symbol",
    "  )",
    "  typeset -g POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(",
    "    status                  # exit code of the last command",
    "    command_execution_time  # duration of the last command",
    "    background_jobs         # presence of background jobs",
    "    direnv                  # direnv status",
    "    virtualenv              # python virtual environment",
    "    # time                  # current time",
    "  )",
    "  typeset -g POWERLEVEL9K_ICON_BEFORE_CONTENT=",
    "  typeset -g POWERLEVEL9K_PROMPT_ADD_NEWLINE=true",
    "  typeset -g POWERLEVEL9K_SHORTEN_STRATEGY=truncate_to_unique",
    "  typeset -g POWERLEVEL9K_DIR_MAX_LENGTH=80",
    "  typeset -g POWERLEVEL9K_VCS_BRANCH_ICON=",
    "  typeset -g POWERLEVEL9K_STATUS_EXTENDED_STATES=true",
    "  typeset -g POWERLEVEL9K_COMMAND_EXECUTION_TIME_THRESHOLD=3",
    "  typeset -g POWERLEVEL9K_TIME_FORMAT='%D{%H:%M:%S}'",
    "  typeset -g POWERLEVEL9K_TRANSIENT_PROMPT=off",
    "  typeset -g POWERLEVEL9K_INSTANT_PROMPT=verbose",
    "  typeset -g POWERLEVEL9K_DISABLE_HOT_RELOAD=true",
    "  (( ! $+functions[p10k] )) || p10k reload",
    "}",
    "typeset -g POWERLEVEL9K_CONFIG_FILE=${${(%):-%x}:a}",
    "(( ${#p10k_config_opts} )) && setopt ${p10k_config_opts[@]}",
    "'builtin' 'unset' 'p10k_config_opts'",
};

} // namespace

SetupFakes::SetupFakes(Sandbox &sandbox)
    : m_sandbox(sandbox)
    , m_stateDir(QFileInfo(sandbox.root()).path() + "/setup-fakes"_L1)
{
    initFakeScripts();
    QDir().mkpath(m_stateDir);
}

QString SetupFakes::state(const QString &name) const
{
    return m_stateDir + u'/' + name;
}

void SetupFakes::setMarker(const QString &name, bool on)
{
    if (on)
        Sandbox::writeFile(state(name), "1");
    else
        QFile::remove(state(name));
}

void SetupFakes::installAll()
{
    installXcodeSelect();
    installSoftwareUpdate();
    installDefaults();
    installKillall();
    installSsh();
    installOhMyZshInstaller();
    installGit();
    installBrew();
}

QString SetupFakes::commandLineToolsDir() const
{
    return m_sandbox.systemPath(u"/Library/Developer/CommandLineTools"_s);
}

void SetupFakes::installXcodeSelect(int installDelayMs)
{
    // The parent exists from the start: the delayed mkdir has no -p.
    QDir().mkpath(QFileInfo(commandLineToolsDir()).path());
    const QByteArray delay
        = installDelayMs < 0 ? QByteArray("never") : QByteArray::number(installDelayMs / 1000.0, 'f', 3);
    m_sandbox.addScript(u"/usr/bin/xcode-select"_s,
        fakeScript("xcode-select", { { "dir", commandLineToolsDir() }, { "delay", QString::fromLatin1(delay) } }));
}

void SetupFakes::setCommandLineToolsInstalled(bool installed)
{
    if (installed)
        QDir().mkpath(commandLineToolsDir());
    else
        QDir(commandLineToolsDir()).removeRecursively();
}

QString SetupFakes::rosettaPath() const
{
    return m_sandbox.systemPath(u"/Library/Apple/usr/share/rosetta/rosetta"_s);
}

void SetupFakes::installSoftwareUpdate(Rosetta behaviour)
{
    const char *name = behaviour == Rosetta::installs ? "installs"
        : behaviour == Rosetta::fails                 ? "fails"
                                                      : "fails-but-installs";
    m_sandbox.addScript(u"/usr/sbin/softwareupdate"_s,
        fakeScript("softwareupdate", { { "rosetta", rosettaPath() }, { "behaviour", QString::fromLatin1(name) } }));
}

void SetupFakes::installDefaults()
{
    const QString store = state(u"defaults"_s);
    QDir().mkpath(store);
    m_sandbox.addScript(u"/usr/bin/defaults"_s,
        fakeScript("defaults", { { "store", store }, { "fail_marker", state(u"defaults-fail"_s) } }));
}

void SetupFakes::setDefaultsWritesFail(bool fail)
{
    setMarker(u"defaults-fail"_s, fail);
}

std::optional<QString> SetupFakes::defaultsValue(const QString &domain, const QString &key) const
{
    const QString path = state(u"defaults/%1/%2"_s.arg(domain, key));
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QString::fromUtf8(Sandbox::readFile(path)).trimmed();
}

void SetupFakes::setDefaultsValue(const QString &domain, const QString &key, const QString &value)
{
    Sandbox::writeFile(state(u"defaults/%1/%2"_s.arg(domain, key)), value.toUtf8() + "\n");
}

void SetupFakes::installKillall()
{
    m_sandbox.addTool(u"/usr/bin/killall"_s, {});
}

void SetupFakes::installSsh()
{
    m_sandbox.addScript(u"/usr/bin/ssh-keygen"_s, fakeScript("wrapper", { { "real", u"/usr/bin/ssh-keygen"_s } }));
    m_sandbox.addTool(u"/usr/bin/ssh-add"_s, { .stdoutText = {}, .stderrText = "Identity added\n" });
}

void SetupFakes::installOhMyZshInstaller()
{
    m_sandbox.addScript(u"/bin/sh"_s, fakeScript("wrapper", { { "real", u"/bin/sh"_s } }));

    const QString zshrcTemplate = state(u"ohmyzsh-zshrc"_s);
    Sandbox::writeFile(zshrcTemplate, ohMyZshTemplate());
    const QString installer = state(u"ohmyzsh-install.sh"_s);
    Sandbox::writeFile(installer,
        "#!/bin/sh\n"
            + fakeScript(
                "ohmyzsh-install", { { "fail_marker", state(u"ohmyzsh-fail"_s) }, { "template", zshrcTemplate } }));

    m_sandbox.addScript(
        u"/usr/bin/curl"_s, fakeScript("curl", { { "installer_url", installerUrl }, { "installer", installer } }));
}

void SetupFakes::setOhMyZshInstallerFails(bool fail)
{
    setMarker(u"ohmyzsh-fail"_s, fail);
}

QByteArray SetupFakes::ohMyZshTemplate()
{
    return "# If you come from bash you might have to change your $PATH.\n"
           "# export PATH=$HOME/bin:/usr/local/bin:$PATH\n"
           "\n"
           "# Where Oh My Zsh lives.\n"
           "export ZSH=\"$HOME/.oh-my-zsh\"\n"
           "\n"
           "# The theme to load; \"random\" picks a different one every time.\n"
           "ZSH_THEME=\"robbyrussell\"\n"
           "\n"
           "# Uncomment to use case-sensitive completion.\n"
           "# CASE_SENSITIVE=\"true\"\n"
           "\n"
           "# Plugins to load, from $ZSH/plugins/ or $ZSH_CUSTOM/plugins/.\n"
           "# Example format: plugins=(rails git textmate ruby lighthouse)\n"
           "plugins=(git)\n"
           "\n"
           "source $ZSH/oh-my-zsh.sh\n"
           "\n"
           "# User configuration\n"
           "# export LANG=en_US.UTF-8\n";
}

QByteArray SetupFakes::presetText(const QString &style)
{
    QByteArrayList lines;
    lines << "# Config for Powerlevel10k with " + style.toUtf8() + " prompt style.";
    for (const char *line : commonPresetLines)
        lines << line;
    // Enough lines of its own that each preset is far from the others.
    const QByteArray tag = style.toUtf8().toUpper();
    for (int i = 0; i < 24; ++i)
        lines.insert(lines.size() - 5,
            "  typeset -g POWERLEVEL9K_" + tag + "_SETTING_" + QByteArray::number(i) + "=" + QByteArray::number(i * 7));
    return lines.join('\n') + '\n';
}

void SetupFakes::runGit(const QStringList &arguments, const QString &workingDirectory)
{
    QProcess git;
    QProcessEnvironment env = m_sandbox.settings().environment;
    env.insert(u"GIT_AUTHOR_NAME"_s, u"Fixture"_s);
    env.insert(u"GIT_AUTHOR_EMAIL"_s, u"fixture@example.invalid"_s);
    env.insert(u"GIT_COMMITTER_NAME"_s, u"Fixture"_s);
    env.insert(u"GIT_COMMITTER_EMAIL"_s, u"fixture@example.invalid"_s);
    git.setProcessEnvironment(env);
    git.setWorkingDirectory(workingDirectory);
    git.start(u"/usr/bin/git"_s, arguments);
    if (!git.waitForFinished(30000) || git.exitStatus() != QProcess::NormalExit || git.exitCode() != 0)
        qFatal("git %s failed: %s", qPrintable(arguments.join(u' ')), git.readAllStandardError().constData());
}

void SetupFakes::createRepository(const QString &repositoryPath, const QList<std::pair<QString, QByteArray>> &files)
{
    const QString dir = state(u"repos/"_s + repositoryPath);
    for (const auto &[name, contents] : files)
        Sandbox::writeFile(dir + u'/' + name, contents);
    runGit({ u"-c"_s, u"init.defaultBranch=main"_s, u"init"_s, u"-q"_s }, dir);
    runGit({ u"add"_s, u"-A"_s }, dir);
    runGit({ u"commit"_s, u"-q"_s, u"-m"_s, u"Initial"_s }, dir);
    // Addresses may or may not end in ".git".
    QFile::link(dir, dir + ".git"_L1);
}

void SetupFakes::installGit(const QString &absolutePath)
{
    m_sandbox.addScript(absolutePath, fakeScript("wrapper", { { "real", u"/usr/bin/git"_s } }));
    if (m_repositoriesCreated)
        return;
    m_repositoriesCreated = true;
    for (const char *name : { "zsh-autosuggestions", "zsh-syntax-highlighting" }) {
        const QString plugin = QString::fromLatin1(name);
        createRepository(u"zsh-users/"_s + plugin,
            { { plugin + ".plugin.zsh"_L1, "# " + QByteArray(name) + "\n" }, { u"README.md"_s, "A plugin.\n" } });
    }
    QList<std::pair<QString, QByteArray>> theme
        = { { u"powerlevel10k.zsh-theme"_s, "# theme\n" }, { u"README.md"_s, "A theme.\n" } };
    for (const char *style : { "lean", "classic", "rainbow", "pure" })
        theme.append({ u"config/p10k-%1.zsh"_s.arg(QLatin1StringView(style)), presetText(QString::fromLatin1(style)) });
    createRepository(u"romkatv/powerlevel10k"_s, theme);

    runGit(
        { u"config"_s, u"--global"_s, u"url.file://%1/.insteadOf"_s.arg(state(u"repos"_s)), u"https://github.com/"_s },
        m_sandbox.home());
}

void SetupFakes::setRepositoryMissing(const QString &repositoryPath, bool missing)
{
    const QString dir = state(u"repos/"_s + repositoryPath);
    const QString hidden = dir + ".hidden"_L1;
    if (missing)
        QDir().rename(dir, hidden);
    else
        QDir().rename(hidden, dir);
}

void SetupFakes::installBrew()
{
    m_sandbox.addScript(u"/opt/homebrew/bin/brew"_s,
        fakeScript("brew",
            { { "fail_marker", state(u"brew-fail"_s) },
                { "app_dir", m_sandbox.systemPath(u"/Applications/iTerm.app"_s) },
                { "bin_dir", m_sandbox.systemPath(u"/opt/homebrew/bin"_s) } }));
}

void SetupFakes::setBrewFails(bool fail)
{
    setMarker(u"brew-fail"_s, fail);
}

} // namespace quillrig::test
