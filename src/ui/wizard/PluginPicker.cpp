#include "ui/wizard/PluginPicker.h"

#include "setup/config/SetupConfig.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/WizardStyle.h"
#include "ui/wizard/SegmentedControl.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString trimmedOfSpacesAndTabs(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    while (end > start && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.mid(start, end - start);
}

QList<PluginPicker::Filter> allFilters()
{
    return { PluginPicker::Filter::all, PluginPicker::Filter::enabled, PluginPicker::Filter::available };
}

} // namespace

// The list's rows: the plugin name with its tick box, then the source and state badges.
class PluginPicker::Model : public QAbstractTableModel {
public:
    explicit Model(PluginPicker *picker)
        : QAbstractTableModel(picker)
        , m_picker(picker)
    {
    }

    void setRows(const QList<Row> &rows, bool installed)
    {
        beginResetModel();
        m_rows = rows;
        m_installed = installed;
        endResetModel();
    }

    const QList<Row> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 3; }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 0)
            flags |= Qt::ItemIsUserCheckable;
        return flags;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        const Row &row = m_rows.at(index.row());
        if (index.column() == 0) {
            if (role == Qt::DisplayRole)
                return row.name;
            if (role == Qt::CheckStateRole)
                return row.desired ? Qt::Checked : Qt::Unchecked;
            if (role == Qt::AccessibleDescriptionRole) {
                QStringList badges;
                for (const Badge &badge : { sourceBadge(row, m_installed), stateBadge(row) }) {
                    if (!badge.text.isEmpty())
                        badges.append(badge.text);
                }
                return badges.join(u", "_s);
            }
            return {};
        }
        const Badge badge = index.column() == 1 ? sourceBadge(row, m_installed) : stateBadge(row);
        switch (role) {
        case Qt::DisplayRole:
            return badge.text;
        case Qt::ForegroundRole:
            return badge.color.isValid() ? badge.color : Colors::secondary(m_picker);
        case Qt::FontRole:
            return Fonts::font(Fonts::Style::caption);
        case Qt::AccessibleTextRole:
            return badge.text;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (role != Qt::CheckStateRole || index.column() != 0
            || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return false;
        Row &row = m_rows[index.row()];
        row.desired = value.toInt() == Qt::Checked;
        Q_EMIT dataChanged(index, this->index(index.row(), 2));
        // The rows are recomputed (and may move) once the view has finished with this click.
        const QString name = row.name;
        const bool on = row.desired;
        QMetaObject::invokeMethod(
            m_picker, [picker = m_picker, name, on] { picker->setDesired(name, on); }, Qt::QueuedConnection);
        return true;
    }

private:
    PluginPicker *m_picker;
    QList<Row> m_rows;
    bool m_installed = false;
};

QString PluginPicker::title(Filter filter)
{
    switch (filter) {
    case Filter::all:
        return u"All"_s;
    case Filter::enabled:
        return u"Enabled"_s;
    case Filter::available:
        return u"Not enabled"_s;
    }
    return {};
}

const QStringList &PluginPicker::wellKnownPlugins()
{
    static const QStringList names
        = { u"git"_s, u"docker"_s, u"docker-compose"_s, u"kubectl"_s, u"helm"_s, u"terraform"_s, u"aws"_s, u"gcloud"_s,
              u"fzf"_s, u"z"_s, u"zsh-autosuggestions"_s, u"zsh-syntax-highlighting"_s, u"colored-man-pages"_s,
              u"colorize"_s, u"brew"_s, u"macos"_s, u"ssh-agent"_s, u"gh"_s, u"pip"_s, u"python"_s, u"node"_s, u"npm"_s,
              u"yarn"_s, u"golang"_s, u"rust"_s, u"vscode"_s, u"sudo"_s, u"history"_s, u"extract"_s, u"jsontools"_s };
    return names;
}

QList<PluginPicker::Row> PluginPicker::rows(
    const QStringList &plugins, const OhMyZshInfo &info, const QString &query, Filter filter)
{
    QStringList candidates;
    QSet<QString> seen;
    const auto collect = [&](const QStringList &names) {
        for (const QString &name : names) {
            if (!seen.contains(name)) {
                seen.insert(name);
                candidates.append(name);
            }
        }
    };
    collect(info.bundled);
    collect(info.custom);
    collect(info.enabled);
    collect(plugins);
    collect(SetupConfig::pluginSources().keys());
    if (!info.installed)
        collect(wellKnownPlugins());

    const QString needle = trimmedOfSpacesAndTabs(query).toLower();
    QList<Row> result;
    for (const QString &name : std::as_const(candidates)) {
        if (!needle.isEmpty() && !name.toLower().contains(needle))
            continue;
        Row row{ name, info.source(name), info.enabled.contains(name), plugins.contains(name) };
        const bool involved = row.live || row.desired;
        if ((filter == Filter::enabled && !involved) || (filter == Filter::available && involved))
            continue;
        result.append(row);
    }

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(result.begin(), result.end(), [&](const Row &a, const Row &b) {
        const bool aFirst = a.live || a.desired;
        const bool bFirst = b.live || b.desired;
        if (aFirst != bFirst)
            return aFirst;
        return collator.compare(a.name, b.name) < 0;
    });
    return result;
}

QString PluginPicker::summary(const QStringList &plugins, const OhMyZshInfo &info)
{
    QStringList parts;
    parts.append(QString::number(info.enabled.size()) + u" enabled in ~/.zshrc"_s);
    if (info.installed)
        parts.append(QString::number(info.bundled.size() + info.custom.size()) + u" available"_s);
    else
        parts.append(u"Oh My Zsh isn't installed yet — the full list appears after installation"_s);
    const auto toAdd = std::count_if(
        plugins.begin(), plugins.end(), [&](const QString &name) { return !info.enabled.contains(name); });
    if (toAdd > 0)
        parts.append(QString::number(toAdd) + u" to add"_s);
    const auto toRemove = std::count_if(
        info.enabled.begin(), info.enabled.end(), [&](const QString &name) { return !plugins.contains(name); });
    if (toRemove > 0)
        parts.append(QString::number(toRemove) + u" to remove"_s);
    return parts.join(u" · "_s);
}

PluginPicker::Badge PluginPicker::sourceBadge(const Row &row, bool ohMyZshInstalled)
{
    switch (row.source) {
    case OhMyZshInfo::Source::bundled:
        return { u"bundled"_s, QColor() };
    case OhMyZshInfo::Source::custom:
        return { u"custom"_s, QColor() };
    case OhMyZshInfo::Source::notInstalled:
        return { u"will be cloned"_s, Colors::blue() };
    case OhMyZshInfo::Source::notFound:
        // Before Oh My Zsh is installed nothing can be found yet, so nothing is flagged.
        return { ohMyZshInstalled ? u"not found"_s : QString(), Colors::red() };
    }
    return {};
}

PluginPicker::Badge PluginPicker::stateBadge(const Row &row)
{
    if (row.live && row.desired)
        return { u"in .zshrc"_s, Colors::green() };
    if (row.live)
        return { u"will be removed"_s, Colors::orange() };
    if (row.desired)
        return { u"will be added"_s, Colors::blue() };
    return {};
}

QStringList PluginPicker::toggled(const QStringList &plugins, const QString &name, bool on)
{
    QStringList result = plugins;
    if (on) {
        if (!result.contains(name))
            result.append(name);
    } else {
        result.removeAll(name);
    }
    return result;
}

QStringList PluginPicker::added(const QStringList &plugins, const QString &text)
{
    const QString name = trimmedOfSpacesAndTabs(text);
    if (name.isEmpty() || plugins.contains(name))
        return plugins;
    return plugins + QStringList{ name };
}

PluginPicker::PluginPicker(QStringList *plugins, const OhMyZshInfo &info, QWidget *parent)
    : QWidget(parent)
    , m_plugins(plugins)
    , m_info(info)
{
    setObjectName(u"pluginPicker"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    layout->addWidget(WizardStyle::label(u"Oh My Zsh plugins"_s, Fonts::Style::headline, this));
    m_summary = WizardStyle::secondaryLabel(QString(), Fonts::Style::callout, this);
    m_summary->setObjectName(u"pluginSummary"_s);
    layout->addWidget(m_summary);

    auto *controls = new QHBoxLayout;
    controls->setSpacing(8);
    m_search = new QLineEdit(this);
    m_search->setObjectName(u"pluginSearch"_s);
    m_search->setPlaceholderText(u"Search plugins"_s);
    m_search->setAccessibleName(u"Search plugins"_s);
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    controls->addWidget(m_search);
    QStringList filterTitles;
    for (const Filter filter : allFilters())
        filterTitles.append(title(filter));
    m_filter = new SegmentedControl(filterTitles, this);
    m_filter->setObjectName(u"pluginFilter"_s);
    m_filter->setCurrentIndex(0);
    controls->addWidget(m_filter);
    m_custom = new QLineEdit(this);
    m_custom->setObjectName(u"pluginCustomName"_s);
    m_custom->setPlaceholderText(u"Add by name"_s);
    m_custom->setAccessibleName(u"Plugin to add by name"_s);
    m_custom->installEventFilter(this);
    controls->addWidget(m_custom);
    m_add = new QPushButton(u"Add"_s, this);
    m_add->setObjectName(u"pluginAddButton"_s);
    m_add->setAutoDefault(false);
    controls->addWidget(m_add);
    controls->addStretch(1);
    layout->addLayout(controls);

    m_listArea = new QStackedWidget(this);
    m_model = new Model(this);
    m_list = new QTableView(m_listArea);
    m_list->setObjectName(u"pluginList"_s);
    m_list->setModel(m_model);
    m_list->setAccessibleName(u"Oh My Zsh plugins"_s);
    // One stop in the Tab order: the arrows move through the rows, Space ticks the current one.
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->setTabKeyNavigation(false);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->installEventFilter(this);
    m_list->setShowGrid(false);
    m_list->setAlternatingRowColors(true);
    m_list->horizontalHeader()->hide();
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_list->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    m_listArea->addWidget(m_list);
    m_noMatch = WizardStyle::secondaryLabel(u"No plugins match"_s, Fonts::Style::body, m_listArea);
    m_noMatch->setObjectName(u"pluginNoMatch"_s);
    m_noMatch->setAlignment(Qt::AlignCenter);
    m_listArea->addWidget(m_noMatch);
    layout->addWidget(m_listArea);

    connect(m_search, &QLineEdit::textChanged, this, &PluginPicker::recompute);
    connect(m_filter, &SegmentedControl::activated, this, [this](int index) {
        m_filterValue = allFilters().value(index, Filter::all);
        recompute();
    });
    connect(m_add, &QPushButton::clicked, this, &PluginPicker::addCustom);
    applyMetrics();
    recompute();
}

void PluginPicker::applyMetrics()
{
    // Sizes follow the font, so a larger text size never clips a row, a badge or a field.
    const QFontMetrics body(font());
    const QFontMetrics caption(Fonts::font(Fonts::Style::caption));
    const int rowHeight = std::max(body.height(), caption.height()) + 8;
    m_list->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_list->verticalHeader()->setMinimumSectionSize(rowHeight);
    int badgeWidth = 0;
    for (const QString &text : { u"will be removed"_s, u"will be cloned"_s, u"will be added"_s, u"in .zshrc"_s })
        badgeWidth = std::max(badgeWidth, caption.horizontalAdvance(text));
    m_list->horizontalHeader()->resizeSection(1, badgeWidth + 16);
    m_list->horizontalHeader()->resizeSection(2, badgeWidth + 16);
    m_listArea->setFixedHeight(rowHeight * 12 + 2 * m_list->frameWidth());
    m_search->setMinimumWidth(body.averageCharWidth() * 24);
    m_custom->setMinimumWidth(body.averageCharWidth() * 16);
}

void PluginPicker::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyMetrics();
}

void PluginPicker::setInfo(const OhMyZshInfo &info)
{
    m_info = info;
    recompute();
}

void PluginPicker::setDesired(const QString &name, bool on)
{
    *m_plugins = toggled(*m_plugins, name, on);
    recompute();
    Q_EMIT edited();
}

bool PluginPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Select) {
            const int row = m_list->currentIndex().row();
            if (row >= 0 && row < m_model->rows().size()) {
                const Row &current = m_model->rows().at(row);
                setDesired(current.name, !current.desired);
            }
            return true;
        }
    }
    // Return in the name field adds the name, and in the search field it has nothing to do:
    // neither may press the sheet's Next button.
    if ((watched == m_custom || watched == m_search) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_custom)
                addCustom();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PluginPicker::addCustom()
{
    const QStringList next = added(*m_plugins, m_custom->text());
    m_custom->clear();
    if (next == *m_plugins)
        return;
    *m_plugins = next;
    recompute();
    Q_EMIT edited();
}

void PluginPicker::recompute()
{
    // The rows are rebuilt and may move: the current plugin and the scroll position stay.
    const QModelIndex current = m_list->currentIndex();
    const QString currentName = current.isValid() && current.row() < m_model->rows().size()
        ? m_model->rows().at(current.row()).name
        : QString();
    const int scroll = m_list->verticalScrollBar()->value();
    const QList<Row> shown = rows(*m_plugins, m_info, m_search->text(), m_filterValue);
    m_model->setRows(shown, m_info.installed);
    m_list->verticalScrollBar()->setValue(scroll);
    for (int row = 0; row < shown.size() && !currentName.isEmpty(); ++row) {
        if (shown[row].name == currentName) {
            m_list->setCurrentIndex(m_model->index(row, 0));
            m_list->scrollTo(m_model->index(row, 0));
            break;
        }
    }
    m_listArea->setCurrentWidget(shown.isEmpty() ? static_cast<QWidget *>(m_noMatch) : m_list);
    m_summary->setText(summary(*m_plugins, m_info));
}
