#include "ui/wizard/ShellPage.h"

#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "ui/Fonts.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/KeyValueEditor.h"
#include "ui/wizard/PageFields.h"
#include "ui/wizard/PageScroll.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ShellPage::ShellPage(SetupConfig *config, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"shellPage"_s);
    QVBoxLayout *column = PageScroll::makeColumn(this);
    const auto emitEdited = [this] { Q_EMIT edited(); };

    KeyValueEditor *aliases = PageFields::addEditor(
        column, u"Aliases"_s, u"name"_s, u"command"_s, &config->aliases, u"aliasesEditor"_s, this, emitEdited);
    aliases->setProblem(Zshrc::aliasProblem);
    aliases->setItemNoun(u"alias"_s);
    KeyValueEditor *variables = PageFields::addEditor(column, u"Environment variables"_s, u"NAME"_s, u"value"_s,
        &config->environment, u"environmentEditor"_s, this, emitEdited);
    variables->setProblem(Zshrc::exportProblem);
    variables->setItemNoun(u"variable"_s);

    QWidget *extras = PageFields::section(u"Extra lines for ~/.zshrc"_s, 6, this);
    auto *extrasLayout = static_cast<QVBoxLayout *>(extras->layout());
    auto *extrasEditor = new QPlainTextEdit(extras);
    extrasEditor->setAccessibleName(u"Extra lines for ~/.zshrc"_s);
    extrasEditor->setObjectName(u"extrasEditor"_s);
    extrasEditor->setFont(Fonts::monospaced(Fonts::Style::body));
    // Five lines of the editor's own font.
    extrasEditor->setFixedHeight(extrasEditor->fontMetrics().lineSpacing() * 5 + 16);
    extrasEditor->setLineWrapMode(QPlainTextEdit::NoWrap);
    extrasEditor->setTabChangesFocus(true);
    extrasEditor->setPlainText(config->zshrcExtras);
    extrasLayout->addWidget(extrasEditor);
    extrasLayout->addWidget(WizardStyle::secondaryLabel(
        u"One line each, e.g. export PATH=\"$HOME/bin:$PATH\""_s, Fonts::Style::caption, extras));
    column->addWidget(extras);

    auto *backup = new QWidget(this);
    auto *backupLayout = new QVBoxLayout(backup);
    backupLayout->setContentsMargins(0, 0, 0, 0);
    backupLayout->setSpacing(4);
    backupLayout->addWidget(PageFields::toggle(
        u"Back up ~/.zshrc before changing it"_s, &config->backupDotfiles, u"backupToggle"_s, backup, emitEdited));
    backupLayout->addWidget(WizardStyle::secondaryLabel(u"Everything is written into marked blocks in ~/.zshrc, so "
                                                        u"re-running updates them instead of duplicating."_s,
        Fonts::Style::callout, backup));
    column->addWidget(backup);

    connect(extrasEditor, &QPlainTextEdit::textChanged, this, [config, extrasEditor, emitEdited] {
        config->zshrcExtras = extrasEditor->toPlainText();
        emitEdited();
    });
}
