#include "ui/main/CleanupSheet.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Text.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/PaletteFollower.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CleanupSheet::CleanupSheet(BrewStore *store, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
{
    setObjectName(u"cleanupSheet"_s);
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::Sheet);
    setWindowTitle(u"Clean Up"_s);
    resize(600, 440);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    auto *title = new QLabel(u"Clean up Homebrew"_s, this);
    title->setObjectName(u"cleanupTitle"_s);
    title->setFont(Fonts::font(Fonts::Style::title3, QFont::Bold));
    layout->addWidget(title);
    auto *intro = new QLabel(u"Removes old versions of installed packages, old downloads, and dependencies that "
                             "nothing installed needs any more."_s,
        this);
    intro->setWordWrap(true);
    PaletteFollower::secondaryText(intro);
    layout->addWidget(intro);

    m_looking = new QWidget(this);
    m_looking->setObjectName(u"cleanupLooking"_s);
    auto *looking = new QHBoxLayout(m_looking);
    looking->setContentsMargins(0, 0, 0, 0);
    looking->addWidget(new BusyIndicator(m_looking, 14));
    looking->addWidget(new QLabel(u"Asking Homebrew what can go…"_s, m_looking), 1);
    layout->addWidget(m_looking);

    m_result = new QWidget(this);
    auto *result = new QVBoxLayout(m_result);
    result->setContentsMargins(0, 0, 0, 0);
    result->setSpacing(8);
    m_total = new QLabel(m_result);
    m_total->setObjectName(u"cleanupTotalLabel"_s);
    m_total->setFont(Fonts::font(Fonts::Style::headline));
    m_total->setWordWrap(true);
    result->addWidget(m_total);
    m_removals = new QPlainTextEdit(m_result);
    m_removals->setTabChangesFocus(true);
    m_removals->setAccessibleName(u"What was removed"_s);
    m_removals->setObjectName(u"cleanupRemovals"_s);
    m_removals->setReadOnly(true);
    m_removals->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_removals->setLineWrapMode(QPlainTextEdit::NoWrap);
    result->addWidget(m_removals, 1);
    m_unneededTitle = new QLabel(u"Unneeded dependencies"_s, m_result);
    m_unneededTitle->setFont(Fonts::font(Fonts::Style::headline));
    result->addWidget(m_unneededTitle);
    m_unneeded = new QLabel(m_result);
    m_unneeded->setObjectName(u"cleanupUnneededLabel"_s);
    m_unneeded->setWordWrap(true);
    m_unneeded->setTextInteractionFlags(Qt::TextSelectableByMouse);
    result->addWidget(m_unneeded);
    m_result->hide();
    layout->addWidget(m_result, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(u"Cancel"_s, this);
    cancel->setObjectName(u"cancelCleanupButton"_s);
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    m_cleanUp = new QPushButton(u"Clean Up"_s, this);
    m_cleanUp->setObjectName(u"confirmCleanupButton"_s);
    m_cleanUp->setAutoDefault(false);
    m_cleanUp->setEnabled(false);
    connect(m_cleanUp, &QPushButton::clicked, this, &CleanupSheet::confirm);
    buttons->addWidget(m_cleanUp);
    layout->addLayout(buttons);

    loadPreview();
}

QCoro::Task<> CleanupSheet::loadPreview()
{
    QPointer<CleanupSheet> self(this);
    if (!m_store)
        co_return;
    InstalledFormats::CleanupPreview preview = co_await m_store->previewCleanup();
    if (!self)
        co_return;
    m_preview = preview;
    m_looking->hide();
    m_result->show();
    if (preview.removals.isEmpty())
        m_total->setText(u"No old versions or downloads to remove."_s);
    else if (preview.total.isEmpty())
        m_total->setText(Text::counted(preview.removals.size(), u"item"_s, u"items"_s) + u" to remove"_s);
    else
        m_total->setText(u"This would free approximately "_s + preview.total + u" ("_s
            + Text::counted(preview.removals.size(), u"item"_s, u"items"_s) + u")"_s);
    m_removals->setPlainText(preview.removals.join(u'\n'));
    m_removals->setVisible(!preview.removals.isEmpty());
    m_unneeded->setText(preview.unneeded.isEmpty() ? u"None"_s : preview.unneeded.join(u", "_s));
    m_cleanUp->setEnabled(!preview.isEmpty() && !m_store->isRunning());
}

void CleanupSheet::confirm()
{
    if (m_confirmed || !m_preview)
        return;
    m_confirmed = true;
    m_cleanUp->setEnabled(false);
    Q_EMIT confirmed(*m_preview);
    accept();
}

CleanupSheet *CleanupSheet::ask(BrewStore *store, QWidget *parent)
{
    if (!store || store->isRunning())
        return nullptr;
    auto *sheet = new CleanupSheet(store, parent ? parent->window() : nullptr);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<BrewStore> target(store);
    connect(sheet, &CleanupSheet::confirmed, sheet, [target](const InstalledFormats::CleanupPreview &preview) {
        if (target)
            Async::start(target->cleanUp(preview), "Cleaning up");
    });
    sheet->open();
    return sheet;
}
