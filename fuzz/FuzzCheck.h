#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: when it breaks, the target says which and aborts, so libFuzzer
// keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace fuzz {

inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The input cut at every byte `separator` (at most `parts` pieces; the last keeps the rest).
inline QList<QByteArray> pieces(const uint8_t *data, size_t size, char separator, int parts)
{
    QList<QByteArray> result;
    QByteArray all = bytes(data, size);
    while (result.size() + 1 < parts) {
        const qsizetype at = all.indexOf(separator);
        if (at < 0)
            break;
        result.append(all.first(at));
        all = all.sliced(at + 1);
    }
    result.append(all);
    return result;
}

// Whether `part` is a sub-multiset of `whole`. Sorted, so a file of thousands of one-character
// lines costs n log n, not n squared.
inline bool containsAll(QStringList whole, QStringList part)
{
    std::sort(whole.begin(), whole.end());
    std::sort(part.begin(), part.end());
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

} // namespace fuzz
