#include "ui/Symbols.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSymbols : public QObject {
    Q_OBJECT

private:
    // Every symbol name the screens are documented to show. A screen built later names its
    // symbols in code, which names_usedInSource_resolve catches.
    static QStringList documentedNames()
    {
        return {
            u"house"_s,
            u"square.grid.2x2"_s,
            u"arrow.triangle.2.circlepath"_s,
            u"arrow.triangle.2.circlepath.circle.fill"_s,
            u"shippingbox"_s,
            u"shippingbox.fill"_s,
            u"arrow.down.circle.fill"_s,
            u"arrow.up.circle.fill"_s,
            u"arrow.up.circle"_s,
            u"arrow.clockwise"_s,
            u"checkmark.circle.fill"_s,
            u"checkmark.seal"_s,
            u"xmark.octagon.fill"_s,
            u"xmark.circle.fill"_s,
            u"exclamationmark.triangle.fill"_s,
            u"exclamationmark.circle.fill"_s,
            u"chevron.up"_s,
            u"xmark"_s,
            u"hammer"_s,
            u"cpu"_s,
            u"terminal"_s,
            u"puzzlepiece.extension"_s,
            u"paintbrush"_s,
            u"text.alignleft"_s,
            u"macwindow"_s,
            u"arrow.triangle.branch"_s,
            u"key"_s,
            u"wand.and.stars"_s,
            u"info.circle"_s,
            u"questionmark.circle"_s,
            u"wifi.exclamationmark"_s,
            u"safari"_s,
            u"doc.on.doc"_s,
            u"plus"_s,
            u"minus.circle"_s,
            u"circle"_s,
            u"ellipsis.circle"_s,
            u"play.circle"_s,
            u"wrench.and.screwdriver"_s,
        };
    }

    // Symbol names written as literals in calls of Symbols:: functions anywhere under src/.
    static QSet<QString> namesUsedInSource()
    {
        static const QRegularExpression call(uR"re(Symbols::(?:icon|pixmap)\(\s*u"([^"]+)"_s)re"_s);
        // Tables of symbols (help topics, components) put a /*symbol*/ comment before each name.
        static const QRegularExpression tagged(uR"re(/\*\s*symbol\s*\*/\s*u"([^"]+)"_s)re"_s);
        QSet<QString> names;
        QDirIterator it(
            QStringLiteral(QUILLRIG_SOURCE_DIR), { u"*.cpp"_s, u"*.h"_s }, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (const auto *pattern : { &call, &tagged }) {
                auto matches = pattern->globalMatch(text);
                while (matches.hasNext())
                    names.insert(matches.next().captured(1));
            }
        }
        return names;
    }

private Q_SLOTS:
    void names_documented_resolve()
    {
        QStringList missing;
        for (const QString &name : documentedNames())
            if (!Symbols::contains(name))
                missing.append(name);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u", "_s)));
    }

    void names_usedInSource_resolve()
    {
        const QSet<QString> used = namesUsedInSource();
        // The help topics name these; missing them means the scan itself is broken.
        QVERIFY(used.contains(u"play.circle"_s));
        QVERIFY(used.contains(u"wrench.and.screwdriver"_s));
        QStringList missing;
        for (const QString &name : used)
            if (!Symbols::contains(name))
                missing.append(name);
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u", "_s)));
    }

    void names_everyBundledFileRenders()
    {
        const QStringList names = Symbols::names();
        QVERIFY(names.size() >= documentedNames().size());
        // A contact sheet for people to look over: every symbol in black and in red, at 24 px.
        QImage sheet(8 * 64, int((names.size() + 7) / 8) * 40, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QPoint at(int(i % 8) * 64 + 4, int(i / 8) * 40 + 8);
            painter.drawPixmap(at, Symbols::pixmap(names[i], 24, Qt::black));
            painter.drawPixmap(at + QPoint(28, 0), Symbols::pixmap(names[i], 24, QColor(255, 59, 48)));
        }
        painter.end();
        if (const QString dir = qEnvironmentVariable("QUILLRIG_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QDir().mkpath(dir);
            sheet.save(dir + u"/symbols.png"_s);
        }
        for (const QString &name : names) {
            const QImage image = Symbols::pixmap(name, 24, Qt::black).toImage();
            int painted = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    painted += qAlpha(image.pixel(x, y)) > 0;
            QVERIFY2(painted > 10, qPrintable(name));
        }
    }

    void resourcePath_rejectsUnknownAndUnsafeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << u"no.such.symbol"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("parent folder") << u"../AppIcon"_s;
        QTest::newRow("path") << u"icons/house"_s;
        QTest::newRow("upper case") << u"House"_s;
    }

    void resourcePath_rejectsUnknownAndUnsafeNames()
    {
        QFETCH(QString, name);
        QVERIFY(Symbols::resourcePath(name).isEmpty());
        QVERIFY(Symbols::icon(name).isNull());
    }

    void icon_tintsWithTheGivenColour_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::newRow("red") << QColor(255, 59, 48);
        QTest::newRow("green") << QColor(52, 199, 89);
        QTest::newRow("translucent blue") << QColor(0, 122, 255, 128);
    }

    void icon_tintsWithTheGivenColour()
    {
        QFETCH(QColor, color);
        const QImage image = Symbols::icon(u"checkmark.circle.fill"_s, color).pixmap(32, 32).toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        // The middle of the ring is solid fill: exactly the tint there.
        const QColor ring = image.pixelColor(16, 5);
        QCOMPARE(ring.red(), color.red());
        QCOMPARE(ring.green(), color.green());
        QCOMPARE(ring.blue(), color.blue());
        QVERIFY(qAbs(ring.alpha() - color.alpha()) <= 2);
        // The check mark is cut out of the disc.
        QVERIFY(image.pixelColor(16, 16).alpha() < 255 || image.pixelColor(14, 18).alpha() < 255);
    }

    void icon_rendersAtTheRequestedSize()
    {
        const QIcon icon = Symbols::icon(u"house"_s, Qt::black);
        for (int side : { 12, 16, 56, 96 })
            QCOMPARE(icon.pixmap(side, side).size(), QSize(side, side));
        QVERIFY(icon.pixmap(16, 16, QIcon::Disabled).toImage() != icon.pixmap(16, 16).toImage());
    }
};

QTEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
