#pragma once
// The chart and the grid printer as an option page asks for them through its
// environment: the Chart tab's picture, Print on an expiry tab, on the Chart
// tab and on the Smile and Position tabs.

#include "optionpage/PageInputs.h"

namespace kestrava {

class Notifier;

// Sets the environment's drawChart, printGrid, printChart and printPlot. They write
// numbers and dates in environment.locale (set it first) and report through
// notifier, which must outlive every page given the environment.
void GiveChartAndPrinter(PageEnvironment& environment, Notifier& notifier);

}  // namespace kestrava
