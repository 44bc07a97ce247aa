#pragma once

#include "brew/Package.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QList>
#include <QString>

#include <optional>

// The JSON documents packages come from: the two catalog halves of the Homebrew API, the report
// of `brew outdated --json=v2`, the per-package details document, and our own catalog cache.
//
// The catalog documents are decoded strictly, the way a typed decoder would: a read key holding
// a value of the wrong type fails the whole document, a null counts as absent, unknown keys are
// skipped (and only checked for balanced brackets and valid UTF-8, which is what lets 45 MB of
// catalog decode in a few dozen milliseconds). The details document is the opposite: every field is taken only when it
// has the expected shape, so one odd field never hides the others.
namespace PackageFormats {

// A catalog document that could not be decoded. The description is meant for the user.
class DecodingError : public Error {
public:
    explicit DecodingError(QString message)
        : m_message(std::move(message))
    {
    }
    QString description() const override { return m_message; }

private:
    QString m_message;
};

// The catalog decoders read up to this many bytes past the end of the text. Given a QByteArray
// with that much spare capacity (see readPadded()) they decode it in place; otherwise they copy it.
inline constexpr qsizetype readAheadBytes = 64;

// Reads everything `device` has to offer into a buffer with readAheadBytes to spare.
QByteArray readPadded(QIODevice &device);

// Whether a decoder fills in the search keys, or leaves them empty for assignSearchKeys() to do
// once the final list is put together.
enum class SearchKeys { build, later };

// formula.json → packages in document order. Throws DecodingError.
QList<Package> decodeFormulae(const QByteArray &json, SearchKeys keys = SearchKeys::build);
// cask.json → packages in document order. Throws DecodingError.
QList<Package> decodeCasks(const QByteArray &json, SearchKeys keys = SearchKeys::build);

// Sets every package's searchKey (see searchKey()). The keys share one block of text laid out in
// list order, each followed by a NUL, which the search index then uses without a copy.
void assignSearchKeys(QList<Package> &packages);

// `brew outdated --json=v2` → formulae, then casks, in document order. Absent when the report
// does not decode (either list missing, an item without a name…).
std::optional<QList<OutdatedPackage>> decodeOutdatedReport(QByteArrayView json);

// /api/<kind>/<name>.json → details; absent only when the document is not a JSON object.
std::optional<PackageDetails> decodeDetails(QByteArrayView json);

// The catalog cache: a binary file made to load in a few milliseconds, with the packages in list
// order and their search keys.
QByteArray encodeCache(const QList<Package> &packages);
// Absent unless the bytes are a whole cache of this version: a file of another version, a cut-off
// or damaged one, or any other bytes give no packages at all.
std::optional<QList<Package>> decodeCache(const QByteArray &bytes);
// The same, read from the device's current position to its end.
std::optional<QList<Package>> decodeCache(QIODevice &device);

// The full Unicode lower-case mapping: like QString::toLower(), and a capital sigma that ends a
// word becomes the final sigma.
QString lowerCased(QStringView text);

// Lower-case of name, display name and description joined by spaces: what the search matches.
QString searchKey(const QString &name, const QString &displayName, const QString &desc);

} // namespace PackageFormats
