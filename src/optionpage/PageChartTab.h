#pragma once
// The option page's Chart tab: the underlying's price history drawn from the
// price work file into a picture that fills the tab, the request the
// printer draws from, and the chart's messages, said once for a file and
// volatility window however often the picture is drawn again.

#include <QString>

#include "optionpage/PageInputs.h"
#include "optionpage/PageMessages.h"

class QStackedLayout;
class QWidget;

namespace kestrava {

class PageInputBar;
class PageTabs;
class TChartImage;
class TImpStrGrid;

class PageChartTab {
public:
    // The page's parts the tab lives among; they outlive it.
    struct Parts {
        QWidget& page;
        QStackedLayout& pages;
        PageTabs& tabs;
        TImpStrGrid& grid;
        PageInputBar& bar;
    };

    PageChartTab(const PageEnvironment& environment, PageMessages& messages, PageNames& names, Parts parts);

    // Adds the tab and draws its picture. A page without a price work file
    // reads its price text file into one first (its symbol becomes the
    // title). A price file that cannot be read costs the tab and the
    // history button, not the page.
    void Open();
    // The picture goes (the page closes, or its price file is unusable).
    void Remove();
    // The picture takes the tab's size, also while another tab is shown.
    void Fit();
    void Draw();
    // What the chart is drawn from; 0 x 0 when printing.
    ChartRequest Request(int width, int height, bool printing) const;
    // Exists while the tab does.
    TChartImage* Image() const { return image_; }

private:
    const PageEnvironment& environment_;
    PageMessages& messages_;
    PageNames& names_;
    Parts parts_;
    TChartImage* image_ = nullptr;
    OnceNotifier chartMessages_{messages_};
    QString chartMessagesFor_;
};

}  // namespace kestrava
