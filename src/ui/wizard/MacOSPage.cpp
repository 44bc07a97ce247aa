#include "ui/wizard/MacOSPage.h"

#include "setup/config/SetupConfig.h"
#include "ui/wizard/PageFields.h"
#include "ui/wizard/PageScroll.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int tileMinimum = 16;
constexpr int tileMaximum = 128;
constexpr int tileStep = 4;

QGroupBox *section(const QString &title, const QString &name, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto *layout = new QVBoxLayout(box);
    layout->setSpacing(8);
    return box;
}

} // namespace

int MacOSPage::snappedTileSize(double value)
{
    const double steps = std::round((value - tileMinimum) / tileStep);
    return std::clamp(tileMinimum + int(steps) * tileStep, tileMinimum, tileMaximum);
}

MacOSPage::MacOSPage(SetupConfig *config, QWidget *parent)
    : QWidget(parent)
    , m_config(config)
{
    setObjectName(u"macOSPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    const auto emitEdited = [this] { Q_EMIT edited(); };

    QGroupBox *dock = section(u"Dock"_s, u"dockSection"_s, this);
    auto *dockLayout = static_cast<QVBoxLayout *>(dock->layout());
    dockLayout->addWidget(PageFields::toggle(
        u"Automatically hide the Dock"_s, &m_config->dock.autohide, u"autohide"_s, dock, emitEdited));
    dockLayout->addWidget(
        stepper(u"Hide delay: "_s, u" s"_s, 0, 5, &m_config->dock.autohideDelay, u"autohideDelay"_s, dock), 0,
        Qt::AlignLeft);

    auto *tileRow = new QHBoxLayout;
    tileRow->setSpacing(10);
    m_tileSizeLabel = new QLabel(dock);
    m_tileSizeLabel->setObjectName(u"tileSizeLabel"_s);
    m_tileSize = new QSlider(Qt::Horizontal, dock);
    m_tileSize->setObjectName(u"tileSize"_s);
    m_tileSize->setFixedWidth(220);
    m_tileSize->setRange(tileMinimum, tileMaximum);
    m_tileSize->setSingleStep(tileStep);
    m_tileSize->setPageStep(tileStep * 4);
    // A hand-edited size off the grid (50) shows as it is until the slider is moved.
    m_tileSize->setValue(std::clamp(m_config->dock.tileSize, tileMinimum, tileMaximum));
    showTileSize(m_config->dock.tileSize);
    tileRow->addWidget(m_tileSizeLabel);
    tileRow->addWidget(m_tileSize);
    tileRow->addStretch(1);
    dockLayout->addLayout(tileRow);

    dockLayout->addWidget(
        PageFields::toggle(u"Magnification"_s, &m_config->dock.magnification, u"magnification"_s, dock, emitEdited));
    dockLayout->addWidget(PageFields::toggle(
        u"Minimize windows into the app icon"_s, &m_config->dock.minimizeToApp, u"minimizeToApp"_s, dock, emitEdited));
    dockLayout->addWidget(PageFields::toggle(
        u"Show recent applications"_s, &m_config->dock.showRecents, u"showRecents"_s, dock, emitEdited));
    column->addWidget(dock);

    QGroupBox *finder = section(u"Finder"_s, u"finderSection"_s, this);
    auto *finderLayout = static_cast<QVBoxLayout *>(finder->layout());
    finderLayout->addWidget(PageFields::toggle(
        u"Show hidden files"_s, &m_config->finder.showHiddenFiles, u"showHiddenFiles"_s, finder, emitEdited));
    finderLayout->addWidget(PageFields::toggle(
        u"Show all file extensions"_s, &m_config->finder.showExtensions, u"showExtensions"_s, finder, emitEdited));
    finderLayout->addWidget(
        PageFields::toggle(u"Show path bar"_s, &m_config->finder.showPathBar, u"showPathBar"_s, finder, emitEdited));
    finderLayout->addWidget(PageFields::toggle(
        u"Show status bar"_s, &m_config->finder.showStatusBar, u"showStatusBar"_s, finder, emitEdited));

    auto *viewRow = new QHBoxLayout;
    viewRow->setSpacing(10);
    viewRow->addWidget(new QLabel(u"Default view"_s, finder));
    m_viewStyle = new QComboBox(finder);
    m_viewStyle->setObjectName(u"viewStyle"_s);
    for (const SetupConfig::ViewStyle &style : SetupConfig::viewStyles())
        m_viewStyle->addItem(style.title, style.value);
    m_viewStyle->setCurrentIndex(m_viewStyle->findData(m_config->finder.viewStyle));
    viewRow->addWidget(m_viewStyle);
    viewRow->addStretch(1);
    finderLayout->addLayout(viewRow);
    column->addWidget(finder);

    QGroupBox *keyboard = section(u"Keyboard"_s, u"keyboardSection"_s, this);
    auto *keyboardLayout = static_cast<QVBoxLayout *>(keyboard->layout());
    keyboardLayout->addWidget(stepper(u"Key repeat rate: "_s, u" (lower is faster)"_s, 1, 120,
                                  &m_config->keyboard.keyRepeat, u"keyRepeat"_s, keyboard),
        0, Qt::AlignLeft);
    keyboardLayout->addWidget(stepper(u"Delay until repeat: "_s, u" (lower is shorter)"_s, 10, 120,
                                  &m_config->keyboard.initialKeyRepeat, u"initialKeyRepeat"_s, keyboard),
        0, Qt::AlignLeft);
    keyboardLayout->addWidget(PageFields::toggle(u"Disable smart quotes"_s, &m_config->keyboard.disableSmartQuotes,
        u"disableSmartQuotes"_s, keyboard, emitEdited));
    keyboardLayout->addWidget(PageFields::toggle(u"Disable smart dashes"_s, &m_config->keyboard.disableSmartDashes,
        u"disableSmartDashes"_s, keyboard, emitEdited));
    column->addWidget(keyboard);

    connect(m_tileSize, &QSlider::valueChanged, this, [this](int value) {
        if (m_snapping)
            return;
        const int snapped = snappedTileSize(value);
        if (snapped != value) {
            m_snapping = true;
            m_tileSize->setValue(snapped);
            m_snapping = false;
        }
        m_config->dock.tileSize = snapped;
        showTileSize(snapped);
        Q_EMIT edited();
    });
    connect(m_viewStyle, &QComboBox::activated, this, [this](int index) {
        m_config->finder.viewStyle = m_viewStyle->itemData(index).toString();
        Q_EMIT edited();
    });
}

QSpinBox *MacOSPage::stepper(const QString &prefix, const QString &suffix, int minimum, int maximum, int *field,
    const QString &name, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setPrefix(prefix);
    box->setSuffix(suffix);
    box->setRange(minimum, maximum);
    box->setSingleStep(1);
    // A stored value outside the range is shown clamped but kept until the user changes it.
    box->setValue(*field);
    connect(box, &QSpinBox::valueChanged, this, [this, field](int value) {
        *field = value;
        Q_EMIT edited();
    });
    return box;
}

void MacOSPage::showTileSize(int size)
{
    m_tileSizeLabel->setText(u"Icon size: "_s + QString::number(size));
}
