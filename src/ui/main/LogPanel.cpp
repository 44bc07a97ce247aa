#include "ui/main/LogPanel.h"

#include "brew/BrewStore.h"
#include "ui/BusyIndicator.h"
#include "ui/Fonts.h"
#include "ui/LiveLogView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

LogPanel::LogPanel(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_spinner(new BusyIndicator(this, 12))
    , m_title(new QLabel(this))
    , m_clear(new QPushButton(u"Clear"_s, this))
    , m_text(new LiveLogView(this))
{
    setObjectName(u"logPanel"_s);
    setFixedHeight(190);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 6, 12, 6);
    header->setSpacing(8);
    m_spinner->setObjectName(u"logSpinner"_s);
    m_title->setObjectName(u"logTitle"_s);
    m_title->setFont(Fonts::font(Fonts::Style::headline));
    m_clear->setObjectName(u"logClear"_s);
    header->addWidget(m_spinner);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_clear);
    layout->addLayout(header);

    m_text->setObjectName(u"logText"_s);
    m_text->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setStyleSheet(u"QPlainTextEdit#logText { padding-left: 8px; padding-right: 8px; }"_s);
    m_text->document()->setDocumentMargin(4);
    m_text->setContextMenuPolicy(Qt::DefaultContextMenu);
    layout->addWidget(m_text, 1);

    connect(m_clear, &QPushButton::clicked, this, [this] {
        if (m_store && !m_store->isRunning())
            m_store->clearLog();
    });

    if (m_store) {
        connect(m_store, &BrewStore::isRunningChanged, this, &LogPanel::refreshHeader);
        connect(m_store, &BrewStore::taskTitleChanged, this, &LogPanel::refreshHeader);
    }
    m_text->setSource(m_store.data());
    refreshHeader();
}

void LogPanel::refreshHeader()
{
    const bool running = m_store && m_store->isRunning();
    m_spinner->setVisible(running);
    m_title->setText(running ? m_store->taskTitle().value_or(u"Working…"_s) : u"Output"_s);
    m_clear->setEnabled(!running);
}
