// Draws a few spin edits as the option page sets them up and saves the
// picture to the file named on the command line. Run it with
// QT_SCALE_FACTOR=2 for the high-DPI look.
#include <cstdio>
#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>

#include "controls/rmSpin.h"

using namespace kestrava;

namespace {

// A spin edit with its range set in the order the forms use: maximum first.
template <typename Edit, typename Number>
Edit* RangedEdit(Number min, Number max, Number increment, Number value)
{
    auto* edit = new Edit;
    edit->SetMaxValue(max);
    edit->SetMinValue(min);
    edit->SetIncrement(increment);
    edit->SetUseRanges(true);
    edit->SetValue(value);
    return edit;
}

TrmSpinEdit* IntEdit(int min, int max, int increment, int value)
{
    return RangedEdit<TrmSpinEdit>(min, max, increment, value);
}

TrmFloatSpinEdit* FloatEdit(double min, double max, double increment, double value)
{
    return RangedEdit<TrmFloatSpinEdit>(min, max, increment, value);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: spinedit_screenshots OUTPUT.png\n");
        return 2;
    }
    QWidget form;
    auto* layout = new QFormLayout(&form);
    layout->addRow(QStringLiteral("Days to expiry"), IntEdit(1, 1000, 1, 1));
    layout->addRow(QStringLiteral("Steps"), IntEdit(25, 400, 10, 400));
    layout->addRow(QStringLiteral("V Days"), IntEdit(1, 250, 1, 90));
    layout->addRow(QStringLiteral("Underlying"), FloatEdit(0.001, 100000.0, 1.0, 12.3456));
    layout->addRow(QStringLiteral("Rate %"), FloatEdit(0.05, 50.0, 0.1, 1.0));
    auto* disabled = FloatEdit(1.0, 200.0, 0.1, 10.0);
    disabled->setEnabled(false);
    layout->addRow(QStringLiteral("Sigma % (disabled)"), disabled);
    form.show();
    QApplication::processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
