#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace fakebrew {

// A JSON value printed the way Homebrew pretty-prints: two-space indentation, keys in the order
// they were added, "[]" and "{}" for empty containers. QJsonDocument sorts keys and indents by four.
class PrettyJson {
public:
    using Member = std::pair<QString, PrettyJson>;

    static PrettyJson null();
    static PrettyJson string(const QString &text);
    static PrettyJson optionalString(const QString &text); // null when empty
    static PrettyJson boolean(bool value);
    static PrettyJson number(qint64 value);
    static PrettyJson optionalNumber(const std::optional<qint64> &value);
    static PrettyJson array(const QList<PrettyJson> &items);
    static PrettyJson strings(const QStringList &items);
    static PrettyJson object(const QList<Member> &members);

    QString toString(int indent = 0) const;
    // A string's JSON form with its quotes: "a \"b\"".
    static QString quoted(const QString &text);

private:
    enum class Type { scalar, array, object };
    Type m_type = Type::scalar;
    QString m_scalar = QStringLiteral("null");
    QList<PrettyJson> m_items;
    QList<QString> m_keys;
};

} // namespace fakebrew
