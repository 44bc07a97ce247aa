#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

// A line of text with a leading symbol, both in one colour ("checkmark.circle.fill" and a
// message in green). The text label is reachable as textLabel() for word wrap and selection.
class SymbolLabel : public QWidget {
    Q_OBJECT

public:
    explicit SymbolLabel(QWidget *parent = nullptr);
    SymbolLabel(const QString &symbol, const QString &text, QWidget *parent = nullptr);

    void setSymbol(const QString &symbol);
    QString symbol() const { return m_symbol; }
    void setText(const QString &text);
    QString text() const;
    // An invalid colour uses the palette's text colour.
    void setColor(const QColor &color);
    QColor color() const { return m_color; }
    // Font of both parts: the symbol is drawn at the text's height.
    void setTextFont(const QFont &font);
    void setSpacing(int spacing);
    void setSelectable(bool selectable);

    QLabel *textLabel() const { return m_text; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void refresh();

    QLabel *m_icon;
    QLabel *m_text;
    QString m_symbol;
    QColor m_color;
};
