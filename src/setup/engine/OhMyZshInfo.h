#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

// The user's Oh My Zsh installation: which plugins it ships, which the user added, and which
// ~/.zshrc enables.
struct OhMyZshInfo {
    // Where a plugin name comes from.
    enum class Source { bundled, custom, notInstalled, notFound };

    bool installed = false;
    QStringList bundled; // sorted
    QStringList custom; // sorted, without the "example" plugin
    QStringList enabled; // in ~/.zshrc order

    bool operator==(const OhMyZshInfo &) const = default;

    static QCoro::Task<OhMyZshInfo> detect();
    Source source(const QString &plugin) const;

    // The names of the plugins=(…) statement of a ~/.zshrc text; empty without one.
    static QStringList enabledPlugins(const QString &zshrcText);
};
