#include "ui/EmptyStateView.h"

#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

EmptyStateView::EmptyStateView(const QString &symbol, const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(title, this))
    , m_description(new QLabel(this))
    , m_action(new QPushButton(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(10);
    layout->addStretch();
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    // Wrapped labels take their width from the layout, not from an alignment: an aligned label
    // is laid out at its narrow size hint and its second line is cut off.
    layout->addWidget(m_title);
    auto *descriptionRow = new QHBoxLayout;
    descriptionRow->addStretch(1);
    descriptionRow->addWidget(m_description, 100);
    descriptionRow->addStretch(1);
    layout->addLayout(descriptionRow);
    layout->addWidget(m_action, 0, Qt::AlignHCenter);
    layout->addStretch();

    m_icon->setObjectName(u"emptyStateSymbol"_s);
    m_title->setObjectName(u"emptyStateTitle"_s);
    m_title->setFont(Fonts::font(Fonts::Style::title2, QFont::Bold));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_description->setObjectName(u"emptyStateDescription"_s);
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setWordWrap(true);
    m_description->setMaximumWidth(420);
    m_description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_description->hide();
    m_action->setObjectName(u"emptyStateAction"_s);
    m_action->hide();
    connect(m_action, &QPushButton::clicked, this, &EmptyStateView::actionTriggered);
    refreshSymbol();
}

void EmptyStateView::setSymbol(const QString &symbol)
{
    m_symbol = symbol;
    refreshSymbol();
}

void EmptyStateView::setTitle(const QString &title)
{
    m_title->setText(title);
}

void EmptyStateView::setDescription(const QString &description)
{
    m_description->setText(description);
    m_description->setVisible(!description.isEmpty());
}

void EmptyStateView::setActionText(const QString &text)
{
    m_action->setText(text);
    m_action->setVisible(!text.isEmpty());
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::description() const
{
    return m_description->text();
}

void EmptyStateView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshSymbol();
}

void EmptyStateView::refreshSymbol()
{
    const QColor secondary = Colors::secondary(this);
    m_icon->setPixmap(Symbols::pixmap(m_symbol, 44, secondary, devicePixelRatioF()));
    QPalette descriptionPalette = m_description->palette();
    descriptionPalette.setColor(QPalette::WindowText, secondary);
    m_description->setPalette(descriptionPalette);
}
