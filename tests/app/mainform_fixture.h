#pragma once
// What the main window's Qt tests share: throw-away settings and folders for
// each test, a guard that answers or closes every modal window, a page that
// records what the window asks of it, and small helpers.

#include <climits>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Inputs.h"
#include "app/MainForm.h"
#include "app/OptionPageAdapter.h"
#include "common/notifier.h"
#include "pricing/IORecObj1.h"
#include "support/qt_recording_notifier.h"

namespace kestrava::mainformtest {

// Answers a file dialog as a user who goes to folder and types name into its
// box: the typed name replaces whatever the dialog had selected.
inline std::function<void(QWidget*)> TypeIntoFileDialog(const QString& folder, const QString& name)
{
    return [folder, name](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->setDirectory(folder);
            dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            static_cast<QDialog*>(dialog)->accept();
        }
    };
}

using RecordingNotifier = kestrava::testsupport::QtRecordingNotifier;

// A placement as a previous run left it in the settings.
inline void SavePlacement(int left, int top, int width)
{
    QSettings stored(QStringLiteral("Tovanek"), QStringLiteral("Kestrava27"));
    stored.setValue(QStringLiteral("WinDims/Left"), left);
    stored.setValue(QStringLiteral("WinDims/Top"), top);
    stored.setValue(QStringLiteral("WinDims/Width"), width);
}

// A stand-in for the option page: a window with an edit box.
class FakePage : public IOptionPage {
public:
    explicit FakePage(const QString& title) : window_(new QWidget), title_(title)
    {
        window_->setWindowTitle(title);
        edit = new QLineEdit(window_);
        (new QVBoxLayout(window_))->addWidget(edit);
    }
    QWidget* Window() const override { return window_; }
    QString Title() const override { return title_; }
    QString SeriesFile() const override { return seriesFile; }
    void SetSeriesFile(const QString& path) override { seriesFile = path; }
    QString PriceTextFile() const override { return priceFile; }
    QString PriceWorkFile() const override { return QString(); }
    std::vector<const TInOutObj*> Expiries() const override
    {
        std::vector<const TInOutObj*> list;
        for (const auto& expiry : expiries)
            list.push_back(expiry.get());
        return list;
    }
    bool SavePage() override
    {
        savedTo.append(seriesFile);
        return saveResult;
    }
    void PrintPage(QPrinter&) override { ++printed; }
    void RefreshAfterDownload() override {}

    QLineEdit* edit = nullptr;
    QString priceFile;
    std::vector<std::unique_ptr<TInOutObj>> expiries;
    QString seriesFile;
    QStringList savedTo;
    bool saveResult = true;
    int printed = 0;

private:
    QWidget* window_;
    QString title_;
};

// Makes a window the active one as a click of the user does. The offscreen
// platform does not hand activation on to windows that have a parent window,
// so the application is told directly as well.
inline void Activate(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A shown, active page of SPY with one expiry of a single 450 strike.
inline FakePage* AddSpyPage(TMainForm& form)
{
    auto* page = static_cast<FakePage*>(form.AddPage(std::make_unique<FakePage>(QStringLiteral("SPY"))));
    auto expiry = std::make_unique<TInOutObj>();
    expiry->OptSymbol = "SPY";
    expiry->NumStrikes = 1;
    expiry->Strike(1, 1) = expiry->Strike(1, 2) = 450;
    page->expiries.push_back(std::move(expiry));
    page->Window()->show();
    Activate(page->Window());
    return page;
}

// Starts form with real option pages and waits for the sample page a first
// start opens, then activates it; nullptr when no page came.
inline QWidget* StartWithSamplePage(TMainForm& form)
{
    form.SetPageFactory(OptionPageFactory());
    if (!form.FormCreate())
        return nullptr;
    QWidget* window = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (window = form.findChild<QWidget*>(QStringLiteral("frmOPage"))) != nullptr; }))
        return nullptr;
    Activate(window);
    return window;
}

class MainFormFixture : public QObject {
protected:
    // Once per program: the guard that deals with modal windows.
    void StartModalGuard();
    // Before each test: fresh settings and folders, no modal answer.
    void FreshFolders();

    std::unique_ptr<TMainForm> NewForm();
    QString SettingsFile() const;
    // Closes every modal window that comes up, running `act` on it first.
    void WhileModal(const std::function<void(QWidget*)>& act);

    std::unique_ptr<QTemporaryDir> root_;
    FolderRoots roots_;
    RecordingNotifier notifier_;
    QTimer modalGuard_;
    std::function<void(QWidget*)> modalAction_;
    int modalsSeen_ = 0;
    QPointer<QWidget> lastModal_;
};

}  // namespace kestrava::mainformtest
