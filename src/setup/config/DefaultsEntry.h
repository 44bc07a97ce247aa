#pragma once

#include <QList>
#include <QString>

#include <optional>

// One preference written with `defaults write <domain> <key> -<kind> <value>` and read back by the
// status check.
struct DefaultsEntry {
    // Raw values "bool", "int", "float", "string": what follows the "-" of the type option. The
    // case names differ from the raw values only because those are C++ keywords.
    enum class Kind { boolean, integer, floating, string };

    QString domain;
    QString key;
    Kind kind = Kind::boolean;
    QString value; // as `defaults write` takes it: "true"/"false", "48", "0", "Nlsv"

    static QString toString(Kind kind);
    static std::optional<Kind> kindFromString(const QString &text);
    static QList<Kind> allKinds();

    bool operator==(const DefaultsEntry &) const = default;
};
