// Frames per second of the Position tab while the date slider is dragged
// over the binomial iron condor of the largest page: each iteration moves
// the mouse, with its button held, to the next day along the slider and
// runs the events until the risk graph has painted again. The "fps"
// counter is the figure; run under Xvfb (QT_QPA_PLATFORM=xcb xvfb-run -a)
// to count the frames of a real X server, or offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include "analysis/MarkedPosition.h"
#include "optionpage/PositionTab.h"
#include "optionpage/RiskView.h"
#include "optionpage/ScenarioPanel.h"

#include "condor_page.h"

using namespace kestrava;

namespace {

class PaintCounter : public QObject {
public:
    int painted = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++painted;
        return QObject::eventFilter(watched, event);
    }
};

QPoint PointOf(const QSlider* slider, int value)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = value;
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                                         slider);
    return handle.center();
}

void Send(QSlider* slider, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, slider->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(slider, &event);
}

void BM_DragDateSliderOverBinomialCondor(benchmark::State& state)
{
    const benchpage::Page page = benchpage::MakePage(kBinomial, false);
    PositionTab tab(LocaleInfo{});
    tab.resize(1280, 800);
    tab.ShowExpiries(page.pointers);
    tab.SetPosition(page.position);
    tab.show();
    QElapsedTimer wait;
    wait.start();
    while (!tab.isVisible() || wait.elapsed() < 500)
        QApplication::processEvents();
    PaintCounter counter;
    tab.Graph->installEventFilter(&counter);
    QSlider* slider = tab.Scenario->sldDate;
    int day = slider->value();
    Send(slider, QEvent::MouseButtonPress, PointOf(slider, day), Qt::LeftButton);
    int step = 1;
    for (auto _ : state) {
        // Back and forth between the first and the last day.
        if (day + step < slider->minimum() || day + step > slider->maximum())
            step = -step;
        day += step;
        const int before = counter.painted;
        Send(slider, QEvent::MouseMove, PointOf(slider, day), Qt::LeftButton);
        QElapsedTimer frame;
        frame.start();
        while (counter.painted == before && frame.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (counter.painted == before)
            state.SkipWithError("the graph did not paint after a move of the slider");
    }
    Send(slider, QEvent::MouseButtonRelease, PointOf(slider, day), Qt::NoButton);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    state.counters["days"] = slider->maximum();
}
BENCHMARK(BM_DragDateSliderOverBinomialCondor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
