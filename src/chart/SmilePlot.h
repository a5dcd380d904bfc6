#pragma once
// The picture of a volatility smile: the implied volatilities of the bids
// and asks of calls and puts (four marker kinds) against the strike, the
// flat volatility as a line and the underlying's price marked.

#include <QImage>

#include "analysis/Smile.h"
#include "chart/PlotFrame.h"
#include "common/localeinfo.h"

class QPainter;

namespace kestrava {

// Into picture (logical units) of an active painter.
void DrawSmile(QPainter& painter, const QRectF& picture, const SmileData& smile, const LocaleInfo& locale,
               const PlotPalette& palette = ScreenPalette());

// A picture of width x height logical pixels drawn at pixelRatio device
// pixels per pixel, so it stays sharp on a scaled screen.
QImage SmilePicture(const SmileData& smile, int width, int height, qreal pixelRatio,
                    const LocaleInfo& locale);

}  // namespace kestrava
