#pragma once
// What the option page's Qt tests share: pages built from setup values, a
// file or a price file in a folder of the test's own, a price work file to
// build them from, and reading the grid's cells and pixels.

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/localeparse.h"
#include "common/notifier.h"
#include "controls/rmSpin.h"
#include "controls/rmSpinButton.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/SigmaObj.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "pricing/IORecObj1.h"
#include "support/recording_notifier.h"

namespace kestrava::pagetest {

using RecordingNotifier = kestrava::testsupport::RecordingNotifier;

// Closes and deletes a page at the end of a test.
struct PageCloser {
    void operator()(TfrmOPage* page) const
    {
        if (page)
            delete page;
    }
};
using PagePtr = std::unique_ptr<TfrmOPage, PageCloser>;

inline QDate InDays(int days)
{
    return QDate::currentDate().addDays(days);
}

inline SeriesSetup Setup(int strikes, const QString& first, const QString& step, int model = 1)
{
    SeriesSetup setup;
    setup.numExpiries = 3;
    setup.expiryDates = {InDays(30), InDays(60), InDays(90)};
    setup.numStrikes = QString::number(strikes);
    setup.firstStrike = first;
    setup.strikeIncrement = step;
    setup.optionSymbol = QStringLiteral("XYZ");
    setup.symbolText = QStringLiteral("XYZ");
    setup.contractType = kEquity;
    setup.model = model;
    return setup;
}

// A price work file of `days` daily closes ending on `lastDate`.
inline void WritePriceWorkFile(const QString& path, TDateTime lastDate, int days)
{
    PriceWorkFileWriter writer(path.toStdString());
    for (int i = 0; i < days; ++i) {
        TPriceRecord record;
        record.Date = lastDate - (days - 1 - i);
        record.Close = static_cast<float>(50.0 * std::exp(0.02 * std::sin(i * 0.7) + 0.001 * i));
        writer.Append(record);
    }
    writer.Close();
}

inline QColor CellColour(TImpStrGrid* grid, int col, int row)
{
    const QImage image = grid->grab().toImage();
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, col));
    const QPoint at = grid->viewport()->geometry().topLeft() + QPoint(cell.left() + 3, cell.center().y());
    return image.pixelColor(at);
}

// The leftmost column of dark text pixels inside rect of image; -1 when the
// rectangle holds no text.
inline int LeftmostInk(const QImage& image, const QRect& rect)
{
    for (int x = rect.left(); x <= rect.right(); ++x)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 100)
                return x;
    return -1;
}

// A fixed-column cell's rectangle in the grid's own coordinates.
inline QRect FixedCellRect(TImpStrGrid* grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, 0));
    return cell.translated(grid->viewport()->geometry().topLeft()).adjusted(1, 1, -2, -2);
}

inline TDateTime SystemToday()
{
    const QDate today = QDate::currentDate();
    return EncodeDate(today.year(), today.month(), today.day());
}

// A page test's notifier, scratch folder and ways of building a page.
class PageTestBase : public QObject {
protected:
    RecordingNotifier notifier;
    QTemporaryDir temp;

    PageEnvironment Environment() const
    {
        PageEnvironment environment;
        environment.defaultRates = {0.05f, 0.045f, 0.04f};
        environment.tempDirectory = temp.path();
        environment.dataDirectory = temp.path();
        environment.seriesDirectory = temp.path();
        return environment;
    }

    PagePtr Build(const SeriesSetup& setup, PageEnvironment environment)
    {
        PageSource source;
        source.setup = setup;
        return PagePtr(TfrmOPage::Create(environment, source, notifier));
    }

    PagePtr Build(const SeriesSetup& setup) { return Build(setup, Environment()); }

    PagePtr Open(const QString& fileName)
    {
        PageSource source;
        source.openFromFile = true;
        source.openFileName = fileName;
        return PagePtr(TfrmOPage::Create(Environment(), source, notifier));
    }

    // Three expiries in March, April and June 2009, valued on the price
    // file's last day, 25 March 2009: the March expiry has passed.
    PagePtr BuildFromPriceFile(int strikes = 3, int model = 1)
    {
        const QString work = temp.filePath(QStringLiteral("prices.TEM"));
        WritePriceWorkFile(work, EncodeDate(2009, 3, 25), 200);
        SeriesSetup setup = Setup(strikes, QStringLiteral("45"), QStringLiteral("5"), model);
        setup.expiryDates = {QDate(2009, 3, 20), QDate(2009, 4, 17), QDate(2009, 6, 19)};
        setup.sourceFilePath = temp.filePath(QStringLiteral("xyz.csv"));
        setup.workFilePath = work;
        return Build(setup);
    }

    // A bid or ask handed over by the cell editor, as Enter does.
    static void CommitCell(TfrmOPage* page, int col, int row, const QString& text)
    {
        QAbstractItemModel* model = page->Controls().TheGrid->model();
        QVERIFY(model->setData(model->index(row - 1, col), text));
    }

    static void TypeIntoCell(TfrmOPage* page, int col, int row, const QString& text, int key)
    {
        TImpStrGrid* grid = page->Controls().TheGrid;
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(row - 1, col));
        QTest::keyClicks(grid, text.left(1));
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(editor && editor != grid);
        QTest::keyClicks(editor, text.mid(1));
        if (key > 0)
            QTest::keyClick(editor, static_cast<Qt::Key>(key));
        else if (key == 0)
            page->InputBar().fseUlying->setFocus(Qt::MouseFocusReason);  // a click outside the grid
    }
};

}  // namespace kestrava::pagetest
