#pragma once
// The picture of a position's risk graph: profit or loss (or one greek)
// against the underlying at the valuation date, at a chosen date ("Midway"
// to the first expiry until one is chosen) and at that expiry, the zero
// line, the breakevens, today's price and the expected move to each expiry
// marked.

#include <QImage>

#include "analysis/RiskGraph.h"
#include "chart/PlotFrame.h"
#include "common/localeinfo.h"

class QPainter;

namespace kestrava {

// Returns the plot area, in which the graph's first price stands at the left
// edge and its last at the right.
QRectF DrawRiskGraph(QPainter& painter, const QRectF& picture, const RiskGraph& graph,
                     const LocaleInfo& locale, const PlotPalette& palette = ScreenPalette());

QImage RiskPicture(const RiskGraph& graph, int width, int height, qreal pixelRatio, const LocaleInfo& locale);

}  // namespace kestrava
