#pragma once

#include "setup/config/DefaultsEntry.h"
#include "setup/config/KeyValue.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

struct DockSettings {
    bool autohide = true;
    int autohideDelay = 0; // seconds, whole numbers
    int tileSize = 48;
    bool magnification = false;
    bool minimizeToApp = true;
    bool showRecents = false;

    bool operator==(const DockSettings &) const = default;
};

struct FinderSettings {
    bool showHiddenFiles = true;
    bool showExtensions = true;
    bool showPathBar = true;
    bool showStatusBar = true;
    QString viewStyle = QStringLiteral("list"); // "icon", "list", "column", "gallery"; empty: leave unchanged

    bool operator==(const FinderSettings &) const = default;
};

struct KeyboardSettings {
    int keyRepeat = 2;
    int initialKeyRepeat = 15;
    bool disableSmartQuotes = true;
    bool disableSmartDashes = true;

    bool operator==(const KeyboardSettings &) const = default;
};

// The user's whole setup configuration, persisted as config.json. A default-constructed value is
// blank (no plugins, no rows, empty texts); defaults() is the configuration a new user starts from.
struct SetupConfig {
    QStringList plugins;
    QString p10kStyle; // "lean", "classic", "rainbow", "pure"; empty: write no prompt configuration
    QList<KeyValue> aliases;
    QList<KeyValue> environment;
    QString zshrcExtras; // one ~/.zshrc line per text line
    bool backupDotfiles = false;
    DockSettings dock;
    FinderSettings finder;
    KeyboardSettings keyboard;
    QString gitName;
    QString gitEmail;
    QList<KeyValue> gitAliases;
    QList<KeyValue> gitSettings;
    QString sshKeyType;
    QString sshKeyFile;
    QString sshComment;

    bool operator==(const SetupConfig &) const = default;

    struct P10kStyle {
        QString identifier; // empty: "Skip"
        QString title;
        QString description;

        bool operator==(const P10kStyle &) const = default;
    };

    struct ViewStyle {
        QString value; // empty: "Leave unchanged"
        QString title;

        bool operator==(const ViewStyle &) const = default;
    };

    // Built once per process, so its rows keep their ids for the life of the process.
    static const SetupConfig &defaults();
    // The plugins Oh My Zsh does not ship, with the repository they are cloned from.
    static const QMap<QString, QUrl> &pluginSources();
    static const QList<P10kStyle> &p10kStyles();
    static const QList<ViewStyle> &viewStyles();

    // .../quillrig-gui/config.json in Application Support; creates the folder when it is missing.
    static QString fileURL();
    // The stored configuration, or the defaults with the takeover from ~/.zshrc when there is no
    // usable stored one. Never fails, never writes.
    static SetupConfig load();
    // Replaces config.json atomically. A file that load() would reject is first moved aside to
    // config.json.rejected-<yyyyMMdd_HHmmss>, so the first save after a bad start does not
    // destroy what the user had; when it cannot be moved aside it is left alone and nothing is
    // saved. Returns why nothing was saved ("<path>: <reason>"), also logged; the next save
    // tries again.
    std::optional<QString> save() const;
    // defaults() with plugins, aliases and environment taken from ~/.zshrc where it has them.
    static SetupConfig takeOverFromZshrc();
    // The macOS preferences this configuration asks for, computed afresh on every call.
    QList<DefaultsEntry> defaultsEntries() const;

    // The document of config.json: compact, every field written, ids in upper case.
    QByteArray toJson() const;
    // Strict: every field must be there with its type, at every level; unknown keys are ignored.
    static std::optional<SetupConfig> fromJson(const QByteArray &json);
};
