#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The "==> " headings in a chunk of brew output, which drive the counted progress of a command
// sequence. Pure, so the store's progress can be tested and fuzzed without a process.
namespace HeadingCounter {

struct Heading {
    QString text; // after "==> "
    bool countsAsStep = false; // an "Installing …"/"Upgrading …" of one package

    bool operator==(const Heading &) const = default;
};

// Whether a heading starts the work on one package (not its dependencies, not a count).
bool countsAsStep(QStringView heading);

// The headings of one chunk, in order. The chunk is split on its own at every "\n" and "\r": a
// line cut in two by the pipe is two pieces, and only the piece that starts with "==> " counts.
QList<Heading> headings(QStringView chunk);

} // namespace HeadingCounter
