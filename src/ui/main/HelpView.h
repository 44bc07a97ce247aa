#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class EmptyStateView;
class QListWidget;
class QScrollArea;
class QStackedWidget;

// The help window: a fixed table of topics in a sidebar and the chosen topic's page.
class HelpView : public QWidget {
    Q_OBJECT

public:
    struct Section {
        QString heading;
        QString body;
        bool operator==(const Section &) const = default;
    };

    struct Topic {
        QString id;
        QString title;
        QString icon; // symbol name
        QList<Section> sections;
        bool operator==(const Topic &) const = default;
    };

    // The topics in display order. The "Packages" page names the catalog host of the current
    // platform.
    static QList<Topic> topics();

    explicit HelpView(QWidget *parent = nullptr);

    std::optional<Topic> selection() const { return m_selection; }
    void setSelection(const std::optional<Topic> &topic);

Q_SIGNALS:
    void selectionChanged();

private:
    void showSelection();
    void syncList();

    QList<Topic> m_topics;
    std::optional<Topic> m_selection;
    QListWidget *m_list;
    QStackedWidget *m_detail;
    QScrollArea *m_page;
    EmptyStateView *m_empty;
};
