#pragma once
// The chain window: the whole option chain of a quote table, one root at a
// time. One tab per expiry and an "All" tab over a sortable table of every
// option with its quotes, volume, open interest and implied volatilities;
// the term structure of the at-the-money volatility; and the volatility
// surface. The table is read and the volatilities are solved off the
// window's thread: the table fills as each expiry is done, and a table
// being read shows its progress and can be stopped, the chain shown before
// staying. A selection of strikes and expiries becomes a new option series.

#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/ChainSelection.h"
#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "analysis/VolSurface.h"
#include "common/localeinfo.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTabBar;
class QTableView;
class QTableWidget;
class QTabWidget;
class QTimer;

namespace kestrava {

class ChainFilterModel;
class ChainPictureView;
class ChainReadBar;
class ChainSolveJob;
class ChainTableModel;
class Notifier;

// What the window takes from the program.
struct ChainEnvironment {
    LocaleInfo locale;
    std::array<float, 3> defaultRates{0.005f, 0.005f, 0.005f};  // of 30, 60 and 90 days, fractions
    QString exportFolder;                                       // where the export proposes its file
    int threads = 0;                                            // of the solve; 0: every core
};

class ChainWindow : public QWidget {
    Q_OBJECT
public:
    // Opens a window on `file`, showing `root` when the table has it (else
    // the underlying's own root). A table of the usual size is read here,
    // whole: nullptr after telling the user why when it cannot be read. A
    // larger one is read by the window, which closes itself when the read
    // fails or is stopped. The window deletes itself when it is closed.
    static ChainWindow* Open(const QString& file, const QString& root, const ChainEnvironment& environment,
                             Notifier& notifier, QWidget* parent = nullptr);
    ChainWindow(std::shared_ptr<const QuoteChain> chain, const ChainEnvironment& environment,
                Notifier& notifier, QWidget* parent = nullptr);
    ~ChainWindow() override;

    const QuoteChain& Chain() const { return *chain_; }
    // Reads `file` off the window's thread, with its progress shown, and
    // shows it once it is read whole, at `root` when it has it. Until then,
    // and when the read fails or is stopped, the chain shown stays.
    void OpenTable(const QString& file, const QString& root = QString());
    const ChainRoot* Root() const;
    ChainInputs Inputs() const;
    bool Solving() const;
    // The volatilities solved so far, one entry per expiry of the root.
    const std::vector<std::optional<ExpiryVols>>& Vols() const;
    std::vector<TermPoint> TermPoints() const;
    VolSurfaceGrid Surface() const;

    // The views of the window's tab widget.
    enum View { kChainView, kTermView, kSurfaceView };

    // The controls, for the windows' tests and pictures.
    QComboBox* cmbRoot = nullptr;
    QComboBox* cmbModel = nullptr;
    QSpinBox* seSteps = nullptr;
    QComboBox* cmbDividend = nullptr;
    QDoubleSpinBox* fseYield = nullptr;
    QDoubleSpinBox* fseCash = nullptr;
    QDateEdit* dteDividend = nullptr;
    QCheckBox* ckBand = nullptr;
    QDoubleSpinBox* fseBand = nullptr;
    QCheckBox* ckBidsOnly = nullptr;
    QSpinBox* seMarkVolume = nullptr;
    QSpinBox* seMarkOpenInterest = nullptr;
    QPushButton* btnOpenTable = nullptr;
    QPushButton* btnNewSeries = nullptr;
    QPushButton* btnExport = nullptr;
    QTabWidget* tabViews = nullptr;
    QTabBar* tabExpiries = nullptr;
    QTableView* tblChain = nullptr;
    QTableWidget* tblTerm = nullptr;
    ChainPictureView* termPicture = nullptr;
    ChainPictureView* surfacePicture = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* pbSolve = nullptr;
    ChainReadBar* readBar = nullptr;

    ChainTableModel* TableModel() const { return model_; }

signals:
    // The selected options as a new series; the program makes the page.
    void newSeriesRequested(const kestrava::ChainSelection& selection);
    // Every expiry of the root is solved.
    void solved();
    // A table OpenTable read is shown.
    void tableOpened();

public slots:
    void SelectRoot(const QString& name);
    // The selected strikes and expiries as a new series, or a message why not.
    void NewSeriesFromSelection();
    // The view shown, to the clipboard: the selected rows of the table (all
    // of its rows when none is selected), the term structure, or the surface
    // as a picture and as text.
    void CopyView();
    // The view shown, into a CSV file the user names.
    void ExportView();
    // The view shown, as CSV text.
    QString ViewCsv() const;
    // Writes ViewCsv() into path; false after a message naming the file
    // and the cause.
    bool ExportViewTo(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildInputBar();
    QWidget* BuildChainView();
    QWidget* BuildTermView();
    QWidget* BuildSurfaceView();
    void ConnectControls();

    void ChooseTable();
    void ShowTable(std::shared_ptr<const QuoteChain> chain);
    void TableNotRead(const QString& message);
    void ShowRoot(int root);
    void RebuildExpiryTabs();
    void StartSolve();
    void ExpiryDone(int expiry, const ExpiryVols& vols);
    void SolveFinished();
    void ShowStatus();
    void ShowExpiryColumn();
    void RefreshPictures();
    void FillTermTable();
    void ShowDividendBoxes();
    QString ViewText(QChar separator, bool exportText, bool selectedOnly) const;

    std::shared_ptr<const QuoteChain> chain_;
    ChainEnvironment environment_;
    Notifier& notifier_;
    int root_ = -1;
    ChainTableModel* model_ = nullptr;
    ChainFilterModel* filter_ = nullptr;
    ChainSolveJob* job_ = nullptr;
    QLabel* lblSteps_ = nullptr;
    QTimer* restart_ = nullptr;  // gathers quick changes of the inputs into one solve
    int solvedExpiries_ = 0;
    QString rootToShow_;  // of the table being read
};

}  // namespace kestrava
