#pragma once

#include "setup/config/SetupConfig.h"
#include "setup/engine/OhMyZshInfo.h"
#include "setup/engine/P10kInfo.h"
#include "setup/engine/SetupComponent.h"

#include <QButtonGroup>
#include <QList>
#include <QSet>
#include <QWidget>

class PluginPicker;

// The wizard page for Oh My Zsh and Powerlevel10k: the plugin picker when Oh My Zsh is chosen,
// then the prompt style when Powerlevel10k is.
class TerminalPage : public QWidget {
    Q_OBJECT

public:
    // The title of a prompt style, or its identifier when it is not one we offer.
    static QString styleTitle(const QString &identifier);
    // The line about an existing ~/.p10k.zsh; empty when there is none.
    static QString promptStatus(const P10kInfo &p10k);
    // The choices of the prompt style group. With a ~/.p10k.zsh of the user's own, keeping it
    // comes first and the presets are offered as replacements.
    static QList<SetupConfig::P10kStyle> styleChoices(bool configExists);

    // `config` must outlive the page.
    TerminalPage(SetupConfig *config, const QSet<SetupComponent> &selected, const OhMyZshInfo &omz,
        const P10kInfo &p10k, QWidget *parent = nullptr);

    // Late detection results, shown in place: the plugin list keeps its search, current row and
    // scroll position; the prompt section is rebuilt only when what it offers changed.
    void setDetections(const OhMyZshInfo &omz, const P10kInfo &p10k);

Q_SIGNALS:
    void edited();

private:
    QWidget *makeStyleSection(const P10kInfo &p10k);

    SetupConfig *m_config;
    P10kInfo m_p10k;
    PluginPicker *m_picker = nullptr;
    QWidget *m_styleSection = nullptr;
    QButtonGroup m_styles;
    QList<SetupConfig::P10kStyle> m_choices;
};
