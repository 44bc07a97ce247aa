#include "ui/main/ShapedLines.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

// The text shaped whole, as the table drew every cell before words were shaped one at a time.
ShapedLines::Line shapedWhole(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    QTextOption options;
    options.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(options);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(false);
    layout.endLayout();
    return { layout.glyphRuns(), line.naturalTextWidth() };
}

QImage drawn(const ShapedLines::Line &line)
{
    QImage image(700, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    for (const QGlyphRun &run : line.glyphs)
        painter.drawGlyphRun(QPointF(3.5, 10), run);
    return image;
}

} // namespace

class TestShapedLines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Word by word, a text looks exactly as when shaped whole: same glyphs, same places, same width,
    // and the same cut where it does not fit.
    void drawsAsTheWholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("afterTurnover");
        const int wide = 10000;
        QTest::newRow("description") << u"Command-line JSON processor for the shell"_s << wide << false;
        QTest::newRow("kerned pairs") << u"AVA To Ty WAVE Yo: \"quoted\" (batteries included)"_s << wide << false;
        QTest::newRow("ligatures") << u"office fluffy affine ffi"_s << wide << false;
        QTest::newRow("Cyrillic and Greek") << u"Утилита для JSON и Ελληνικά words"_s << wide << false;
        QTest::newRow("combining marks") << u"e\u0301te\u0301 cafe\u0301 na\u0308ive"_s << wide << false;
        QTest::newRow("right to left inside") << u"Hebrew שלום and Arabic مرحبا inside"_s << wide << false;
        QTest::newRow("ideographs") << u"日本語 の テキスト and words"_s << wide << false;
        QTest::newRow("spaces around and between") << u"  two  spaces   between  "_s << wide << false;
        QTest::newRow("tab") << u"column\tafter a tab"_s << wide << false;
        QTest::newRow("one word") << u"python@3.12"_s << wide << false;
        QTest::newRow("empty") << QString() << wide << false;
        QTest::newRow("cut to fit") << u"Command-line JSON processor for the shell"_s << 120 << false;
        QTest::newRow("no room") << u"Command-line JSON processor"_s << 0 << false;
        QTest::newRow("after the caches turned over") << u"Command-line JSON processor for the shell"_s << wide << true;
    }

    void drawsAsTheWholeText()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(bool, afterTurnover);
        const QFont font;
        ShapedLines lines;
        // Shaped once first, so that its words and the line are in the caches.
        lines.line(text, font, width);
        if (afterTurnover) {
            for (int i = 0; i < 12000; ++i)
                lines.line(u"word%1 and more%2"_s.arg(i).arg(i % 7), font, width);
        }
        const ShapedLines::Line &shaped = lines.line(text, font, width);

        ShapedLines::Line expected = shapedWhole(text, font);
        if (expected.width > width)
            expected = shapedWhole(QFontMetrics(font).elidedText(text, Qt::ElideRight, width), font);
        QCOMPARE(shaped.width, expected.width);
        QCOMPARE(drawn(shaped), drawn(expected));
    }
};

QTEST_MAIN(TestShapedLines)
#include "tst_shapedlines.moc"
