#pragma once
// The option page's tab bar and what each tab shows. An expiry's tab holds
// the expiry's index; the Position, Smile and Chart tabs hold markers below
// zero. Expiry tabs come first and the Chart tab last.

#include <QString>

#include <climits>

class QTabBar;

namespace kestrava {

class PageTabs {
public:
    explicit PageTabs(QTabBar& bar) : bar_(bar) {}

    // The expiry's index, a marker of another tab, or kNoTab for an index
    // that is no tab.
    int Marker(int index) const;
    static constexpr int kNoTab = INT_MIN;
    bool IsExpiry(int index) const { return Marker(index) >= 0; }
    bool IsChart(int index) const;

    // Adds the tab of the expiry with that index before the tabs of any
    // other kind; returns the tab's index.
    int InsertExpiry(int expiry, const QString& text);
    void AddChart();
    void RemoveChart();
    void RemoveAll();

private:
    QTabBar& bar_;
};

}  // namespace kestrava
