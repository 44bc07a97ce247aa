#include "ui/main/UninstallSheet.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Text.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/main/PackageTableModel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// "a", "a and b", "a, b and c": how Homebrew itself lists names.
QString englishList(const QStringList &names)
{
    if (names.size() <= 1)
        return names.join(QString());
    return names.first(names.size() - 1).join(u", "_s) + u" and "_s + names.last();
}

QLabel *wrapped(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

UninstallSheet::UninstallSheet(BrewStore *store, QList<InstalledPackage> packages, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_packages(std::move(packages))
{
    setObjectName(u"uninstallSheet"_s);
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::Sheet);
    setWindowTitle(u"Uninstall"_s);
    setMinimumWidth(520);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    const qsizetype n = m_packages.size();
    auto *title = new QLabel(u"Uninstall "_s + Text::counted(n, u"package"_s, u"packages"_s) + u"?"_s, this);
    title->setObjectName(u"uninstallTitle"_s);
    title->setFont(Fonts::font(Fonts::Style::title3, QFont::Bold));
    layout->addWidget(title);

    // Every package by name, so nothing goes that the user did not see.
    QStringList lines;
    for (const InstalledPackage &package : m_packages)
        lines.append(u"• "_s + package.name + u"  ("_s + PackageTableModel::kindText(package.kind) + u' '
            + package.version + u')');
    auto *list = wrapped(lines.join(u'\n'), u"uninstallPackageList"_s, this);
    list->setFont(Fonts::font(Fonts::Style::body, QFont::Medium));
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMaximumHeight(160);
    layout->addWidget(scroll);

    QStringList pinned;
    for (const InstalledPackage &package : m_packages)
        if (package.pinned)
            pinned.append(package.name);
    if (!pinned.isEmpty()) {
        auto *note = wrapped(englishList(pinned) + (pinned.size() == 1 ? u" is"_s : u" are"_s)
                + u" pinned. Homebrew skips pinned packages: unpin "_s + (pinned.size() == 1 ? u"it"_s : u"them"_s)
                + u" first."_s,
            u"uninstallPinnedNote"_s, this);
        Colors::setTextColor(note, Colors::red());
        layout->addWidget(note);
    }

    m_checking = new QWidget(this);
    m_checking->setObjectName(u"uninstallChecking"_s);
    auto *checking = new QHBoxLayout(m_checking);
    checking->setContentsMargins(0, 0, 0, 0);
    checking->addWidget(new BusyIndicator(m_checking, 12));
    auto *checkingText = new QLabel(u"Looking for installed packages that need them…"_s, m_checking);
    checkingText->setFont(Fonts::font(Fonts::Style::caption));
    checking->addWidget(checkingText, 1);
    layout->addWidget(m_checking);
    m_dependents = wrapped(QString(), u"uninstallDependents"_s, this);
    Colors::setTextColor(m_dependents, Colors::orange());
    m_dependents->hide();
    layout->addWidget(m_dependents);

    const bool anyCask = std::any_of(m_packages.cbegin(), m_packages.cend(),
        [](const InstalledPackage &package) { return package.kind == PackageKind::cask; });
    m_zap = new QCheckBox(u"Also remove app data (zap)"_s, this);
    m_zap->setObjectName(u"zapToggle"_s);
    m_zap->setChecked(false);
    m_zap->setVisible(anyCask);
    layout->addWidget(m_zap);
    m_zapWarning = wrapped(u"Zap also deletes the settings, caches and support files the app keeps in your Library "
                           "folder (such as Application Support, Caches and Preferences). They cannot be restored."_s,
        u"zapWarning"_s, this);
    m_zapWarning->setFont(Fonts::font(Fonts::Style::caption));
    m_zapWarning->setVisible(anyCask);
    layout->addWidget(m_zapWarning);
    connect(m_zap, &QCheckBox::toggled, this, &UninstallSheet::refreshZapWarning);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(u"Cancel"_s, this);
    cancel->setObjectName(u"cancelUninstallButton"_s);
    // Return must never remove anything.
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    m_uninstall = new QPushButton(u"Uninstall"_s, this);
    m_uninstall->setObjectName(u"confirmUninstallButton"_s);
    m_uninstall->setAutoDefault(false);
    m_uninstall->setEnabled(pinned.isEmpty() && !m_packages.isEmpty());
    connect(m_uninstall, &QPushButton::clicked, this, &UninstallSheet::confirm);
    buttons->addWidget(m_uninstall);
    layout->addLayout(buttons);

    refreshZapWarning();
    checkDependents();
}

void UninstallSheet::refreshZapWarning()
{
    Colors::setTextColor(m_zapWarning, m_zap->isChecked() ? Colors::red() : Colors::secondary(this));
}

QCoro::Task<> UninstallSheet::checkDependents()
{
    QPointer<UninstallSheet> self(this);
    QSet<QString> leaving;
    for (const InstalledPackage &package : m_packages)
        leaving.insert(package.name);
    QStringList warnings;
    for (const InstalledPackage &package : m_packages) {
        if (package.kind != PackageKind::formula || !m_store)
            continue;
        const std::optional<QStringList> found = co_await m_store->installedDependents(package.name);
        if (!self)
            co_return;
        if (!found)
            continue;
        // Dependents that go in the same run do not hold it back.
        QStringList staying;
        for (const QString &name : *found)
            if (!leaving.contains(name.section(u'/', -1)))
                staying.append(name);
        if (!staying.isEmpty())
            warnings.append(package.name + u" is needed by "_s + englishList(staying)
                + (staying.size() == 1 ? u", which is installed."_s : u", which are installed."_s)
                + u" Homebrew will refuse to uninstall it while "_s + (staying.size() == 1 ? u"it is"_s : u"they are"_s)
                + u" there."_s);
    }
    m_checking->hide();
    m_dependents->setText(warnings.join(u"\n\n"_s));
    m_dependents->setVisible(!warnings.isEmpty());
}

void UninstallSheet::confirm()
{
    // One run per sheet, however often the button is hit before it closes.
    if (m_confirmed)
        return;
    m_confirmed = true;
    m_uninstall->setEnabled(false);
    Q_EMIT confirmed(m_packages, !m_zap->isHidden() && m_zap->isChecked());
    accept();
}

UninstallSheet *UninstallSheet::ask(BrewStore *store, const QList<InstalledPackage> &packages, QWidget *parent)
{
    if (!store || packages.isEmpty() || store->isRunning())
        return nullptr;
    auto *sheet = new UninstallSheet(store, packages, parent ? parent->window() : nullptr);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<BrewStore> target(store);
    connect(sheet, &UninstallSheet::confirmed, sheet, [target](const QList<InstalledPackage> &chosen, bool zap) {
        if (target)
            Async::start(target->uninstall(chosen, zap), "Uninstalling packages");
    });
    sheet->open();
    return sheet;
}
