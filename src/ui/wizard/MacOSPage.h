#pragma once

#include <QWidget>

struct SetupConfig;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

// The wizard page for the Dock, Finder and keyboard preferences.
class MacOSPage : public QWidget {
    Q_OBJECT

public:
    // The icon size the slider lands on: 16 to 128 in steps of 4.
    static int snappedTileSize(double value);

    // `config` must outlive the page.
    explicit MacOSPage(SetupConfig *config, QWidget *parent = nullptr);

Q_SIGNALS:
    void edited();

private:
    QSpinBox *stepper(const QString &prefix, const QString &suffix, int minimum, int maximum, int *field,
        const QString &name, QWidget *parent);
    void showTileSize(int size);

    SetupConfig *m_config;
    QSlider *m_tileSize;
    QLabel *m_tileSizeLabel;
    QComboBox *m_viewStyle;
    bool m_snapping = false;
};
