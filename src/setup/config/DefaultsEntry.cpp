#include "setup/config/DefaultsEntry.h"

using namespace Qt::StringLiterals;

QString DefaultsEntry::toString(Kind kind)
{
    switch (kind) {
    case Kind::boolean:
        return u"bool"_s;
    case Kind::integer:
        return u"int"_s;
    case Kind::floating:
        return u"float"_s;
    case Kind::string:
        return u"string"_s;
    }
    return {};
}

std::optional<DefaultsEntry::Kind> DefaultsEntry::kindFromString(const QString &text)
{
    for (const Kind kind : allKinds()) {
        if (toString(kind) == text)
            return kind;
    }
    return std::nullopt;
}

QList<DefaultsEntry::Kind> DefaultsEntry::allKinds()
{
    return { Kind::boolean, Kind::integer, Kind::floating, Kind::string };
}
