#pragma once

#include <QLabel>
#include <QUrl>

// One line with a link whose text is shortened in the middle when it does not fit (the start
// and end of an address tell most), with the whole text as tooltip and accessible name.
// Opening the link is left to the linkActivated signal.
class ElidedLinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLinkLabel(QWidget *parent = nullptr);

    void setLink(const QUrl &url, const QString &text);
    QString fullText() const { return m_text; }
    // The text as it is shown at the current width.
    QString shownText() const { return m_shown; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void render();

    QUrl m_url;
    QString m_text;
    QString m_shown;
};
