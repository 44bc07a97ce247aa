#pragma once

#include <QString>

// Unified diffs of whole text files, as `diff -u` shows them, for the dry run of an apply.
namespace UnifiedDiff {

// "--- <label>", "+++ <label>", then the hunks with three lines of context; the empty text
// when the two texts are equal. `before` empty with `beforeExists` false diffs against
// /dev/null, as for a file that is created.
QString diff(const QString &label, const QString &before, const QString &after, bool beforeExists = true);

} // namespace UnifiedDiff
