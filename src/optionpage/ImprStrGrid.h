#pragma once
// The option page's string grid. Data rows read as two colour bands split at
// Offset (calls above, puts from Offset on); the fixed header row and fixed
// first column use a font of their own, wrap their text onto several lines
// and make their row tall enough for it; data text is right-aligned on one
// line.
//
// Cells are addressed as in a string grid: column c, row r, row 0 being the
// header row and column 0 the fixed column. The view shows row 0 in its
// horizontal header, so the header stays in place while the rows scroll.

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

#include <vector>

namespace kestrava {

// The texts of every cell, row 0 and column 0 included. The model's rows are
// the grid rows 1 and below; row 0 is its horizontal header data.
class GridCells : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridCells(QObject* parent = nullptr);

    int RowCount() const { return rows_; }
    void SetRowCount(int rows);
    int ColCount() const { return cols_; }
    void SetColCount(int cols);

    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    // While a batch is open, SetCell records the change and one notification
    // covers the whole batch when it ends.
    void BeginBatch();
    void EndBatch();

    // Data cells of these columns can be edited.
    void SetEditableColumns(std::vector<int> columns);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A fixed cell (row 0 or column 0) got a new text.
    void fixedTextChanged(int col, int row);
    // The user's text of an edited cell was handed over (Enter, Tab, the
    // focus leaving the editor, CommitEdit); texts set by code are not.
    void cellEdited(int col, int row, const QString& text);

private:
    std::size_t Index(int col, int row) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_)
               + static_cast<std::size_t>(col);
    }
    void Resize(int rows, int cols);

    int rows_ = 0;
    int cols_ = 0;
    std::vector<QString> cells_;
    std::vector<int> editableColumns_;
    int batchDepth_ = 0;
    bool batchTouchedData_ = false;
    bool batchTouchedHeader_ = false;
};

// One batch of cell changes for its lifetime, closed also when an exception
// leaves the scope.
class GridBatch {
public:
    explicit GridBatch(GridCells* cells) : cells_(cells) { cells_->BeginBatch(); }
    ~GridBatch() { cells_->EndBatch(); }
    GridBatch(const GridBatch&) = delete;
    GridBatch& operator=(const GridBatch&) = delete;

private:
    GridCells* cells_;
};

class TImpStrGrid;

// Paints the header row: fixed colour, FixedFont, centred text wrapped from
// the top.
class FixedHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit FixedHeaderView(TImpStrGrid* grid);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    TImpStrGrid* grid_;
};

// Paints the fixed column in the fixed colour and font, its labels
// left-aligned so they line up, and the data cells in their band colour;
// edits bid and ask texts in a right-aligned line edit.
class TwoToneDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TwoToneDelegate(TImpStrGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

private:
    TImpStrGrid* grid_;
};

class TImpStrGrid : public QTableView {
    Q_OBJECT
public:
    explicit TImpStrGrid(QWidget* parent = nullptr);

    GridCells* Cells() const { return cells_; }
    QString CellText(int col, int row) const { return cells_->Cell(col, row); }
    void SetCellText(int col, int row, const QString& text) { cells_->SetCell(col, row, text); }

    int RowCount() const { return cells_->RowCount(); }
    void SetRowCount(int rows);
    int ColCount() const { return cells_->ColCount(); }
    void SetColCount(int cols);

    // Row 0 is the header row.
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    void SetDefaultRowHeight(int height);
    void SetDefaultColWidth(int width);

    // The band colours and the rest of the drawing properties. Each setter
    // repaints the whole grid when, and only when, the value changes.
    QColor LightColor() const { return lightColor_; }
    void SetLightColor(const QColor& color);
    QColor DarkColor() const { return darkColor_; }
    void SetDarkColor(const QColor& color);
    void SetGridLineColor(const QColor& color);
    QColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(const QColor& color);
    QColor ColFontColor() const { return colFontColor_; }
    void SetColFontColor(const QColor& color);
    void SetFixedJustify(int justify);
    void SetJustify(int justify);
    // First grid row painted in DarkColor.
    int Offset() const { return offset_; }
    void SetOffset(int offset);

    // The fixed cells keep dark text on their light colour under any theme.
    QColor FixedFontColor() const { return Qt::black; }
    QFont FixedFont() const { return fixedFont_; }
    // Copies the font; any change of the fixed font repaints and measures the
    // fixed cells again.
    void SetFixedFont(const QFont& font);

    // How many times a setter asked for a repaint of the whole grid.
    int RepaintRequests() const { return repaintRequests_; }

    // Height a fixed cell of this column needs for text, wrapped and centred
    // in FixedFont.
    int FixedTextHeight(int col, const QString& text) const;
    // Width the fixed cell needs to show every line of text unwrapped.
    int FixedTextWidth(const QString& text) const;
    // Grows the rows whose fixed cells need more height; rows never shrink.
    void GrowFixedRows();

    // A text shown in a cell: line breaks as typed by the series ("\r") become
    // line breaks of the painter, and further lines take the first line's
    // leading blanks.
    static QString DisplayText(const QString& text);

    static constexpr int kTextMargin = 2;

    // Hands the text of an open cell editor to its cell (cellEdited) and
    // closes the editor, as Enter does. False when no editor is open.
    bool CommitEdit();

    void keyboardSearch(const QString& search) override;

private:
    void RepaintAll();
    void GrowForFixedCell(int col, int row);

    GridCells* cells_;
    FixedHeaderView* header_;
    TwoToneDelegate* delegate_;
    QColor lightColor_{Qt::black};
    QColor darkColor_{Qt::black};
    QColor gridLineColor_{Qt::black};
    QColor fixedColor_{255, 251, 240};
    QColor colFontColor_{Qt::black};
    int fixedJustify_ = 0;
    int justify_ = 0;
    int offset_ = 0;
    QFont fixedFont_;
    int headerHeight_ = 24;
    int defaultRowHeight_ = 24;
    int defaultColWidth_ = 64;
    int repaintRequests_ = 0;
};

}  // namespace kestrava
