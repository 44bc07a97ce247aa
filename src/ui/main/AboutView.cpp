#include "ui/main/AboutView.h"

#include "platform/Platform.h"
#include "ui/Fonts.h"
#include "ui/PaletteFollower.h"
#include "ui/ProjectLinks.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QFrame *divider(QWidget *parent, int width)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    if (width > 0)
        line->setFixedWidth(width);
    return line;
}

QLabel *centred(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A link that goes through the platform, so the default browser or mail client opens it (and
// tests can see where it went).
QLabel *link(const QString &text, const QUrl &url, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(
        u"<a href=\"%1\">%2</a>"_s.arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped()));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(Fonts::font(Fonts::Style::callout));
    label->setTextInteractionFlags(
        Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard | Qt::TextSelectableByMouse);
    label->setOpenExternalLinks(false);
    label->setToolTip(url.toString());
    QObject::connect(label, &QLabel::linkActivated, label,
        [](const QString &href) { Platform::current().openUrl(QUrl(href, QUrl::StrictMode)); });
    return label;
}

} // namespace

QString AboutView::versionLine(const QString &shortVersion, const QString &buildNumber)
{
    auto orUnknown = [](const QString &value) { return value.trimmed().isEmpty() ? u"?"_s : value; };
    return u"Version "_s + orUnknown(shortVersion) + u" ("_s + orUnknown(buildNumber) + u')';
}

QStringList AboutView::legalLines()
{
    // Filled in by whoever distributes the build: the file is compiled into the resources.
    Symbols::loadResources();
    QFile file(u":/about-legal.txt"_s);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(u'#'))
            lines.append(trimmed);
    }
    return lines;
}

AboutView::AboutView(QWidget *parent)
    : QWidget(parent)
{
    Symbols::loadResources();
    setObjectName(u"aboutView"_s);
    setWindowTitle(u"About "_s + ProjectLinks::applicationName());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->setSpacing(14);
    // Sized to the content: the window can be neither shrunk nor stretched.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const int contentWidth = 400 - 2 * 28;

    auto *icon = new QLabel(this);
    icon->setObjectName(u"aboutIcon"_s);
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull())
        appIcon = QIcon(u":/AppIcon.svg"_s);
    icon->setPixmap(appIcon.pixmap(QSize(96, 96), devicePixelRatioF()));
    icon->setFixedSize(96, 96);
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon, 0, Qt::AlignHCenter);

    auto *nameBlock = new QVBoxLayout;
    nameBlock->setSpacing(2);
    auto *name = centred(u"Quillrig"_s, this);
    name->setObjectName(u"aboutName"_s);
    name->setFont(Fonts::font(Fonts::Style::title2, QFont::Bold));
    auto *version
        = centred(versionLine(Platform::current().appShortVersion(), Platform::current().appBuildNumber()), this);
    version->setObjectName(u"aboutVersion"_s);
    PaletteFollower::secondaryText(version);
    nameBlock->addWidget(name);
    nameBlock->addWidget(version);
    layout->addLayout(nameBlock);

    layout->addWidget(divider(this, 220), 0, Qt::AlignHCenter);

    auto *maker = new QVBoxLayout;
    maker->setSpacing(4);
    for (const QString &line : legalLines()) {
        auto *label = centred(line, this);
        label->setObjectName(u"aboutMaker"_s);
        PaletteFollower::secondaryText(label);
        maker->addWidget(label);
    }
    layout->addLayout(maker);

    auto *links = new QVBoxLayout;
    links->setSpacing(4);
    const QUrl website = ProjectLinks::makerWebsite();
    links->addWidget(link(website.host(), website, this));
    links->addWidget(link(ProjectLinks::makerEmail(), QUrl(u"mailto:"_s + ProjectLinks::makerEmail()), this));
    links->addWidget(link(u"Command-line version: quillrig-cli on GitHub"_s, ProjectLinks::cliRepository(), this));
    layout->addLayout(links);

    layout->addWidget(divider(this, contentWidth), 0, Qt::AlignHCenter);

    auto *support = new QVBoxLayout;
    support->setSpacing(8);
    auto *supportTitle = centred(u"Support the project"_s, this);
    supportTitle->setFont(Fonts::font(Fonts::Style::headline));
    auto *supportText = centred(
        u"Quillrig is free. If it saves you time, you can support its development with a voluntary contribution."_s,
        this);
    supportText->setObjectName(u"aboutSupportText"_s);
    supportText->setFont(Fonts::font(Fonts::Style::callout));
    PaletteFollower::secondaryText(supportText);
    supportText->setFixedWidth(contentWidth);

    auto *qr = new QToolButton(this);
    qr->setObjectName(u"aboutSupportQR"_s);
    qr->setAutoRaise(true);
    qr->setIcon(QIcon(u":/SupportQR.png"_s));
    qr->setIconSize(QSize(132, 132));
    qr->setToolTip(ProjectLinks::donationTooltip());
    qr->setAccessibleName(ProjectLinks::donationTooltip());
    qr->setAccessibleDescription(u"QR code of the donation page"_s);
    qr->setCursor(Qt::PointingHandCursor);
    connect(qr, &QToolButton::clicked, this, [] { Platform::current().openUrl(ProjectLinks::donationPage()); });

    support->addWidget(supportTitle);
    support->addWidget(supportText, 0, Qt::AlignHCenter);
    support->addWidget(qr, 0, Qt::AlignHCenter);
    auto *donation = link(ProjectLinks::donationServiceName(), ProjectLinks::donationPage(), this);
    donation->setObjectName(u"aboutDonationLink"_s);
    support->addWidget(donation);
    layout->addLayout(support);

    // The fixed width keeps wrapped text from widening the window.
    for (QLabel *label : findChildren<QLabel *>())
        if (label->wordWrap())
            label->setMaximumWidth(contentWidth);
}
