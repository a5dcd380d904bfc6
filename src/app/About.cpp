#include "app/About.h"
#include "app/AppIcons.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace kestrava {

#ifdef KESTRAVA_VERSION
const char TAboutBoxVer::kProgramVersion[] = KESTRAVA_VERSION;
#else
const char TAboutBoxVer::kProgramVersion[] = "";
#endif

QString AboutVersionText(const QString& version)
{
    QStringList parts = version.trimmed().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QStringLiteral("Kestrava v2.50");
    while (parts.size() < 3)
        parts.append(QStringLiteral("0"));
    return QStringLiteral("Kestrava v") + parts.mid(0, 3).join(QLatin1Char('.'));
}

QUrl SupportMailUrl()
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(kSupportAddress);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("Kestrava26 "));
    url.setQuery(query);
    return url;
}

TAboutBoxVer::TAboutBoxVer(QWidget* parent, const QString& version)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("AboutBoxVer"));
    setWindowTitle(QStringLiteral("About Kestrava"));
    setAutoFillBackground(true);
    QPalette cream = palette();
    cream.setColor(QPalette::Window, QColor(0xF7, 0xEF, 0xD2));
    cream.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    setPalette(cream);

    // A sunken panel, its edges tinted so that they show on the cream.
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    QPalette edges = cream;
    edges.setColor(QPalette::Light, QColor(0xFF, 0xFF, 0xFF));
    edges.setColor(QPalette::Midlight, QColor(0xF4, 0xEE, 0xD8));
    edges.setColor(QPalette::Dark, QColor(0xB5, 0xAA, 0x88));
    edges.setColor(QPalette::Mid, QColor(0xCF, 0xC6, 0xA6));
    edges.setColor(QPalette::Window, QColor(0xFF, 0xFD, 0xF5));
    panel->setPalette(edges);
    panel->setAutoFillBackground(true);

    auto* icon = new QLabel(panel);
    const int iconSize = fontMetrics().height() * 4;
    icon->setPixmap(AppIcon(QStringLiteral("kestrava")).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignCenter);

    VersionStr = new QLabel(AboutVersionText(version), panel);
    VersionStr->setObjectName(QStringLiteral("VersionStr"));
    VersionStr->setAlignment(Qt::AlignCenter);
    QFont bold = VersionStr->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 13.0 / 11.0);
    VersionStr->setFont(bold);

    auto* what = new QLabel(QStringLiteral("Option series modelling"), panel);
    what->setAlignment(Qt::AlignCenter);

    lblEMail = new QLabel(kSupportAddress, panel);
    lblEMail->setObjectName(QStringLiteral("lblEMail"));
    lblEMail->setAlignment(Qt::AlignCenter);
    lblEMail->setToolTip(QStringLiteral("Click me"));
    lblEMail->setCursor(Qt::PointingHandCursor);
    QFont link = lblEMail->font();
    link.setFamilies({QStringLiteral("Verdana"), link.family()});
    link.setUnderline(true);
    lblEMail->setFont(link);
    QPalette blue = lblEMail->palette();
    blue.setColor(QPalette::WindowText, QColor(0x00, 0x33, 0xCC));
    lblEMail->setPalette(blue);
    lblEMail->installEventFilter(this);

    auto* inner = new QVBoxLayout(panel);
    const int gap = fontMetrics().height();
    inner->setContentsMargins(gap, gap, gap, gap);
    inner->setSpacing(gap / 2);
    inner->addWidget(icon);
    inner->addWidget(VersionStr);
    inner->addWidget(what);
    inner->addSpacing(gap / 2);
    inner->addWidget(lblEMail);

    Done = new QPushButton(QStringLiteral("&Done"), this);
    Done->setObjectName(QStringLiteral("Done"));
    Done->setDefault(true);
    connect(Done, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(Done);
    buttonRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(gap);
    layout->addWidget(panel);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    panel->setMinimumWidth(fontMetrics().averageCharWidth() * 44);
}

bool TAboutBoxVer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblEMail && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(SupportMailUrl());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kestrava
