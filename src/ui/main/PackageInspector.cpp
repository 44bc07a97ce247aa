#include "ui/main/PackageInspector.h"

#include "brew/BrewStore.h"
#include "ui/Symbols.h"
#include "ui/main/PackageDetailView.h"

#include <QHBoxLayout>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PackageInspector::PackageInspector(BrewStore *store, QSplitter *splitter, bool closable)
    : QWidget(splitter)
    , m_store(store)
    , m_splitter(splitter)
{
    setObjectName(u"inspector"_s);
    setMinimumWidth(260);
    setMaximumWidth(480);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (closable) {
        auto *header = new QHBoxLayout;
        header->setContentsMargins(8, 4, 8, 0);
        header->addStretch(1);
        auto *close = new QToolButton(this);
        close->setObjectName(u"inspectorClose"_s);
        close->setAutoRaise(true);
        close->setToolTip(u"Close"_s);
        close->setAccessibleName(u"Close"_s);
        close->setIcon(Symbols::icon(u"xmark"_s));
        connect(close, &QToolButton::clicked, this, &PackageInspector::closeRequested);
        header->addWidget(close);
        layout->addLayout(header);
    }
    hide();
}

void PackageInspector::present(const std::optional<Package> &package, bool open)
{
    if (m_detail && (!package || m_detail->package() != *package)) {
        // Out of the tree at once, so nothing finds the old one while it waits to be deleted.
        m_detail->hide();
        m_detail->setParent(nullptr);
        m_detail->deleteLater();
        m_detail = nullptr;
    }
    if (package && !m_detail) {
        m_detail = new PackageDetailView(m_store, *package, this);
        layout()->addWidget(m_detail);
    }
    const bool wasOpen = isVisibleTo(parentWidget());
    setVisible(open);
    if (open && !wasOpen) {
        const int total = m_splitter->width();
        m_splitter->setSizes({ std::max(0, total - 320), 320 });
    }
}
