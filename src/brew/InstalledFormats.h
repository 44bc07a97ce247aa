#pragma once

#include "brew/InstalledPackage.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What Homebrew prints about the packages on this machine and about cleaning up: the installed
// JSON document, name lists, and the lines of `brew cleanup` and `brew autoremove`.
namespace InstalledFormats {

// `brew info --json=v2 --installed` → formulae then casks, in document order. Absent when the
// text is not such a document (brew printed an error instead). An entry without a name, or one
// that is not installed, is skipped rather than failing the rest.
std::optional<QList<InstalledPackage>> decodeInstalled(QByteArrayView json);

// One name per line (`brew uses`, `brew leaves`, `brew list --pinned`); blank lines dropped.
QStringList names(const QString &output);

// What `brew cleanup --dry-run` and `brew autoremove --dry-run` said would go.
struct CleanupPreview {
    QStringList removals; // "Would remove:" lines without that prefix: path and size
    QString total; // "1.2GB" from "This operation would free approximately 1.2GB of disk space."
    QStringList unneeded; // formulae autoremove would uninstall

    bool isEmpty() const { return removals.isEmpty() && unneeded.isEmpty(); }
    bool operator==(const CleanupPreview &) const = default;
};

CleanupPreview parseCleanupPreview(const QString &cleanupOutput, const QString &autoremoveOutput);

// "1.2GB" from the closing line of a real `brew cleanup`; absent when it printed none.
std::optional<QString> freedSpace(const QString &cleanupOutput);

} // namespace InstalledFormats
