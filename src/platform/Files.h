#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QString>

#include <functional>
#include <optional>

// File-manager operations shared by the stores and the setup engine. Paths are absolute and
// already resolved through Platform (home, system root).
namespace Files {

bool exists(const QString &path);
bool isDirectory(const QString &path);
bool isExecutableFile(const QString &path);

// The whole file, or nothing when it is missing or cannot be read.
std::optional<QByteArray> read(const QString &path);

// Strict UTF-8: nothing when the bytes are not valid UTF-8 (never a lossy decode).
std::optional<QString> decodeUtf8(const QByteArray &bytes);

// Writes through a temporary file in the same folder and renames it over `path`, so readers see
// the old or the new content, never a half-written file. Throws FileError.
void writeAtomically(const QString &path, const QByteArray &bytes);

// A disk fault to simulate: for a path it returns the reason its write fails (a full disk, a
// read-only file), or none to let the write go ahead. While set, writeAtomically() asks it
// after the new bytes are in the temporary file, and a fault discards that file, leaving the
// original as it was; move() asks it with the new name before renaming. For tests; an empty
// function switches it off.
using WriteFault = std::function<std::optional<QString>(const QString &path)>;
void setWriteFault(WriteFault fault);

// Runs `edit` (a read-modify-write of `path`) while holding the lock file `path` + ".lock", so
// that two processes editing the same file one after the other never interleave: the second one
// reads what the first one wrote. A lock left behind by a process that has died is taken over.
// Nested calls for the same path on one thread run inside the outer lock. Throws FileError when
// another process keeps the file locked for 10 seconds; whatever `edit` throws passes through,
// with the lock released.
void withLock(const QString &path, const std::function<void()> &edit);

// Creates the folder and its parents; throws FileError. `permissions`, when given, applies to
// folders this call creates (existing ones keep theirs).
void createDirectories(const QString &path, std::optional<QFileDevice::Permissions> permissions = std::nullopt);

void setPermissions(const QString &path, QFileDevice::Permissions permissions);

// Copies without replacing: fails when `to` exists. Throws FileError.
void copy(const QString &from, const QString &to);
// Renames; throws FileError.
void move(const QString &from, const QString &to);

std::optional<QDateTime> modificationTime(const QString &path);

// Folders directly inside `path` (hidden ones skipped), sorted by name; empty when unreadable.
QStringList subdirectoryNames(const QString &path);
// Every entry name directly inside `path` (files and folders); empty when unreadable.
QStringList entryNames(const QString &path);

} // namespace Files
