#pragma once

#include "setup/config/SetupConfig.h"
#include "setup/engine/SetupComponent.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A dry run of an apply: for each chosen component what its step would do, the files it would
// change (with unified diffs), the macOS defaults and Git settings whose values would change,
// and the commands it would run, in order. Built from the same functions the steps use to
// decide what to write, and only with read-only queries (defaults read, git config --get,
// xcode-select -p), so what it shows is what Apply then does.
struct SetupPlan {
    struct FileChange {
        QString path; // as shown: "~/.zshrc"
        std::optional<QString> before; // none: there is no such file yet
        // None: the content cannot be known beforehand (an installer or a download writes it);
        // `note` says why.
        std::optional<QString> after;
        QString diff; // unified diff; empty when `after` is unknown
        QString note;
        bool operator==(const FileChange &) const = default;
    };
    struct ValueChange {
        QString domain; // the defaults domain; empty for Git settings
        QString key;
        std::optional<QString> current; // none: not set
        QString wanted;
        bool operator==(const ValueChange &) const = default;
    };
    struct Step {
        SetupComponent component = SetupComponent::xcode;
        QStringList actions; // what the step would do, in words, in order
        QList<FileChange> files;
        QList<ValueChange> defaults;
        QList<ValueChange> git;
        // As the run log announces them: program name and arguments joined with single spaces.
        QStringList commands;
        bool installs = false; // something missing would be installed or created
        std::optional<QString> failure; // the step would fail with this text
        // Whether applying the step would change anything on the Mac.
        bool changes() const { return installs || !files.isEmpty() || !defaults.isEmpty() || !git.isEmpty(); }
        bool operator==(const Step &) const = default;
    };
    // One line of the plan as text, with what it is, so the command line and the window can
    // colour it the same way.
    struct Line {
        enum class Kind { heading, action, failure, fileHeader, hunk, added, removed, context, change, command, note };
        Kind kind;
        QString text;
    };

    QList<Step> steps;

    bool changes() const;
    const Step *step(SetupComponent component) const;
    QList<Line> lines() const;

    // The plan of an apply of `components` (in the fixed order, whatever order they are given in)
    // with `config`. `brewPath`: nothing when Homebrew is missing.
    static QCoro::Task<SetupPlan> make(
        QList<SetupComponent> components, SetupConfig config, std::optional<QString> brewPath);
};
