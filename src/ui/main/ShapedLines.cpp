#include "ui/main/ShapedLines.h"

#include <QFontMetrics>
#include <QRawFont>
#include <QTextLayout>

namespace {

// Texts made only of these read left to right throughout and have no tabs, whose place depends
// on what comes before them: Latin, Greek, Cyrillic and Armenian, combining marks, punctuation.
// Hebrew, the first script written right to left, starts at U+0590.
bool placesWordsInOrder(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < u' ' || c.unicode() >= 0x0590)
            return false;
    }
    return true;
}

} // namespace

const ShapedLines::Line &ShapedLines::line(const QString &text, const QFont &font, int width)
{
    const Key key{ text, width, font.weight(), font.pointSizeF() };
    if (const Line *found = m_lines.find(key))
        return *found;
    std::optional<Line> shaped = fromWords(text, font);
    if (!shaped)
        shaped = shape(text, font);
    if (shaped->width > width)
        shaped = shape(QFontMetrics(font).elidedText(text, Qt::ElideRight, width), font);
    return m_lines.insert(key, std::move(*shaped));
}

ShapedLines::Line ShapedLines::shape(const QString &text, const QFont &font, QTextOption::Flags flags)
{
    QTextLayout layout(text, font);
    QTextOption options;
    options.setWrapMode(QTextOption::NoWrap);
    options.setFlags(flags);
    layout.setTextOption(options);
    // Keeps the shaped glyphs of endLayout() for glyphRuns(), which would shape them again.
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    textLine.setLeadingIncluded(false);
    layout.endLayout();
    return { layout.glyphRuns(), textLine.naturalTextWidth() };
}

void ShapedLines::releaseDropped()
{
    m_lines.releaseDropped();
    m_words.releaseDropped();
}

std::optional<ShapedLines::Line> ShapedLines::fromWords(const QString &text, const QFont &font)
{
    // Leading or trailing spaces, and texts in scripts whose words may not be placed one after
    // the other, are shaped whole; so are single words, which gain nothing.
    if (text.isEmpty() || text.front() == u' ' || text.back() == u' ' || !text.contains(u' ')
        || !placesWordsInOrder(text))
        return std::nullopt;

    QRawFont rawFont;
    QList<quint32> indexes;
    QList<QPointF> positions;
    QGlyphRun::GlyphRunFlags flags;
    qreal x = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != u' ')
            ++end;
        while (end < text.size() && text.at(end) == u' ')
            ++end;
        const QString word = text.sliced(start, end - start);
        start = end;

        const Key key{ word, 0, font.weight(), font.pointSizeF() };
        const Line *found = m_words.find(key);
        if (!found)
            found = &m_words.insert(key, shape(word, font, QTextOption::IncludeTrailingSpaces));
        // Words that need a second font are shaped with the whole text, whose line height and
        // baseline come from every font in it.
        if (found->glyphs.size() > 1)
            return std::nullopt;
        if (!found->glyphs.isEmpty()) {
            const QGlyphRun &run = found->glyphs.front();
            if (indexes.isEmpty()) {
                rawFont = run.rawFont();
                flags = run.flags();
            } else if (run.rawFont() != rawFont) {
                return std::nullopt;
            }
            indexes += run.glyphIndexes();
            for (const QPointF &position : run.positions())
                positions.append(QPointF(position.x() + x, position.y()));
        }
        x += found->width;
    }

    // The last word has no trailing spaces: where it ends is the text's width.
    Line line;
    line.width = x;
    if (!indexes.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(rawFont);
        run.setFlags(flags);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        line.glyphs.append(run);
    }
    return line;
}

const ShapedLines::Line *ShapedLines::Cache::find(const Key &key)
{
    if (const auto found = m_newer.constFind(key); found != m_newer.cend())
        return &*found;
    const auto older = m_older.find(key);
    if (older == m_older.end())
        return nullptr;
    Line line = std::move(*older);
    m_older.erase(older);
    return &insert(key, std::move(line));
}

const ShapedLines::Line &ShapedLines::Cache::insert(const Key &key, Line line)
{
    if (m_newer.size() >= m_limit)
        m_dropped = std::exchange(m_older, std::exchange(m_newer, {}));
    return *m_newer.insert(key, std::move(line));
}
