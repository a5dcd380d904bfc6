#pragma once
// The profit or loss table under the risk graph: one row per price (the
// legs' strikes, today's price and one and two expected moves either side),
// one column per date (today, the graph's middle date, each expiry of the
// legs); or, as its second view, one column per move of every leg's
// volatility (-10 to +10 points) at the chosen date. A column whose date
// comes after some legs' expiry is marked "*" and its tool tip says how
// those legs are taken.
// Ctrl+C copies the selected cells, or the whole table, as tab-separated
// text with the headings, the numbers as shown.

#include <QTableView>

#include "analysis/PnlTable.h"
#include "common/localeinfo.h"

namespace kestrava {

class PnlTableModel;

class PnlTableView : public QTableView {
    Q_OBJECT
public:
    explicit PnlTableView(const LocaleInfo& locale, QWidget* parent = nullptr);

    // underlying and move name the rows of today's price and of the
    // expected moves. The second column is the graph's middle date:
    // "Midway" to the first expiry, or "Date" when the user chose it.
    void ShowTable(const PnlTable& table, double underlying, double move, bool dateChosen);
    const PnlTable& Table() const;
    // The second view, shown in place of the table by date until ShowTable.
    void ShowVolTable(const PnlVolTable& table, double underlying, double move);
    const PnlVolTable& VolTable() const;
    bool ShowsVolTable() const;
    // What each column of the view shown says of legs expired before its
    // date (see SettledNote); empty strings for none.
    void SetColumnNotes(const QStringList& notes);

    // The selected cells (every cell when none is, or when not
    // selectionOnly) as they are shown, with
    // their column headings and, first on each row, the row's price;
    // tab-separated, rows end "\n".
    QString CopyText(bool selectionOnly = true) const;

private:
    LocaleInfo locale_;
    PnlTableModel* model_ = nullptr;
};

}  // namespace kestrava
