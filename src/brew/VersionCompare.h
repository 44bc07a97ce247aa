#pragma once

#include <QString>
#include <QStringView>

// Version texts compared the way people read them: runs of digits as numbers, so 4.10.0 is
// newer than 4.9.3.
namespace VersionCompare {

// <0, 0 or >0. Runs of ASCII digits compare by value (leading zeros ignored), everything else by
// code point; no locale rules. A consistent order on every text, but not one meant for sorting
// what users read: "1.0" and "1.00" compare equal.
int compareNumeric(QStringView a, QStringView b);

// Whether the release tag `latestTag` ("4.4.2" or "v4.4.2") is newer than the installed Homebrew
// version ("4.4.2", or "4.4.2-15-gabc" from a git checkout). A text that is not a plain dotted
// number on either side (brew printing "Homebrew >=4.3.0 (shallow or no git repository)") tells
// nothing about the installed release, so it never reports an update.
bool isNewerRelease(const QString &latestTag, const QString &installedVersion);

} // namespace VersionCompare
