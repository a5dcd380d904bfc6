// Writes pictures of the pieces beside the grid for the documentation: the
// smile view of a real quote table and the Position tab of a position in
// it, as opened, under a what-if scenario, and showing its delta.
// Usage: beyond_screenshots <folder> [suffix]
// (run with QT_SCALE_FACTOR=2 and the suffix "-200" for the high-DPI set).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QSlider>
#include <QTableView>

#include <cstdio>

#include "analysis/Position.h"
#include "grab_picture.h"
#include "optionpage/PositionTab.h"
#include "optionpage/ScenarioPanel.h"
#include "optionpage/SmileView.h"
#include "support/spx_quotes.h"

using namespace kestrava;

namespace {

bool Save(QWidget& widget, const QString& file)
{
    return testsupport::SaveGrab(widget, file);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: beyond_screenshots <folder> [suffix]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const LocaleInfo locale = LocaleInfo::FromPattern("M/d/yyyy", '.');

    // SPX on 24 January 2011, strikes 1000 to 1475, February and March.
    const TInOutObj february = testsupport::SpxExpiry(2, testsupport::SpxStrikes());
    const TInOutObj march = testsupport::SpxExpiry(3, testsupport::SpxStrikes(), 0.002f);
    bool ok = true;

    SmileView smile(locale);
    smile.resize(900, 420);
    smile.ShowSmile(february);
    ok = Save(smile, folder.filePath(QStringLiteral("smile-tab") + suffix + QStringLiteral(".png"))) && ok;

    // A February bull call spread at the quotes, and a March put bought at
    // the ask as a floor: strikes 1275, 1325 and 1225 are numbers 12, 14, 10.
    PositionTab position(locale);
    position.resize(1300, 780);
    const std::vector<const TInOutObj*> expiries{&february, &march};
    position.ShowExpiries(expiries);
    position.AddLeg(LegFromGrid(february, 12, 1, 1));
    position.AddLeg(LegFromGrid(february, 14, 1, -1));
    position.AddLeg(LegFromGrid(march, 10, 2, 1));
    position.tblLegs->selectRow(1);
    ok = Save(position, folder.filePath(QStringLiteral("position-tab") + suffix + QStringLiteral(".png")))
         && ok;

    // What if: two weeks on, volatility up a fifth, prices following the
    // smile; then the same scenario's delta.
    position.Scenario->sldDate->setValue(14);
    position.Scenario->sldVolShift->setValue(20);
    position.Scenario->cboSkew->setCurrentIndex(static_cast<int>(SkewRule::StickyMoneyness));
    ok = Save(position, folder.filePath(QStringLiteral("position-whatif") + suffix + QStringLiteral(".png")))
         && ok;
    position.Scenario->cboGraph->setCurrentIndex(1 + static_cast<int>(Greek::Delta));
    ok = Save(position, folder.filePath(QStringLiteral("position-greeks") + suffix + QStringLiteral(".png")))
         && ok;
    // The same scenario's P&L table by price and volatility shift.
    position.Scenario->cboGraph->setCurrentIndex(0);
    position.cboPnlView->setCurrentIndex(1);
    ok = Save(position,
              folder.filePath(QStringLiteral("position-pnl-by-vol") + suffix + QStringLiteral(".png")))
         && ok;
    return ok ? 0 : 1;
}
