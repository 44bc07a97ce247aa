#include "PrettyJson.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace fakebrew {

PrettyJson PrettyJson::null()
{
    return {};
}

PrettyJson PrettyJson::string(const QString &text)
{
    PrettyJson value;
    value.m_scalar = quoted(text);
    return value;
}

PrettyJson PrettyJson::optionalString(const QString &text)
{
    return text.isEmpty() ? null() : string(text);
}

PrettyJson PrettyJson::boolean(bool flag)
{
    PrettyJson value;
    value.m_scalar = flag ? u"true"_s : u"false"_s;
    return value;
}

PrettyJson PrettyJson::number(qint64 number)
{
    PrettyJson value;
    value.m_scalar = QString::number(number);
    return value;
}

PrettyJson PrettyJson::optionalNumber(const std::optional<qint64> &number)
{
    return number ? PrettyJson::number(*number) : null();
}

PrettyJson PrettyJson::array(const QList<PrettyJson> &items)
{
    PrettyJson value;
    value.m_type = Type::array;
    value.m_items = items;
    return value;
}

PrettyJson PrettyJson::strings(const QStringList &items)
{
    QList<PrettyJson> values;
    for (const QString &item : items)
        values.append(string(item));
    return array(values);
}

PrettyJson PrettyJson::object(const QList<Member> &members)
{
    PrettyJson value;
    value.m_type = Type::object;
    for (const Member &member : members) {
        value.m_keys.append(member.first);
        value.m_items.append(member.second);
    }
    return value;
}

QString PrettyJson::quoted(const QString &text)
{
    // A one-element array is the shortest way to borrow Qt's escaping.
    const QByteArray array = QJsonDocument(QJsonArray{ text }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString PrettyJson::toString(int indent) const
{
    if (m_type == Type::scalar)
        return m_scalar;
    const bool isObject = m_type == Type::object;
    if (m_items.isEmpty())
        return isObject ? u"{}"_s : u"[]"_s;
    const QString inner(indent + 2, u' ');
    QStringList lines;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const QString key = isObject ? quoted(m_keys.at(i)) + u": "_s : QString();
        lines.append(inner + key + m_items.at(i).toString(indent + 2));
    }
    return (isObject ? u"{\n"_s : u"[\n"_s) + lines.join(u",\n"_s) + u'\n' + QString(indent, u' ')
        + (isObject ? u'}' : u']');
}

} // namespace fakebrew
