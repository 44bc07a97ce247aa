#pragma once

#include "setup/config/P10kOptions.h"

#include <QButtonGroup>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// Fine-tuning of the prompt that a run has just put in place: a preview and the five options
// of ~/.p10k.zsh. Edits go into the bound options; the wizard writes them when the user saves.
class P10kCustomizeView : public QWidget {
    Q_OBJECT

public:
    // `options` must outlive the view. `style`: the identifier of the prompt style in place.
    P10kCustomizeView(P10kOptions *options, const QString &style, QWidget *parent = nullptr);

    QLabel *introLabel() const { return m_intro; }
    QLabel *timePreview() const { return m_time; }
    QLabel *blankLinePreview() const { return m_blankLine; }
    QLabel *transientPreview() const { return m_transientNote; }
    QCheckBox *showTimeToggle() const { return m_showTime; }
    QComboBox *timeFormatPicker() const { return m_timeFormat; }
    QWidget *timeFormatRow() const { return m_timeFormatRow; }
    QCheckBox *blankLineToggle() const { return m_blankLineToggle; }
    QButtonGroup *transientChoices() { return &m_transient; }
    QButtonGroup *instantChoices() { return &m_instant; }
    QPushButton *configureButton() const { return m_configure; }

Q_SIGNALS:
    void edited();

private:
    QWidget *makePreview();
    void refresh();

    P10kOptions *m_options;
    QLabel *m_intro;
    QLabel *m_blankLine = nullptr;
    QLabel *m_time = nullptr;
    QLabel *m_transientNote = nullptr;
    QCheckBox *m_showTime;
    QWidget *m_timeFormatRow;
    QComboBox *m_timeFormat;
    QCheckBox *m_blankLineToggle;
    QButtonGroup m_transient;
    QButtonGroup m_instant;
    QPushButton *m_configure;
};
