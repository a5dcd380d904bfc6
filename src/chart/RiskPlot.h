#pragma once
// The picture of a position's risk graph: profit or loss against the
// underlying at the valuation date, midway to the first expiry and at that
// expiry, the zero line, the breakevens and today's price marked.

#include <QImage>

#include "analysis/RiskGraph.h"
#include "common/localeinfo.h"

class QPainter;

namespace kestrava {

void DrawRiskGraph(QPainter& painter, const QRectF& picture, const RiskGraph& graph,
                   const LocaleInfo& locale);

QImage RiskPicture(const RiskGraph& graph, int width, int height, qreal pixelRatio, const LocaleInfo& locale);

}  // namespace kestrava
