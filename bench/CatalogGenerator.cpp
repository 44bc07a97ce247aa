#include "CatalogGenerator.h"

#include <QByteArrayList>
#include <QSet>

#include <array>
#include <cstdint>

namespace CatalogGenerator {

namespace {

// A small generator of our own rather than <random>'s distributions, whose results differ
// between standard libraries.
class Random {
public:
    explicit Random(quint32 seed)
        : m_state(seed * 0x9E3779B97F4A7C15ULL + 1)
    {
    }

    quint64 next()
    {
        // splitmix64
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    bool chance(int percent) { return below(1000) < percent * 10; }
    template<typename List> const auto &pick(const List &list) { return list[size_t(below(int(std::size(list))))]; }

private:
    quint64 m_state;
};

constexpr std::array stems{ "lib", "py", "go", "node", "ruby", "git", "http", "zip", "png", "sql", "lua", "qt", "gtk",
    "ssl", "ssh", "kube", "aws", "docker", "open", "free", "gnu", "mini", "micro", "fast", "tiny", "rust", "perl",
    "tex", "vim", "emacs", "jpeg", "xml", "json", "yaml", "proto", "grpc", "redis", "mongo", "pg", "mysql", "kafka",
    "zstd", "lz", "brot", "ffm", "media", "audio", "video", "font", "cairo", "pango", "harf", "icu", "boost", "llvm",
    "clang", "cmake", "meson", "ninja", "bazel", "terra", "vault", "consul", "nomad", "helm", "argo", "flux", "istio",
    "envoy", "nginx", "caddy", "trae", "curl", "wget", "aria", "rsync", "rclone", "restic", "borg", "age", "gpg",
    "pass", "tmux", "screen", "fish", "zsh", "bash", "starship", "fzf", "rip", "bat", "exa", "fd", "jq", "yq", "gron",
    "htop", "btop", "glances", "nmap", "mtr", "iperf", "wire", "tcp", "dns" };
constexpr std::array tails{ "", "", "", "tool", "ctl", "cli", "d", "fs", "db", "kit", "lint", "fmt", "utils", "server",
    "proxy", "sh", "watch", "sync", "x", "ng", "2", "3", "-dev", "-lite", "-plus", "-core", "-tui", "-rs", "-go",
    "-py" };
constexpr std::array accented{ "café", "zürich", "łódź", "señor", "façade", "björk", "crème", "ångström", "naïve",
    "smörgås" };
constexpr std::array brands{ "Acme", "Nimbus", "Quartz", "Harbor", "Lumen", "Orbit", "Pixel", "Vertex", "Zephyr",
    "Cobalt", "Maple", "Juniper", "Sable", "Tundra", "Aurora", "Beacon", "Cascade", "Delta", "Ember", "Falcon" };
constexpr std::array products{ "Notes", "Studio", "Player", "Browser", "Mail", "Sync", "Drive", "Terminal", "Editor",
    "Viewer", "Manager", "Clipper", "Recorder", "Launcher", "Monitor", "Translator", "Reader", "Paint", "Desk",
    "Chat" };
constexpr std::array adjectives{ "Fast", "Simple", "Modern", "Lightweight", "Portable", "Secure", "Interactive",
    "Cross-platform", "Minimal", "Extensible", "Parallel", "Incremental", "Declarative", "Friendly", "Powerful" };
constexpr std::array nouns{ "library", "command-line tool", "toolkit", "framework", "utility", "daemon", "client",
    "server", "compiler", "interpreter", "formatter", "linter", "parser", "debugger", "profiler", "package manager",
    "file manager", "terminal emulator", "image viewer", "text editor" };
constexpr std::array purposes{ "working with JSON documents", "managing containers", "encrypting files",
    "searching source code", "monitoring system resources", "transferring files over HTTP", "building C++ projects",
    "compressing data", "rendering fonts", "parsing XML", "editing Markdown", "synchronising folders",
    "testing network throughput", "managing passwords", "recording the screen", "viewing logs in real time",
    "reading e-books", "translating text", "drawing diagrams", "taking notes" };
constexpr std::array foreignDescs{ "Outil rapide pour gérer les fichiers", "Übersetzungswerkzeug für das Terminal",
    "Editor de código ligero y rápido", "日本語入力のためのツール", "Программа для резервного копирования",
    "Strumento per la gestione delle finestre", "Ferramenta de sincronização de pastas", "中文分词工具",
    "Narzędzie do kompresji plików", "Γραφικός επεξεργαστής κειμένου" };
constexpr std::array platforms{ "arm64_sequoia", "arm64_sonoma", "arm64_ventura", "arm64_monterey", "sequoia", "sonoma",
    "ventura", "x86_64_linux" };
constexpr std::array licenses{ "MIT", "Apache-2.0", "GPL-3.0-or-later", "BSD-3-Clause", "GPL-2.0-only", "MPL-2.0",
    "LGPL-2.1-or-later", "ISC", "Zlib", "BSD-2-Clause" };
constexpr std::array languages{ "de", "en-GB", "en", "es", "fr", "it", "ja", "ko", "nl", "pl", "pt-BR", "ru", "sv",
    "zh-TW", "zh" };

QByteArray hex(Random &random, int digits)
{
    static constexpr char alphabet[] = "0123456789abcdef";
    QByteArray out(digits, Qt::Uninitialized);
    for (int i = 0; i < digits; ++i)
        out[i] = alphabet[random.below(16)];
    return out;
}

// The folder letter of Formula/w/wget.rb; a whole character, even when it is not ASCII.
QByteArray firstLetter(const QByteArray &name)
{
    return QString::fromUtf8(name).left(1).toUtf8();
}

QByteArray number(int value)
{
    return QByteArray::number(value);
}

QByteArray version(Random &random)
{
    if (random.chance(5))
        return "2024" + QByteArray::number(100 + random.below(1100)).right(2) + "0" + number(1 + random.below(9));
    QByteArray text = number(random.below(30)) + '.' + number(random.below(40));
    if (random.chance(70))
        text += '.' + number(random.below(25));
    return text;
}

QByteArray stringList(const QByteArrayList &items)
{
    QByteArray out = "[";
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        out += '"' + items[i] + '"';
    }
    return out + ']';
}

QByteArray quotedOrNull(const QByteArray &text)
{
    return text.isNull() ? QByteArray("null") : '"' + text + '"';
}

// Unique names: lower-case mostly, now and then capitalised or accented, versioned like
// python@3.12.
class Names {
public:
    explicit Names(Random &random)
        : m_random(random)
    {
    }

    QByteArray next(bool cask)
    {
        for (;;) {
            QByteArray name;
            if (m_random.chance(1))
                name = m_random.pick(accented);
            else
                name = m_random.pick(stems);
            if (m_random.chance(40))
                name += QByteArray(cask ? "-" : "") + m_random.pick(stems);
            name += m_random.pick(tails);
            if (!cask && m_random.chance(6))
                name += '@' + number(1 + m_random.below(20))
                    + (m_random.chance(50) ? "." + number(m_random.below(13)) : "");
            if (cask && m_random.chance(4))
                name += "@beta";
            if (m_random.chance(3) && name[0] >= 'a' && name[0] <= 'z')
                name[0] = char(name[0] - 'a' + 'A');
            if (m_random.chance(1))
                name = name.toUpper();
            if (!m_used.contains(name)) {
                m_used.insert(name);
                return name;
            }
            if (m_random.chance(50)) {
                name += '-' + number(2 + m_random.below(9));
                if (!m_used.contains(name)) {
                    m_used.insert(name);
                    return name;
                }
            }
        }
    }

private:
    Random &m_random;
    QSet<QByteArray> m_used;
};

QByteArray description(Random &random)
{
    if (random.chance(3))
        return random.pick(foreignDescs);
    QByteArray desc = QByteArray(random.pick(adjectives)) + ' ' + random.pick(nouns) + " for " + random.pick(purposes);
    if (random.chance(4))
        desc += " (\\\"batteries included\\\")";
    return desc;
}

QByteArray formulaEntry(Random &random, const QByteArray &name, const QByteArrayList &others)
{
    const QByteArray stable = version(random);
    const QByteArray lower = name.toLower();
    const QByteArray homepage
        = random.chance(60) ? "https://github.com/" + lower + "/" + lower : "https://" + lower + ".org/";
    const bool deprecated = random.chance(2);
    const bool disabled = !deprecated && random.chance(1);
    QByteArrayList deps;
    for (int i = random.below(6); i > 0; --i)
        deps.append(others[random.below(int(others.size()))]);
    QByteArrayList buildDeps;
    for (int i = random.below(3); i > 0; --i)
        buildDeps.append(others[random.below(int(others.size()))]);
    const QByteArray git = hex(random, 40);

    QByteArray bottle;
    for (qsizetype i = 0; i < qsizetype(platforms.size()); ++i) {
        if (i)
            bottle += ',';
        const QByteArray sha = hex(random, 64);
        bottle += QByteArray("\"") + platforms[size_t(i)] + "\":{\"cellar\":\""
            + (i == 7 ? "/home/linuxbrew/.linuxbrew/Cellar" : (random.chance(50) ? ":any" : "/opt/homebrew/Cellar"))
            + "\",\"url\":\"https://ghcr.io/v2/homebrew/core/" + lower + "/blobs/sha256:" + sha + "\",\"sha256\":\""
            + sha + "\"}";
    }

    QByteArray out;
    out.reserve(4096);
    out += "{\"name\":\"" + name + "\",\"full_name\":\"" + name + "\",\"tap\":\"homebrew/core\",\"oldnames\":"
        + (random.chance(5) ? stringList({ name + "-legacy" }) : "[]") + ",\"aliases\":"
        + (random.chance(10) ? stringList({ lower + "-alias" }) : "[]") + ",\"versioned_formulae\":[],\"desc\":\""
        + description(random) + "\",\"license\":\"" + random.pick(licenses) + "\",\"homepage\":\"" + homepage
        + "\",\"versions\":{\"stable\":" + (random.chance(1) ? QByteArray("null") : '"' + stable + '"')
        + ",\"head\":" + (random.chance(40) ? "\"HEAD\"" : "null") + ",\"bottle\":true}"
        + ",\"urls\":{\"stable\":{\"url\":\"https://ftp.example.org/pub/" + lower + "/" + lower + "-" + stable
        + ".tar.gz\",\"tag\":null,\"revision\":null,\"using\":null,\"checksum\":\"" + hex(random, 64)
        + "\"},\"head\":{\"url\":\"https://github.com/" + lower + "/" + lower
        + ".git\",\"branch\":\"main\",\"using\":null}}" + ",\"revision\":" + number(random.below(3))
        + ",\"version_scheme\":0,\"bottle\":{\"stable\":{\"rebuild\":" + number(random.below(2))
        + ",\"root_url\":\"https://ghcr.io/v2/homebrew/core\",\"files\":{" + bottle + "}}}"
        + ",\"pinned\":false,\"outdated\":false,\"deprecated\":" + (deprecated ? "true" : "false")
        + ",\"deprecation_date\":" + (deprecated ? "\"2024-02-14\"" : "null") + ",\"deprecation_reason\":"
        + (deprecated ? "\"repo_archived\"" : "null") + ",\"disabled\":" + (disabled ? "true" : "false")
        + ",\"disable_date\":" + (disabled ? "\"2024-05-01\"" : "null")
        + ",\"disable_reason\":" + (disabled ? "\"unmaintained\"" : "null")
        + ",\"post_install_defined\":" + (random.chance(10) ? "true" : "false") + ",\"service\":"
        + (random.chance(5) ? "{\"run\":[\"" + lower + "\",\"--foreground\"],\"keep_alive\":true}" : "null")
        + ",\"tap_git_head\":\"" + git + "\",\"ruby_source_path\":\"Formula/" + firstLetter(lower) + "/" + lower
        + ".rb\",\"ruby_source_checksum\":{\"sha256\":\"" + hex(random, 64) + "\"}"
        + ",\"build_dependencies\":" + stringList(buildDeps) + ",\"dependencies\":" + stringList(deps)
        + ",\"test_dependencies\":[],\"recommended_dependencies\":[],\"optional_dependencies\":[]"
        + ",\"uses_from_macos\":[\"zlib\",{\"python\":\"build\"}],\"uses_from_macos_bounds\":[{},{}]"
        + ",\"requirements\":"
        + (random.chance(5) ? "[{\"name\":\"xcode\",\"cask\":null,\"download\":null,\"version\":\"14.0\",\"contexts\":["
                              "\"build\"]}]"
                            : "[]")
        + ",\"conflicts_with\":[],\"conflicts_with_reasons\":[],\"link_overwrite\":[],\"caveats\":"
        + (random.chance(10) ? "\"To start " + lower + " now:\\n  " + lower + " --daemon\\n\"" : "null")
        + ",\"installed\":[],\"linked_keg\":null,\"keg_only\":" + (random.chance(5) ? "true" : "false")
        + ",\"keg_only_reason\":null,\"options\":[],\"head_dependencies\":{\"build_dependencies\":"
        + stringList(buildDeps) + ",\"dependencies\":" + stringList(deps)
        + ",\"test_dependencies\":[],\"recommended_dependencies\":[],\"optional_dependencies\":[],\"uses_from_macos\":["
          "\"zlib\"],\"uses_from_macos_bounds\":[{}]}"
        + ",\"variations\":"
        + (random.chance(40)
                ? "{\"x86_64_linux\":{\"dependencies\":" + stringList(deps + QByteArrayList{ "zlib", "util-linux" })
                    + "},\"ventura\":{\"dependencies\":" + stringList(deps) + "}}"
                : "{}")
        + ",\"analytics\":null,\"generated_date\":\"2024-06-01\"}";
    return out;
}

QByteArray caskEntry(Random &random, const QByteArray &token)
{
    const QByteArray lower = token.toLower();
    const int kind = random.below(10);
    const QByteArray ver = kind == 0 ? QByteArray("latest")
        : kind == 1                  ? version(random) + ',' + number(10000 + random.below(90000))
                                     : version(random);
    QByteArray display;
    if (!random.chance(5)) {
        display = QByteArray(random.pick(brands)) + ' ' + random.pick(products);
        if (random.chance(3))
            display = QByteArray(random.pick(accented)) + ' ' + random.pick(products);
        if (random.chance(2))
            display = display.toUpper();
    }
    const bool deprecated = random.chance(3);
    const bool disabled = !deprecated && random.chance(1);
    const QByteArray app = display.isEmpty() ? token : display;
    QByteArrayList langs;
    if (random.chance(35))
        for (int i = 1 + random.below(12); i > 0; --i)
            langs.append(random.pick(languages));

    QByteArray out;
    out.reserve(2600);
    out += "{\"token\":\"" + token + "\",\"full_token\":\"" + token
        + "\",\"old_tokens\":[],\"tap\":\"homebrew/cask\",\"name\":"
        + (display.isEmpty() ? QByteArray("[]") : stringList({ display }))
        + ",\"desc\":" + (random.chance(5) ? QByteArray("null") : '"' + description(random) + '"')
        + ",\"homepage\":\"https://www." + lower + ".com/\",\"url\":\"https://downloads." + lower + ".com/releases/"
        + ver + "/" + app + "-" + ver + "-universal.dmg\",\"url_specs\":{\"verified\":\"downloads." + lower
        + ".com/releases/\"},\"version\":\"" + ver + "\",\"installed\":null,\"installed_time\":null"
        + ",\"bundle_version\":null,\"bundle_short_version\":null,\"outdated\":false,\"sha256\":\""
        + (kind == 0 ? QByteArray("no_check") : hex(random, 64)) + "\",\"artifacts\":[{\"uninstall\":[{\"quit\":\"com."
        + lower + ".app\",\"launchctl\":[\"com." + lower + ".helper\"]}]},{\"app\":[\"" + app
        + ".app\"]},{\"zap\":[{\"trash\":[\"~/Library/Application Support/" + app + "\",\"~/Library/Caches/com." + lower
        + ".app\",\"~/Library/Preferences/com." + lower + ".app.plist\",\"~/Library/Saved Application State/com."
        + lower + ".app.savedState\",\"~/Library/HTTPStorages/com." + lower + ".app\",\"~/Library/WebKit/com." + lower
        + ".app\",\"~/Library/Logs/" + app + "\",\"~/Library/Containers/com." + lower
        + ".app\"],\"rmdir\":\"~/Library/Application Support/" + app + "\"}]}"
        + (random.chance(20) ? ",{\"binary\":[\"$APPDIR/" + app + ".app/Contents/MacOS/" + lower + "\"],\"target\":\""
                    + lower + "\"}"
                             : QByteArray())
        + ",{\"uninstall\":[{\"pkgutil\":\"com." + lower + ".pkg\",\"delete\":\"/Library/PrivilegedHelperTools/com."
        + lower + ".helper\"}]}]"
        + ",\"caveats\":" + (random.chance(8) ? "\"" + app + " requires a restart after installing.\\n\"" : "null")
        + ",\"depends_on\":{\"macos\":{\">=\":[\"" + number(11 + random.below(4)) + "\"]}"
        + (random.chance(5) ? QByteArray(",\"formula\":[\"gnupg\"]") : QByteArray()) + "}" + ",\"conflicts_with\":"
        + (random.chance(10) ? "{\"cask\":[\"" + token + "@beta\"]}" : "null") + ",\"container\":null,\"auto_updates\":"
        + (random.chance(30) ? "true" : "null") + ",\"deprecated\":" + (deprecated ? "true" : "false")
        + ",\"deprecation_date\":" + (deprecated ? "\"2024-03-01\"" : "null") + ",\"deprecation_reason\":"
        + (deprecated ? "\"discontinued\"" : "null") + ",\"disabled\":" + (disabled ? "true" : "false")
        + ",\"disable_date\":" + (disabled ? "\"2024-05-01\"" : "null") + ",\"disable_reason\":"
        + quotedOrNull(disabled ? QByteArray("discontinued") : QByteArray()) + ",\"tap_git_head\":\"" + hex(random, 40)
        + "\",\"languages\":" + stringList(langs) + ",\"ruby_source_path\":\"Casks/" + firstLetter(lower) + "/" + lower
        + ".rb\",\"ruby_source_checksum\":{\"sha256\":\"" + hex(random, 64) + "\"},\"variations\":"
        + (random.chance(60) ? "{\"arm64_sonoma\":{\"url\":\"https://downloads." + lower + ".com/releases/" + ver + "/"
                    + app + "-" + ver + "-arm64-sonoma.dmg\",\"sha256\":\"" + hex(random, 64)
                    + "\"},\"sonoma\":{\"url\":\"https://downloads." + lower + ".com/releases/" + ver + "/" + app + "-"
                    + ver + "-x86_64-sonoma.dmg\",\"sha256\":\"" + hex(random, 64)
                    + "\"},"
                      "\"arm64_ventura\":{\"url\":\"https://downloads."
                    + lower + ".com/releases/" + ver + "/" + app + "-" + ver + "-arm64.dmg\",\"sha256\":\""
                    + hex(random, 64) + "\"},\"ventura\":{\"url\":\"https://downloads." + lower + ".com/releases/" + ver
                    + "/" + app + "-" + ver + "-x86_64.dmg\",\"sha256\":\"" + hex(random, 64) + "\"}}"
                             : "{}")
        + ",\"analytics\":null,\"generated_date\":\"2024-06-01\"}";
    return out;
}

} // namespace

Catalog generate(const Options &options)
{
    Random random(options.seed);
    Catalog catalog;

    Names formulaNames(random);
    QByteArrayList names;
    names.reserve(options.formulae);
    for (int i = 0; i < options.formulae; ++i)
        names.append(formulaNames.next(false));
    catalog.formulaJson.reserve(qsizetype(options.formulae) * 4300);
    catalog.formulaJson += '[';
    for (int i = 0; i < options.formulae; ++i) {
        if (i)
            catalog.formulaJson += ',';
        catalog.formulaJson += formulaEntry(random, names[i], names);
    }
    catalog.formulaJson += ']';

    Names caskNames(random);
    catalog.caskJson.reserve(qsizetype(options.casks) * 2800);
    catalog.caskJson += '[';
    for (int i = 0; i < options.casks; ++i) {
        if (i)
            catalog.caskJson += ',';
        catalog.caskJson += caskEntry(random, caskNames.next(true));
    }
    catalog.caskJson += ']';
    return catalog;
}

} // namespace CatalogGenerator
