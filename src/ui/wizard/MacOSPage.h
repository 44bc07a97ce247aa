#pragma once

#include <QWidget>

struct SetupConfig;
class QCheckBox;
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

    QCheckBox *autohideToggle() const { return m_autohide; }
    QSpinBox *autohideDelayStepper() const { return m_autohideDelay; }
    QSlider *tileSizeSlider() const { return m_tileSize; }
    QLabel *tileSizeLabel() const { return m_tileSizeLabel; }
    QCheckBox *magnificationToggle() const { return m_magnification; }
    QCheckBox *minimizeToAppToggle() const { return m_minimizeToApp; }
    QCheckBox *showRecentsToggle() const { return m_showRecents; }
    QCheckBox *showHiddenFilesToggle() const { return m_showHiddenFiles; }
    QCheckBox *showExtensionsToggle() const { return m_showExtensions; }
    QCheckBox *showPathBarToggle() const { return m_showPathBar; }
    QCheckBox *showStatusBarToggle() const { return m_showStatusBar; }
    QComboBox *viewStylePicker() const { return m_viewStyle; }
    QSpinBox *keyRepeatStepper() const { return m_keyRepeat; }
    QSpinBox *initialKeyRepeatStepper() const { return m_initialKeyRepeat; }
    QCheckBox *smartQuotesToggle() const { return m_smartQuotes; }
    QCheckBox *smartDashesToggle() const { return m_smartDashes; }

Q_SIGNALS:
    void edited();

private:
    QCheckBox *toggle(const QString &text, bool value, bool *field, const QString &name, QWidget *parent);
    QSpinBox *stepper(const QString &prefix, const QString &suffix, int minimum, int maximum, int *field,
        const QString &name, QWidget *parent);
    void showTileSize(int size);

    SetupConfig *m_config;
    QCheckBox *m_autohide;
    QSpinBox *m_autohideDelay;
    QSlider *m_tileSize;
    QLabel *m_tileSizeLabel;
    QCheckBox *m_magnification;
    QCheckBox *m_minimizeToApp;
    QCheckBox *m_showRecents;
    QCheckBox *m_showHiddenFiles;
    QCheckBox *m_showExtensions;
    QCheckBox *m_showPathBar;
    QCheckBox *m_showStatusBar;
    QComboBox *m_viewStyle;
    QSpinBox *m_keyRepeat;
    QSpinBox *m_initialKeyRepeat;
    QCheckBox *m_smartQuotes;
    QCheckBox *m_smartDashes;
    bool m_snapping = false;
};
