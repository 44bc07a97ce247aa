#pragma once

#include "setup/config/P10kOptions.h"

#include <QButtonGroup>
#include <QWidget>

class QComboBox;
class QLabel;
class QWidget;

// Fine-tuning of the prompt that a run has just put in place: a preview and the five options
// of ~/.p10k.zsh. Edits go into the bound options; the wizard writes them when the user saves.
class P10kCustomizeView : public QWidget {
    Q_OBJECT

public:
    // `options` must outlive the view. `style`: the identifier of the prompt style in place.
    P10kCustomizeView(P10kOptions *options, const QString &style, QWidget *parent = nullptr);

Q_SIGNALS:
    void edited();

private:
    QWidget *makePreview();
    void refresh();

    P10kOptions *m_options;
    QLabel *m_blankLine = nullptr;
    QLabel *m_time = nullptr;
    QLabel *m_transientNote = nullptr;
    QWidget *m_timeFormatRow;
    QComboBox *m_timeFormat;
    QButtonGroup m_transient;
    QButtonGroup m_instant;
};
