#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The centred panel a screen shows when it has nothing to list: a large symbol, a title, an
// optional description and an optional button ("Could not load catalog" … "Retry").
class EmptyStateView : public QWidget {
    Q_OBJECT

public:
    EmptyStateView(const QString &symbol, const QString &title, QWidget *parent = nullptr);

    void setSymbol(const QString &symbol);
    void setTitle(const QString &title);
    void setDescription(const QString &description);
    // Shows a button with this text; an empty text hides it. Its clicks arrive as actionTriggered().
    void setActionText(const QString &text);

    QString title() const;
    QString description() const;
    QPushButton *actionButton() const { return m_action; }

Q_SIGNALS:
    void actionTriggered();

protected:
    void changeEvent(QEvent *event) override;

private:
    void refreshSymbol();

    QString m_symbol;
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_description;
    QPushButton *m_action;
};
