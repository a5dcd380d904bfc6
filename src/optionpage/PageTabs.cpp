#include "optionpage/PageTabs.h"

#include <QTabBar>

#include "optionpage/PagePrivate.h"

namespace kestrava {

using namespace pageparts;

int PageTabs::Marker(int index) const
{
    if (index < 0 || index >= bar_.count())
        return kNoTab;
    return bar_.tabData(index).toInt();
}

bool PageTabs::IsChart(int index) const
{
    return Marker(index) == kChartTabMarker;
}

int PageTabs::InsertExpiry(int expiry, const QString& text)
{
    const int tab = bar_.insertTab(expiry, text);
    bar_.setTabData(tab, expiry);
    return tab;
}

void PageTabs::AddChart()
{
    const int tab = bar_.addTab(QStringLiteral("Chart"));
    bar_.setTabData(tab, kChartTabMarker);
}

void PageTabs::RemoveChart()
{
    for (int t = bar_.count() - 1; t >= 0; --t) {
        if (IsChart(t))
            bar_.removeTab(t);
    }
}

void PageTabs::RemoveAll()
{
    while (bar_.count() > 0)
        bar_.removeTab(bar_.count() - 1);
}

}  // namespace kestrava
