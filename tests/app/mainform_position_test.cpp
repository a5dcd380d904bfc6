// A position made with Buy 1 is not lost on the way out: File > Exit and
// closing its page ask "Save the changes to the position of NAME?" (Yes,
// No, Cancel); a series that was never saved goes through the save dialog
// first; a changed series' new page takes the position over without asking.

#include "analysis/PositionFile.h"
#include "mainform_fixture.h"

using namespace kestrava;
using namespace kestrava::mainformtest;

namespace {

// Buy 1 on the first row of the page's grid, as the user does: a click on
// its theoretical value, then Ctrl+B.
void BuyOne(QWidget* window)
{
    auto* grid = window->findChild<QAbstractItemView*>(QStringLiteral("TheGrid"));
    QVERIFY(grid);
    Activate(window);
    const QRect cell = grid->visualRect(grid->model()->index(0, 7));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClick(grid, Qt::Key_B, Qt::ControlModifier);
}

int SavedLegs(const QString& seriesFile)
{
    const PositionFileRead read = ReadPositionFile(PositionFileFor(seriesFile.toStdString()));
    return read.state == PositionFileRead::State::Read ? static_cast<int>(read.position.legs.size()) : -1;
}

}  // namespace

class MainFormPositionTest : public MainFormFixture {
    Q_OBJECT

private slots:
    void initTestCase() { StartModalGuard(); }
    void init() { FreshFolders(); }
    void cleanup() { root_.reset(); }

    void changedPositionIsAskedForOnTheWayOut_data()
    {
        QTest::addColumn<bool>("exit");  // File > Exit, else the page's own close
        QTest::addColumn<int>("answer");
        for (const bool exit : {true, false}) {
            const char* way = exit ? "File > Exit" : "closing the page";
            QTest::addRow("%s, Yes", way) << exit << int(Answer::Yes);
            QTest::addRow("%s, No", way) << exit << int(Answer::No);
            QTest::addRow("%s, Cancel", way) << exit << int(Answer::Cancel);
        }
    }
    void changedPositionIsAskedForOnTheWayOut()
    {
        QFETCH(bool, exit);
        QFETCH(int, answer);
        auto form = NewForm();
        QWidget* window = StartWithSamplePage(*form);
        QVERIFY(window);
        const QString series = form->Session().Folders().SeriesDir + QStringLiteral("/sample.ops");
        const QPointer<QWidget> page = window;

        BuyOne(window);
        notifier_.threeWayAnswer = static_cast<Answer>(answer);
        if (exit)
            form->findChild<QAction*>(QStringLiteral("FileExitItem"))->trigger();
        else
            window->close();
        QCOMPARE(notifier_.questions,
                 QStringList{QStringLiteral("Save the changes to the position of SMPL?")});
        if (answer == int(Answer::Cancel)) {
            // Everything stays as it was, and the next way out asks again.
            QVERIFY(form->isVisible());
            QVERIFY(page && page->isVisible());
            QCOMPARE(SavedLegs(series), -1);
            notifier_.threeWayAnswer = Answer::No;
            form->close();
            QCOMPARE(notifier_.questions.size(), 2);
            QVERIFY(!form->isVisible());
            return;
        }
        QCOMPARE(SavedLegs(series), answer == int(Answer::Yes) ? 1 : -1);
        QTRY_VERIFY(page.isNull());
        QCOMPARE(form->isVisible(), !exit);
        // A page that goes asks nothing more.
        form->close();
        QCOMPARE(notifier_.questions.size(), 1);
    }

    void savedPositionIsNotAskedFor()
    {
        auto form = NewForm();
        QWidget* window = StartWithSamplePage(*form);
        QVERIFY(window);
        BuyOne(window);
        // Saved with the series: leaving asks nothing.
        WhileModal(TypeIntoFileDialog(form->Session().Folders().SeriesDir, QStringLiteral("sample.ops")));
        Activate(window);
        form->Files().FileSave();
        WhileModal(nullptr);
        QCOMPARE(SavedLegs(form->Session().Folders().SeriesDir + QStringLiteral("/sample.ops")), 1);
        form->close();
        QVERIFY(notifier_.questions.isEmpty());
        QVERIFY(!form->isVisible());
    }

    void newSeriesPositionGoesThroughTheSaveDialog()
    {
        auto form = NewForm();
        QWidget* sample = StartWithSamplePage(*form);
        QVERIFY(sample);
        sample->close();
        QTRY_COMPARE(form->Pages().Count(), 0);
        form->SetSetupDialogHook([](TdlgInputs& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                dialog.findChild<QLineEdit*>(QStringLiteral("edOSymbl"))->setText(QStringLiteral("XYZ"));
                dialog.findChild<QAbstractButton*>(QStringLiteral("cmdOK"))->click();
            });
        });
        form->Files().FileNew();
        QWidget* window = nullptr;
        QTRY_VERIFY((window = form->findChild<QWidget*>(QStringLiteral("frmOPage"))) != nullptr);
        BuyOne(window);

        // Yes, then Cancel in the save dialog: nothing is lost, the program runs on.
        notifier_.threeWayAnswer = Answer::Yes;
        form->findChild<QAction*>(QStringLiteral("FileExitItem"))->trigger();
        QCOMPARE(notifier_.questions,
                 QStringList{QStringLiteral("Save the changes to the position of XYZ?")});
        QVERIFY(form->isVisible());
        QVERIFY(window->isVisible());

        // Yes and a file name: the series and its position are written there.
        const QString folder = root_->filePath(QStringLiteral("mine"));
        QVERIFY(QDir().mkpath(folder));
        WhileModal(TypeIntoFileDialog(folder, QStringLiteral("xyz-feb")));
        form->findChild<QAction*>(QStringLiteral("FileExitItem"))->trigger();
        WhileModal(nullptr);
        QVERIFY(!form->isVisible());
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/xyz-feb.ops")));
        QCOMPARE(SavedLegs(folder + QStringLiteral("/xyz-feb.ops")), 1);
    }

    void changedSeriesTakesThePositionAlong()
    {
        auto form = NewForm();
        QWidget* window = StartWithSamplePage(*form);
        QVERIFY(window);
        const QPointer<QWidget> old = window;
        BuyOne(window);
        form->SetSetupDialogHook([](TdlgInputs& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                dialog.findChild<QAbstractButton*>(QStringLiteral("cmdOK"))->click();
            });
        });
        form->Files().EditChangeOption();
        QTRY_VERIFY(old.isNull());
        QVERIFY(notifier_.questions.isEmpty());
        QWidget* replaced = form->findChild<QWidget*>(QStringLiteral("frmOPage"));
        QVERIFY(replaced);
        auto* legs = replaced->findChild<QAbstractItemView*>(QStringLiteral("tblLegs"));
        QVERIFY(legs);
        QCOMPARE(legs->model()->rowCount(), 1);

        // Still unsaved on the new page: leaving asks about it.
        notifier_.threeWayAnswer = Answer::Yes;
        form->close();
        QCOMPARE(notifier_.questions,
                 QStringList{QStringLiteral("Save the changes to the position of SMPL?")});
        QCOMPARE(SavedLegs(form->Session().Folders().SeriesDir + QStringLiteral("/sample.ops")), 1);
    }
};

QTEST_MAIN(MainFormPositionTest)
#include "mainform_position_test.moc"
