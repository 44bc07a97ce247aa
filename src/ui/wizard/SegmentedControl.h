#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QPushButton;

// A row of joined toggle buttons of which at most one is on. None is on when the bound value
// matches none of the segments (a value typed into the configuration by hand).
class SegmentedControl : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList &titles, QWidget *parent = nullptr);

    // -1: no segment on.
    int currentIndex() const;
    void setCurrentIndex(int index);

Q_SIGNALS:
    // The user chose a segment.
    void activated(int index);

private:
    QButtonGroup *m_group;
    QList<QPushButton *> m_buttons;
};
