#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Says what is wrong with a config.json document that SetupConfig::fromJson() would reject: the
// first problem, with the key path and the reason ("dock.showRecents: missing", "aliases[2].id:
// expected a UUID", "not JSON: … at line 3, column 7"), so an import can tell the user what to
// fix. Nothing when the document is acceptable.
namespace ConfigValidator {

std::optional<QString> firstProblem(const QByteArray &json);

} // namespace ConfigValidator
