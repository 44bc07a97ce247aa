#pragma once

#include <QByteArray>
#include <QtGlobal>

// A synthetic Homebrew catalog the size and shape of the real one: formula.json and cask.json
// with the whole upstream key set per entry, realistic names and descriptions (mixed case, some
// non-ASCII), deprecated and disabled entries, nulls where upstream has them. Deterministic: the
// same options give the same bytes on every run, so benchmark results compare across runs.
namespace CatalogGenerator {

struct Options {
    int formulae = 7600;
    int casks = 7100;
    quint32 seed = 20240601;
};

struct Catalog {
    QByteArray formulaJson;
    QByteArray caskJson;
};

Catalog generate(const Options &options = {});

} // namespace CatalogGenerator
