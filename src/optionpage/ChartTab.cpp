#include "optionpage/ChartTab.h"

#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

#include "chart/ScaledImage.h"

namespace kestrava {
namespace {

const char* const kNoChart = "No chart";
const QColor kNoChartText(192, 220, 192);

}  // namespace

TChartImage::TChartImage(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("ChartImage"));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The tab decides the size; the picture follows it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setMinimumSize(1, 1);
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    setPalette(dark);
}

void TChartImage::ShowPicture(const QImage& picture)
{
    if (!picture.isNull()) {
        setPixmap(QPixmap::fromImage(picture));
        return;
    }
    QImage empty = ScaledImage(std::max(width(), 1), std::max(height(), 1), devicePixelRatioF());
    empty.fill(Qt::black);
    QPainter painter(&empty);
    painter.setPen(kNoChartText);
    painter.setFont(font());
    painter.drawText(QRectF(QPointF(0, 0), empty.deviceIndependentSize()), Qt::AlignCenter,
                     QString::fromLatin1(kNoChart));
    painter.end();
    setPixmap(QPixmap::fromImage(empty));
}

bool TChartImage::NeedsPicture() const
{
    const QPixmap shown = pixmap();
    return shown.isNull() || shown.devicePixelRatio() != devicePixelRatioF()
           || shown.deviceIndependentSize().toSize() != size();
}

void TChartImage::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    // The tab's layout sizes the picture as it is shown; ask once that has run.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && NeedsPicture())
            emit pictureWanted();
    });
}

}  // namespace kestrava
