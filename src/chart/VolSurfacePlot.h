#pragma once
// The pictures of a solved chain, in the chart's screen style: the term
// structure (the at-the-money volatility of each expiry against its days)
// and the surface (a heat map of the volatility by moneyness and expiry,
// with its colour scale).

#include <QColor>
#include <QRectF>
#include <QString>

#include <vector>

#include "analysis/VolSurface.h"
#include "common/localeinfo.h"

class QPainter;

namespace kestrava {

// Into picture (logical units) of an active painter; `title` heads it.
void DrawTermStructure(QPainter& painter, const QRectF& picture, const std::vector<TermPoint>& points,
                       const QString& title, const LocaleInfo& locale);
void DrawVolSurface(QPainter& painter, const QRectF& picture, const VolSurfaceGrid& grid,
                    const QString& title, const LocaleInfo& locale);

// The colour of a point of the scale, 0 (lowest) to 1 (highest): dark blue
// through green to yellow, lighter as it rises, as readable in grey.
QColor SurfaceColour(double share);

}  // namespace kestrava
