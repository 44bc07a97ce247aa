#pragma once

#include <QPointer>
#include <QWidget>

class BrewStore;

// The whole window while Homebrew is missing: why it is needed, a button that starts the
// official installer in Terminal and a way to look again.
class InstallHomebrewView : public QWidget {
    Q_OBJECT

public:
    explicit InstallHomebrewView(BrewStore *store, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void refreshColors();

    QPointer<BrewStore> m_store;
};
