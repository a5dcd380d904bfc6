#pragma once
// TdlgInputs: the series setup dialog. The user describes an option series
// in it (strikes, up to three expiries, the model, the dividend or foreign
// rate, the contract type, the exchange symbol and, optionally, a daily price
// file of the underlying). The dialog builds nothing: after OK the option
// page is handed Values(), and the main window takes AsciiDataDir() back
// into its settings whether the dialog was accepted or not.

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QDate>
#include <QDialog>
#include <QString>

#include "common/localeinfo.h"
#include "optionpage/PageInputs.h"
#include "optionpage/SetupChecks.h"

class QButtonGroup;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrava {

class Notifier;
class TInOutObj;

class TdlgInputs : public QDialog {
    Q_OBJECT

public:
    // The help keyword of the dialog's page.
    static const QString kHelpKeyword;
    // The design caption and the two mode captions' fixed parts.
    static const QString kDesignCaption;
    static const QString kNewCaption;
    static const QString kEditCaptionPrefix;
    // The messages the dialog shows.
    static const QString kNoSymbolMessage;
    static const QString kCannotDigestMessage;
    static const QString kBadExpiryCountMessage;

    struct Environment {
        LocaleInfo locale;             // dates in the pickers and the label, decimal separator
        QString tempDirectory;         // where price work files are made; the system's when empty
        QString asciiDataDir;          // where the price-file picker opens
        Notifier* notifier = nullptr;  // message boxes over the dialog when not set
    };

    // Asks the user for a price file; an empty text means cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& folder,
                                              const QString& filter)>;
    using Beeper = std::function<void()>;

    explicit TdlgInputs(Environment environment, QWidget* parent = nullptr);
    ~TdlgInputs() override;

    // Prepares for a new series, proposing the three expiries that follow
    // `today`.
    void PrepareNew(const QDate& today = QDate::currentDate());
    // Prepares for changing a page's series: `expiries` are the page's expiry
    // objects in tab order (first = first expiry), `priceWorkFile` its price
    // work file. With no first expiry the dialog keeps its design values.
    void PrepareFromPage(const std::vector<const TInOutObj*>& expiries, const QString& priceWorkFile,
                         const QDate& today = QDate::currentDate());

    // The next expiry on or after `from`: the first Saturday whose day of the
    // month is 15 to 22. Invalid for an invalid date.
    static QDate SetOptionDates(const QDate& from);

    // The boxes and result strings as the page takes them.
    SeriesSetup Values() const;

    const QString& SourceFilePath() const { return sourceFilePath_; }
    const QString& WorkFilePath() const { return workFilePath_; }
    const QString& ContractRoot() const { return contractRoot_; }
    const QString& SymbolText() const { return symbolText_; }
    // The folder of the last price file picked, else the folder handed in.
    const QString& AsciiDataDir() const { return asciiDataDir_; }

    void SetFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
    void SetBeeper(Beeper beeper) { beeper_ = std::move(beeper); }

public slots:
    // The control handlers. ResetTypes takes the contract button's tag
    // (0 Equity, 1 Index, 2 Future, 3 Currency), rgModelClick the model's index.
    void ResetTypes(int tag);
    void rgModelClick(int index);
    void edNumExpChange();
    void SetFileBtnClick();
    void cmdOKClick();
    void cmdCancelClick();
    QLineEdit* BoxOf(SetupBox box) const;

signals:
    // The user asked for help (F1); the main window opens the keyword's page.
    void HelpRequested(const QString& keyword);

private:
    enum class Mode { Design, NewSeries, EditSeries };

    void BuildControls();
    QGroupBox* BuildStrikeGroup();
    QGroupBox* BuildExpiryGroup();
    QGroupBox* BuildModelGroup();
    QGroupBox* BuildAdjustmentGroup();
    QGroupBox* BuildSymbolGroup();
    QGroupBox* BuildContractGroup();
    QDateEdit* NewDatePicker(const QString& name);
    QLineEdit* NewTextBox(const QString& name, const QString& hint, const QString& widestText);
    QLabel* NewLabel(const QString& name, const QString& caption, QWidget* buddy);

    bool ConvertPriceFile(const QString& fileName);
    bool ReadLastClose(const QString& workFile, float& lastClose, double& lastDate);
    QString LastCloseText(float lastClose, double lastDate) const;
    void ShowPriceFileData();
    void ProposeStrikes(float lastClose);
    void CheckContractButton(int contractType);
    void SelectModel(int index);
    void SetSymbolBox(QLineEdit* box, const QString& text);

    LocaleInfo locale_;
    QString tempDirectory_;
    QString asciiDataDir_;
    std::unique_ptr<Notifier> ownNotifier_;
    Notifier* notifier_ = nullptr;
    FileChooser fileChooser_;
    Beeper beeper_;
    Mode mode_ = Mode::Design;

    QString sourceFilePath_;
    QString workFilePath_;
    QString contractRoot_;
    QString symbolText_;
    // A page's strikes chosen one by one (not evenly spaced), and the strike
    // boxes' texts as shown for them: while the boxes keep those texts, the
    // series keeps its strikes.
    std::vector<float> listedStrikes_;
    std::array<QString, 3> listedBoxes_;

    QLineEdit* edNumStr_ = nullptr;
    QLineEdit* ed1stStr_ = nullptr;
    QLineEdit* edStrIncr_ = nullptr;
    QLineEdit* edNumExp_ = nullptr;
    std::array<QDateEdit*, 3> datePickers_{};
    std::array<QLabel*, 3> expiryLabels_{};
    QButtonGroup* rgModel_ = nullptr;
    QLabel* lblDivAmt_ = nullptr;
    QLineEdit* edDivAmt_ = nullptr;
    QLabel* lblDivDate_ = nullptr;
    QDateEdit* DatePickerDivDate_ = nullptr;
    QLabel* lblDivYld_ = nullptr;
    QLineEdit* edDivYld_ = nullptr;
    QLineEdit* edOSymbl_ = nullptr;
    QLineEdit* edUSymbl_ = nullptr;
    QButtonGroup* contractButtons_ = nullptr;
    QRadioButton* rbEquity_ = nullptr;
    QRadioButton* rbIndex_ = nullptr;
    QRadioButton* rbFuture_ = nullptr;
    QRadioButton* rbCurrency_ = nullptr;
    QLabel* lblCurData_ = nullptr;
    QPushButton* SetFileBtn_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

}  // namespace kestrava
