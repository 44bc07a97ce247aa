#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextOption>

#include <optional>

// Single lines of text shaped once and kept as glyph runs, for a table that draws thousands of
// short texts as the user types.
//
// Shaping is the costliest part of drawing a new text, and the texts of a catalog repeat their
// words: a description in Latin, Greek or Cyrillic script is shaped word by word, each word (with
// the spaces after it) once, and the words' glyphs are placed side by side. Within a word the
// glyphs are exactly those of shaping the whole text (ligatures, kerning, marks); only kerning
// between a space and the next letter is lost, which fonts rarely define. Other texts are shaped
// whole: those with a script that may read right to left, a tab, or a word that needs a second font.
class ShapedLines {
public:
    // A text's glyphs, placed from the top left of the line, and its width.
    struct Line {
        QList<QGlyphRun> glyphs;
        qreal width = 0;
    };

    // `text` shaped in `font`, cut with an ellipsis where it is wider than `width`.
    const Line &line(const QString &text, const QFont &font, int width);
    // Frees the texts dropped from the caches since the last call. Freeing thousands of glyph runs
    // takes a while, better spent when nothing waits for it than in the keystroke that filled a cache.
    void releaseDropped();

private:
    struct Key {
        QString text;
        int width;
        int fontWeight;
        qreal fontSize;
        bool operator==(const Key &) const = default;
    };
    friend size_t qHash(const Key &key, size_t seed = 0) noexcept
    {
        return qHashMulti(seed, key.text, key.width, key.fontWeight, key.fontSize);
    }

    // Texts used lately. When the newer half is full it becomes the older one and the oldest texts
    // are dropped; a text found in the older half moves to the newer. Unlike clearing a full cache
    // this never drops what is on screen all at once.
    class Cache {
    public:
        explicit Cache(qsizetype limit)
            : m_limit(limit)
        {
        }
        const Line *find(const Key &key);
        const Line &insert(const Key &key, Line line);
        void releaseDropped() { m_dropped.clear(); }

    private:
        qsizetype m_limit;
        QHash<Key, Line> m_newer;
        QHash<Key, Line> m_older;
        QHash<Key, Line> m_dropped;
    };

    // With `QTextOption::IncludeTrailingSpaces` the width reaches to where the next word starts.
    static Line shape(const QString &text, const QFont &font, QTextOption::Flags flags = {});
    // The text's glyphs from its words' glyphs, or nothing when it has to be shaped whole.
    std::optional<Line> fromWords(const QString &text, const QFont &font);

    // Each half holds the cells of dozens of screens of rows; a search shows many of the same rows
    // again on the next keystroke, and the rows above and below the visible ones are shaped ahead.
    Cache m_lines{ 3000 };
    // A word's glyphs and the width up to the next word. A catalog's vocabulary is some thousand
    // words.
    Cache m_words{ 5000 };
};
