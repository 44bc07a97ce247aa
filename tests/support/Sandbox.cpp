#include "Sandbox.h"

#include "platform/ShellQuote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quillrig::test {

namespace {

// Quotes a path for a POSIX shell script.
} // namespace

Sandbox::Sandbox()
{
    if (!m_dir.isValid())
        qFatal("cannot create the sandbox folder");
    const QString base = m_dir.path();
    for (const char *sub : { "home", "tmp", "root", "home/.local/share", "state" })
        QDir().mkpath(base + u'/' + QLatin1StringView(sub));
    QFile::setPermissions(base + "/tmp"_L1, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    m_settings.homeDir = base + "/home"_L1;
    m_settings.tempDir = base + "/tmp"_L1;
    m_settings.appSupportDir = base + "/home/.local/share"_L1;
    m_settings.systemRoot = base + "/root"_L1;
    m_settings.userDefaultsFile = base + "/state/defaults.ini"_L1;
    m_settings.catalogApiBase = QUrl(u"http://127.0.0.1:9"_s);
    m_settings.releaseApiBase = QUrl(u"http://127.0.0.1:9"_s);
    m_settings.systemVersion = u"14.5.0"_s;
    m_settings.appShortVersion = u"1.0"_s;
    m_settings.appBuildNumber = u"7"_s;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, m_settings.homeDir);
    env.insert(u"XDG_CONFIG_HOME"_s, m_settings.homeDir + "/.config"_L1);
    env.insert(u"TMPDIR"_s, m_settings.tempDir);
    env.insert(u"GIT_CONFIG_NOSYSTEM"_s, u"1"_s);
    env.remove(u"GIT_CONFIG_GLOBAL"_s);
    env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    m_settings.environment = env;

    m_previousHooks = Platform::hooks();
    Platform::setHooks({
        .openUrl = [this](const QUrl &url) { openedUrls.append(url); },
        .openFile = [this](const QString &path) { openedFiles.append(path); },
        .setClipboardText = [this](const QString &text) { clipboard.append(text); },
    });
    install();
}

Sandbox::~Sandbox()
{
    m_override.reset();
    Platform::setHooks(m_previousHooks);
}

void Sandbox::install()
{
    m_override.reset();
    m_override.emplace(m_settings);
}

void Sandbox::configure(const std::function<void(Platform::Settings &)> &change)
{
    change(m_settings);
    install();
}

QString Sandbox::home() const
{
    return m_settings.homeDir;
}
QString Sandbox::temp() const
{
    return m_settings.tempDir;
}
QString Sandbox::appSupport() const
{
    return m_settings.appSupportDir;
}
QString Sandbox::root() const
{
    return m_settings.systemRoot;
}

QString Sandbox::systemPath(const QString &absolutePath) const
{
    return m_settings.systemRoot + absolutePath;
}

QString Sandbox::homePath(const QString &relative) const
{
    return QDir(m_settings.homeDir).filePath(relative);
}

void Sandbox::writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray Sandbox::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString Sandbox::callsLogPath(const QString &absolutePath) const
{
    return m_dir.path() + "/state/calls"_L1 + absolutePath;
}

void Sandbox::addScript(const QString &absolutePath, const QByteArray &body)
{
    const QString path = systemPath(absolutePath);
    const QString log = callsLogPath(absolutePath);
    QDir().mkpath(QFileInfo(log).path());
    // Each call is one line: the arguments separated by the unit separator (0x1f). The line is
    // written with a single printf, so calls of tools running at the same time never interleave.
    QByteArray script
        = "#!/bin/sh\n"
          "quillrig_sep=$(printf '\\037'); quillrig_line=; quillrig_first=1\n"
          "for a in \"$@\"; do if [ $quillrig_first = 1 ]; then quillrig_first=0; "
          "else quillrig_line=\"$quillrig_line$quillrig_sep\"; fi; quillrig_line=\"$quillrig_line$a\"; done\n"
          "printf '%s\\n' \"$quillrig_line\" >> "
        + ShellQuote::singleQuoted(log).toUtf8() + "\n" + body;
    writeFile(path, script);
    QFile::setPermissions(path,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}

void Sandbox::addTool(const QString &absolutePath, const FakeTool &tool)
{
    const QString dataDir = m_dir.path() + "/state/tools"_L1 + absolutePath;
    QDir().mkpath(dataDir);
    writeFile(dataDir + "/stdout"_L1, tool.stdoutText);
    writeFile(dataDir + "/stderr"_L1, tool.stderrText);
    QByteArray body;
    if (tool.delayMs > 0)
        body += "sleep " + QByteArray::number(tool.delayMs / 1000.0, 'f', 3) + "\n";
    body += "cat " + ShellQuote::singleQuoted(dataDir + "/stdout"_L1).toUtf8() + "\n";
    body += "cat " + ShellQuote::singleQuoted(dataDir + "/stderr"_L1).toUtf8() + " >&2\n";
    body += "exit " + QByteArray::number(tool.exitCode) + "\n";
    addScript(absolutePath, body);
}

void Sandbox::removeTool(const QString &absolutePath)
{
    QFile::remove(systemPath(absolutePath));
}

QList<QStringList> Sandbox::calls(const QString &absolutePath) const
{
    QList<QStringList> result;
    const QByteArray log = readFile(callsLogPath(absolutePath));
    QList<QByteArray> lines = log.split('\n');
    lines.removeLast(); // every call ends its line, so the last piece is always empty
    for (const QByteArray &line : std::as_const(lines))
        result.append(line.isEmpty() ? QStringList() : QString::fromUtf8(line).split(QChar(0x1f)));
    return result;
}

} // namespace quillrig::test
