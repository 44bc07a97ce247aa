#pragma once

#include "setup/engine/OhMyZshInfo.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class SegmentedControl;

// Chooses the Oh My Zsh plugins of the draft configuration: every plugin Oh My Zsh ships, the
// user's own, the ones ~/.zshrc enables now and the ones we can clone, with what will change.
class PluginPicker : public QWidget {
    Q_OBJECT

public:
    enum class Filter { all, enabled, available };

    // One line of the list.
    struct Row {
        QString name;
        OhMyZshInfo::Source source = OhMyZshInfo::Source::notFound;
        bool live = false; // enabled in ~/.zshrc now
        bool desired = false; // in the configuration's plugin list

        bool operator==(const Row &) const = default;
    };

    // A small coloured tag beside a row; an empty text shows nothing.
    struct Badge {
        QString text;
        QColor color; // invalid: the secondary colour

        bool operator==(const Badge &) const = default;
    };

    static QString title(Filter filter);
    // Offered while Oh My Zsh is not installed, so there is something to choose from.
    static const QStringList &wellKnownPlugins();

    // The rows shown for a search text and filter: changing and enabled plugins first, then the
    // others, each group by name ignoring case.
    static QList<Row> rows(const QStringList &plugins, const OhMyZshInfo &info, const QString &query, Filter filter);
    static QString summary(const QStringList &plugins, const OhMyZshInfo &info);
    static Badge sourceBadge(const Row &row, bool ohMyZshInstalled);
    static Badge stateBadge(const Row &row);
    // On appends the name unless it is there; off removes every occurrence.
    static QStringList toggled(const QStringList &plugins, const QString &name, bool on);
    // The text as the "Add by name" field adds it: trimmed, appended once.
    static QStringList added(const QStringList &plugins, const QString &text);

    // `plugins` must outlive the picker; every change goes straight into it.
    PluginPicker(QStringList *plugins, const OhMyZshInfo &info, QWidget *parent = nullptr);

    // What a click on a row's tick box does.
    void setDesired(const QString &name, bool on);
    // A later look at Oh My Zsh; the search, the current row and the scroll position stay.
    void setInfo(const OhMyZshInfo &info);

Q_SIGNALS:
    void edited();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyMetrics();
    void addCustom();
    void recompute();

    QStringList *m_plugins;
    OhMyZshInfo m_info;
    Filter m_filterValue = Filter::all;
    QLabel *m_summary;
    QLineEdit *m_search;
    SegmentedControl *m_filter;
    QLineEdit *m_custom;
    QPushButton *m_add;
    QStackedWidget *m_listArea;
    QTableView *m_list;
    QLabel *m_noMatch;
    class Model;
    Model *m_model;
};
