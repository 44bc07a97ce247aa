#include "ui/main/InstallHomebrewView.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Centres a wrapped label without an alignment flag, which would make the layout ignore the
// label's height for its width and cut the text off.
QHBoxLayout *centred(QWidget *widget)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}

} // namespace

InstallHomebrewView::InstallHomebrewView(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(u"installHomebrewView"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->setSpacing(16);
    layout->addStretch(1);

    auto *symbol = new QLabel(this);
    symbol->setObjectName(u"installSymbol"_s);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);

    auto *title = new QLabel(u"Homebrew is not installed"_s, this);
    title->setObjectName(u"installTitle"_s);
    title->setFont(Fonts::font(Fonts::Style::title, QFont::Bold));
    layout->addWidget(title, 0, Qt::AlignHCenter);

    auto *explanation = new QLabel(
        u"Homebrew is the package manager for macOS. This app uses it to install developer tools and applications."_s,
        this);
    explanation->setObjectName(u"installExplanation"_s);
    explanation->setAlignment(Qt::AlignCenter);
    explanation->setWordWrap(true);
    explanation->setFixedWidth(420);
    layout->addLayout(centred(explanation));

    auto *install = new QPushButton(Symbols::icon(u"arrow.down.circle.fill"_s, Qt::white), u"Install Homebrew"_s, this);
    install->setObjectName(u"installButton"_s);
    install->setDefault(true);
    install->setIconSize(QSize(18, 18));
    install->setFont(Fonts::font(Fonts::Style::title3));
    install->setMinimumHeight(36);
    // Prominent: filled with the accent colour, 8 points of extra room either side of the label.
    install->setStyleSheet(u"QPushButton#installButton { background: %1; color: white; border: none;"
                           " border-radius: 7px; padding: 6px 22px; }"
                           "QPushButton#installButton:pressed { background: %2; }"_s.arg(
                               Colors::blue().name(), Colors::blue().darker(120).name()));
    connect(install, &QPushButton::clicked, this, [this] {
        if (m_store)
            m_store->installHomebrew();
    });
    layout->addWidget(install, 0, Qt::AlignHCenter);

    auto *footnote = new QLabel(u"The official installer opens in Terminal, because it asks for your password. This "
                                u"window updates automatically when it finishes."_s,
        this);
    footnote->setObjectName(u"installFootnote"_s);
    footnote->setFont(Fonts::font(Fonts::Style::footnote));
    footnote->setAlignment(Qt::AlignCenter);
    footnote->setWordWrap(true);
    footnote->setFixedWidth(420);
    layout->addLayout(centred(footnote));

    auto *checkAgain = new QPushButton(u"Check again"_s, this);
    checkAgain->setObjectName(u"checkAgainButton"_s);
    checkAgain->setFlat(true);
    checkAgain->setCursor(Qt::PointingHandCursor);
    checkAgain->setStyleSheet(
        u"QPushButton#checkAgainButton { border: none; color: %1; }"
        "QPushButton#checkAgainButton:hover { text-decoration: underline; }"_s.arg(Colors::blue().name()));
    connect(checkAgain, &QPushButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->refresh(), "Looking for Homebrew");
    });
    layout->addWidget(checkAgain, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    refreshColors();
}

void InstallHomebrewView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshColors();
}

void InstallHomebrewView::refreshColors()
{
    const QColor secondary = Colors::secondary(this);
    if (auto *symbol = findChild<QLabel *>(u"installSymbol"_s))
        symbol->setPixmap(Symbols::pixmap(u"shippingbox"_s, 56, secondary, devicePixelRatioF()));
    for (const QString &name : { u"installExplanation"_s, u"installFootnote"_s }) {
        if (auto *label = findChild<QLabel *>(name)) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, secondary);
            label->setPalette(palette);
        }
    }
}
