#pragma once

#include <QList>
#include <QString>

namespace fakebrew {

// The lines of a Brewfile the fake understands: `tap "user/repo"`, `brew "name", args…`,
// `cask "token"`, `mas "App", id: 123`, `vscode "publisher.extension"`, `go`, `cargo`, `uv`,
// `flatpak` and `winget` entries, `cask_args` and comments. Anything else makes the file invalid,
// as a Ruby error would for real Homebrew.
namespace Brewfile {

struct Entry {
    QString type{}; // tap, brew, cask, mas, vscode, go, cargo, uv, flatpak, winget
    QString name{};
    QString options{}; // what follows the name, as written: `restart_service: :changed`, `id: 497799835`
    qint64 masId = 0;
    int line = 0;
    bool operator==(const Entry &) const = default;
};

struct Parsed {
    QList<Entry> entries;
    QString error; // empty when the whole file was understood
};

Parsed parse(const QString &text);
// A Ruby string literal for a name: "name", with quotes and backslashes escaped.
QString quoted(const QString &name);
// The entry asks for its formula's service to run: `start_service: true` or `restart_service: …`.
bool wantsService(const Entry &entry);
// The order entries of each type are written in by `brew bundle dump`.
QList<QString> typeOrder();

} // namespace Brewfile

} // namespace fakebrew
