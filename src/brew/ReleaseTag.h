#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The tag of a release document (GitHub's "latest release" JSON): its "tag_name" string; none when
// the body is not a JSON object or the tag is missing or not a string.
namespace ReleaseTag {

std::optional<QString> fromJson(const QByteArray &body);

} // namespace ReleaseTag
