#include "brew/ReleaseTag.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace ReleaseTag {

std::optional<QString> fromJson(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue tag = document.object().value("tag_name"_L1);
    if (!tag.isString())
        return std::nullopt;
    return tag.toString();
}

} // namespace ReleaseTag
