// The main window's list of pages without the main window: which page has a
// file, which one is current as pages come and go, and the order in which
// they close.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

#include "app/PageList.h"

using namespace kestrava;

namespace {

// A page that is only a window and the name of its series file.
class FakePage : public IOptionPage {
public:
    explicit FakePage(QString file) : window_(new QWidget), file_(std::move(file)) {}
    QWidget* Window() const override { return window_; }
    QString Title() const override { return file_; }
    QString SeriesFile() const override { return file_; }
    void SetSeriesFile(const QString& path) override { file_ = path; }
    QString PriceTextFile() const override { return {}; }
    QString PriceWorkFile() const override { return {}; }
    std::vector<const TInOutObj*> Expiries() const override { return {}; }
    bool SavePage() override { return true; }
    void PrintPage(QPrinter& /*printer*/) override {}
    void RefreshAfterDownload() override {}

private:
    QWidget* window_;  // deleted by the test, as the main window would
    QString file_;
};

// Adds a page and follows its window's end as the main window does.
QWidget* AddPage(PageList& pages, const QString& file)
{
    auto page = std::make_unique<FakePage>(file);
    QWidget* window = page->Window();
    QObject::connect(window, &QObject::destroyed, [&pages](QObject* gone) { pages.Forget(gone); });
    pages.Add(std::move(page));
    return window;
}

}  // namespace

class PageListTest : public QObject {
    Q_OBJECT

private slots:
    void findsThePageOfASavedFile_data();
    void findsThePageOfASavedFile();
    void currentFollowsActivationAndClosing();
};

void PageListTest::findsThePageOfASavedFile_data()
{
    QTest::addColumn<QString>("pageFile");  // "DIR/" stands for the case's folder
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");

    QTest::newRow("the same name") << "DIR/a.ops"
                                   << "DIR/a.ops" << true;
    QTest::newRow("through a link") << "DIR/a.ops"
                                    << "DIR/link.ops" << true;
    QTest::newRow("with a dot folder") << "DIR/a.ops"
                                       << "DIR/./a.ops" << true;
    QTest::newRow("another file") << "DIR/a.ops"
                                  << "DIR/b.ops" << false;
    QTest::newRow("an unsaved series' bare name") << "a.ops"
                                                  << "a.ops" << false;
    QTest::newRow("a saved file not there any more") << "DIR/gone.ops"
                                                     << "DIR/gone.ops" << true;
}

void PageListTest::findsThePageOfASavedFile()
{
    QFETCH(QString, pageFile);
    QFETCH(QString, asked);
    QFETCH(bool, found);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"a.ops", "b.ops"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("a.ops")), dir.filePath(QStringLiteral("link.ops"))));
    pageFile.replace(QStringLiteral("DIR"), dir.path());
    asked.replace(QStringLiteral("DIR"), dir.path());

    PageList pages;
    std::unique_ptr<QWidget> other(AddPage(pages, dir.filePath(QStringLiteral("other.ops"))));
    std::unique_ptr<QWidget> window(AddPage(pages, pageFile));
    IOptionPage* page = pages.OfFile(asked);
    QCOMPARE(page != nullptr, found);
    if (found)
        QCOMPARE(page->Window(), window.get());
    // A page whose window went names no file.
    window.reset();
    QCOMPARE(pages.Count(), 1);
    QVERIFY(!pages.OfFile(asked));
}

void PageListTest::currentFollowsActivationAndClosing()
{
    PageList pages;
    QVERIFY(!pages.Add(nullptr));
    QWidget* first = AddPage(pages, QStringLiteral("/1.ops"));
    QWidget* second = AddPage(pages, QStringLiteral("/2.ops"));
    QWidget* third = AddPage(pages, QStringLiteral("/3.ops"));
    QWidget stranger;

    QVERIFY(!pages.CurrentPage());
    pages.Activated(second);
    pages.Activated(&stranger);  // not a page: the current page stays
    QCOMPARE(pages.Current(), second);
    QCOMPARE(pages.CurrentPage()->SeriesFile(), QStringLiteral("/2.ops"));
    QVERIFY(pages.Holds(third));
    QVERIFY(!pages.Holds(&stranger));

    // Pages close in the order they were opened, whichever is current.
    const std::vector<QPointer<QWidget>> order = pages.Windows();
    QCOMPARE(order.size(), std::size_t{3});
    QCOMPARE(order[0].data(), first);
    QCOMPARE(order[2].data(), third);

    // The current page goes: nothing is current until the newest left is made so.
    delete second;
    QCOMPARE(pages.Count(), 2);
    QVERIFY(!pages.CurrentPage());
    pages.CurrentToNewest();
    QCOMPARE(pages.Current(), third);
    delete third;
    pages.CurrentToNewest();
    QCOMPARE(pages.Current(), first);
    QVERIFY(order[1].isNull() && order[2].isNull());
    delete first;
    QCOMPARE(pages.Count(), 0);
}

QTEST_MAIN(PageListTest)
#include "pagelist_test.moc"
