#include "ui/Symbols.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QLoggingCategory>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>

#include <memory>

using namespace Qt::StringLiterals;

static void initResources()
{
    // The resources live in a static library; naming them here keeps the linker from dropping them.
    Q_INIT_RESOURCE(resources);
}

namespace {

Q_LOGGING_CATEGORY(lcSymbols, "quillrig.symbols")

const QString iconFolder = u":/icons/"_s;

void ensureResources()
{
    Symbols::loadResources();
}

// The SVG text of a symbol, read once per process.
const QByteArray &svgSource(const QString &name)
{
    static QHash<QString, QByteArray> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        QFile file(Symbols::resourcePath(name));
        QByteArray data;
        if (!file.fileName().isEmpty() && file.open(QIODevice::ReadOnly))
            data = file.readAll();
        it = cache.insert(name, data);
    }
    return *it;
}

void warnUnknown(const QString &name)
{
    static QSet<QString> warned;
    if (!warned.contains(name)) {
        warned.insert(name);
        qCWarning(lcSymbols) << "no bundled symbol named" << name;
    }
}

QImage render(const QString &name, QSize pixelSize, const QColor &color)
{
    const QByteArray &source = svgSource(name);
    if (source.isEmpty() || pixelSize.isEmpty())
        return {};
    // Painting opaque and applying the alpha afterwards keeps overlapping strokes of a
    // translucent tint from showing darker seams.
    QColor opaque = color;
    opaque.setAlpha(255);
    QByteArray tinted = source;
    tinted.replace("currentColor", opaque.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(tinted);
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixelSize)));
        if (color.alpha() < 255) {
            painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            painter.fillRect(image.rect(), QColor(0, 0, 0, color.alpha()));
        }
    }
    return image;
}

QPixmap cachedPixmap(const QString &name, QSize pixelSize, const QColor &color)
{
    const QString key = u"quillrig-symbol:%1:%2x%3:%4"_s.arg(name)
                            .arg(pixelSize.width())
                            .arg(pixelSize.height())
                            .arg(color.name(QColor::HexArgb));
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap::fromImage(render(name, pixelSize, color));
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

// Renders the SVG at whatever size Qt asks for, so the same icon serves a 12-point badge and a
// 56-point hero symbol.
class SymbolEngine final : public QIconEngine {
public:
    SymbolEngine(QString name, QColor color)
        : m_name(std::move(name))
        , m_color(std::move(color))
    {
    }

    QColor tint(QIcon::Mode mode) const
    {
        QColor color = m_color.isValid() ? m_color : QApplication::palette().color(QPalette::WindowText);
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.35f);
        else if (mode == QIcon::Selected && !m_color.isValid())
            color = QApplication::palette().color(QPalette::HighlightedText);
        return color;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        const QSize pixelSize(qRound(side * ratio), qRound(side * ratio));
        QPixmap pixmap = cachedPixmap(m_name, pixelSize, tint(mode));
        pixmap.setDevicePixelRatio(ratio);
        const QRect target(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        painter->drawPixmap(target, pixmap);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return cachedPixmap(m_name, QSize(side, side), tint(mode));
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        const int side = qRound(std::min(size.width(), size.height()) * scale);
        QPixmap result = pixmap(QSize(side, side), mode, state);
        result.setDevicePixelRatio(scale);
        return result;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }

    QString key() const override { return u"quillrig-symbol"_s; }
    QIconEngine *clone() const override { return new SymbolEngine(m_name, m_color); }
    QString iconName() override { return m_name; }

private:
    QString m_name;
    QColor m_color;
};

} // namespace

namespace Symbols {

void loadResources()
{
    static const bool done = [] {
        initResources();
        return true;
    }();
    Q_UNUSED(done);
}

QString resourcePath(const QString &name)
{
    ensureResources();
    // Symbol names are dotted words; anything else (a path, "..") never reaches the file system.
    static const QRegularExpression valid(u"^[a-z0-9]+(\\.[a-z0-9]+)*$"_s);
    if (!valid.match(name).hasMatch())
        return {};
    const QString path = iconFolder + name + u".svg"_s;
    return QFile::exists(path) ? path : QString();
}

bool contains(const QString &name)
{
    return !resourcePath(name).isEmpty();
}

QStringList names()
{
    ensureResources();
    QStringList result;
    const QStringList files = QDir(iconFolder).entryList({ u"*.svg"_s }, QDir::Files, QDir::Name);
    for (const QString &file : files)
        result.append(file.chopped(4));
    return result;
}

QIcon icon(const QString &name, const QColor &color)
{
    if (!contains(name)) {
        warnUnknown(name);
        return {};
    }
    return QIcon(new SymbolEngine(name, color));
}

QPixmap pixmap(const QString &name, int size, const QColor &color, qreal devicePixelRatio)
{
    if (!contains(name)) {
        warnUnknown(name);
        return {};
    }
    const int side = qRound(size * devicePixelRatio);
    QPixmap result = cachedPixmap(
        name, QSize(side, side), color.isValid() ? color : QApplication::palette().color(QPalette::WindowText));
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace Symbols
