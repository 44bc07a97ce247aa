#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUuid>

// One editable row of aliases, environment variables, Git aliases or Git settings. Rows are told
// apart in lists by `id`, so every new row gets a fresh random one.
struct KeyValue {
    QUuid id;
    QString key;
    QString value;

    static KeyValue make(QString key, QString value)
    {
        return { QUuid::createUuid(), std::move(key), std::move(value) };
    }

    bool operator==(const KeyValue &) const = default;
};

inline size_t qHash(const KeyValue &row, size_t seed = 0) noexcept
{
    return qHashMulti(seed, row.id, row.key, row.value);
}
