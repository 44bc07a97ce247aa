#pragma once

#include <QString>

// Reading the user's dotfiles without losing a byte. A file that is there but cannot be taken
// as UTF-8 text is reported as unreadable, never as empty, so that no caller mistakes it for a
// missing file and writes over it.
namespace TextFile {

enum class Status { missing, readable, unreadable };

struct Contents {
    Status status = Status::missing;
    QString text; // empty unless readable

    bool operator==(const Contents &) const = default;
};

// Strict UTF-8. A byte-order mark is kept as U+FEFF, so writing the text back as UTF-8 gives the
// same bytes.
Contents read(const QString &path);

} // namespace TextFile
