#pragma once
// The option page's input bar: the price, volatility, rate, window, steps and
// days-left boxes, the history and Calculate buttons, the contract list, the
// volatility source and the labels that name the series. It shows an expiry
// and writes what the user types into the expiry the page has selected;
// changes every expiry shares go out as inputsChanged().

#include <QFrame>

#include <functional>

#include "common/dates.h"
#include "common/localeinfo.h"
#include "pagecore/PageSeries.h"
#include "pricing/recalc.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kestrava {

class PageMessages;
class TInOutObj;
class TrmFloatSpinEdit;
class TrmSpinEdit;

class PageInputBar : public QFrame {
    Q_OBJECT
public:
    // The expiry the page's selected tab shows; nullptr on any other tab or
    // once the page is closing.
    using CurrentExpiry = std::function<TInOutObj*()>;

    PageInputBar(const LocaleInfo& locale, PageSeries& series, PageMessages& messages,
                 CurrentExpiry currentExpiry, QWidget* page);

    // The page is going: no box writes into its series any more.
    void Detach();
    // A series without a price file has no history to take.
    void HidePriceFileControls();
    // The contract list from the quote file's roots, showing with the chain
    // button: the saved contract selected (nothing when the file no longer
    // offers it), else the file's own. The list stays as it was when the
    // file offers none or cannot be read (the reader has said why).
    void FillContractList(const QString& file, const QString& saved);

    // The first expiry's kind, model, dates, days and inputs.
    void ShowSeries(TInOutObj& p, TDateTime today);
    // The expiry of a tab being shown: its dates, days, inputs and dividend.
    void ShowExpiry(TInOutObj& p, TDateTime today);
    // The boxes take a saved expiry's steps, window and price without
    // announcing a change.
    void StartFrom(const TInOutObj& p);
    void ShowToday(TDateTime today);
    void ShowUnderlying(double value);
    void ShowSigma(double fraction);
    void ShowExpiryDays(int days);
    // The selected expiry's days from the valuation date in seExpDays.
    void ShowDaysLeft();

    // What the boxes hold for every expiry.
    SeriesInputs Inputs() const;
    // The skew mode the volatility buttons choose.
    VolSource SelectedVolSource() const;
    QString DateText(TDateTime date) const;

    TrmFloatSpinEdit* fseUlying = nullptr;
    TrmFloatSpinEdit* fseSigma = nullptr;
    TrmFloatSpinEdit* fseRate = nullptr;
    TrmSpinEdit* seSigDays = nullptr;
    TrmSpinEdit* seExpDays = nullptr;
    TrmSpinEdit* seSteps = nullptr;
    QLabel* lblSigDays = nullptr;
    QLabel* lblSteps = nullptr;
    QToolButton* cmdCalcSig = nullptr;
    QPushButton* cmdReCalc = nullptr;
    QComboBox* cmboOptSymbols = nullptr;
    QToolButton* cmdChain = nullptr;
    QRadioButton* rbtnLevel = nullptr;
    QRadioButton* rbtnBid = nullptr;
    QRadioButton* rbtnAsk = nullptr;
    QLabel* lblToday = nullptr;
    QLabel* lblExpDate = nullptr;
    QLabel* lblCntrMdl = nullptr;
    QLabel* lblDiv = nullptr;

signals:
    // The price, the window, the steps or the valuation date changed.
    void inputsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildBoxes();
    void LayOut();
    void ConnectBoxes();
    void ShowPercent(TrmFloatSpinEdit* box, double fraction);
    void ShowDividend(const TInOutObj& p, bool strictlyPositive);
    void ToggleButtons(int tag);
    void RateChanged();
    void SigmaChanged();
    void ExpiryDaysChanged();

    LocaleInfo locale_;
    PageSeries& series_;
    PageMessages& messages_;
    CurrentExpiry currentExpiry_;

    QLabel* lblUlying = nullptr;
    QLabel* lblSigma = nullptr;
    QLabel* lblRate = nullptr;
    QLabel* lblExpDays = nullptr;
    QButtonGroup* volatilitySource_ = nullptr;
    bool showingExpiryDays_ = false;  // the bar writes seExpDays to show a tab
    bool typingExpiryDays_ = false;   // the user is typing digits into seExpDays
};

}  // namespace kestrava
