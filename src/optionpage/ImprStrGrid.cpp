#include "optionpage/ImprStrGrid.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace kestrava {

// ---------------------------------------------------------------- GridCells

GridCells::GridCells(QObject* parent) : QAbstractTableModel(parent)
{
}

void GridCells::Resize(int rows, int cols)
{
    std::vector<QString> resized(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int r = 0; r < std::min(rows, rows_); ++r)
        for (int c = 0; c < std::min(cols, cols_); ++c)
            resized[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols)
                    + static_cast<std::size_t>(c)] = std::move(cells_[Index(c, r)]);
    cells_ = std::move(resized);
    rows_ = rows;
    cols_ = cols;
}

void GridCells::SetRowCount(int rows)
{
    rows = std::max(rows, 1);
    if (rows == rows_)
        return;
    // Model rows are the grid rows below the header row.
    const int oldModelRows = std::max(rows_ - 1, 0);
    const int newModelRows = rows - 1;
    if (newModelRows > oldModelRows) {
        beginInsertRows({}, oldModelRows, newModelRows - 1);
        Resize(rows, cols_);
        endInsertRows();
    } else if (newModelRows < oldModelRows) {
        beginRemoveRows({}, newModelRows, oldModelRows - 1);
        Resize(rows, cols_);
        endRemoveRows();
    } else {
        Resize(rows, cols_);
    }
}

void GridCells::SetColCount(int cols)
{
    cols = std::max(cols, 1);
    if (cols == cols_)
        return;
    if (cols > cols_) {
        beginInsertColumns({}, cols_, cols - 1);
        Resize(rows_, cols);
        endInsertColumns();
    } else {
        beginRemoveColumns({}, cols, cols_ - 1);
        Resize(rows_, cols);
        endRemoveColumns();
    }
}

QString GridCells::Cell(int col, int row) const
{
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_)
        return {};
    return cells_[Index(col, row)];
}

void GridCells::SetCell(int col, int row, const QString& text)
{
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_)
        return;
    QString& cell = cells_[Index(col, row)];
    if (cell == text)
        return;
    cell = text;
    if (batchDepth_ > 0) {
        (row == 0 ? batchTouchedHeader_ : batchTouchedData_) = true;
    } else if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex at = index(row - 1, col);
        emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
    }
    if (row == 0 || col == 0)
        emit fixedTextChanged(col, row);
}

void GridCells::BeginBatch()
{
    ++batchDepth_;
}

void GridCells::EndBatch()
{
    if (batchDepth_ == 0 || --batchDepth_ > 0)
        return;
    if (batchTouchedHeader_)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    if (batchTouchedData_ && rows_ > 1)
        emit dataChanged(index(0, 0), index(rows_ - 2, cols_ - 1), {Qt::DisplayRole, Qt::EditRole});
    batchTouchedHeader_ = false;
    batchTouchedData_ = false;
}

void GridCells::SetEditableColumns(std::vector<int> columns)
{
    editableColumns_ = std::move(columns);
}

int GridCells::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max(rows_ - 1, 0);
}

int GridCells::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : cols_;
}

QVariant GridCells::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Cell(index.column(), index.row() + 1);
    case Qt::TextAlignmentRole:
        return index.column() == 0 ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool GridCells::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    SetCell(index.column(), index.row() + 1, value.toString());
    emit cellEdited(index.column(), index.row() + 1, value.toString());
    return true;
}

QVariant GridCells::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return Cell(section, 0);
    return section + 1;
}

Qt::ItemFlags GridCells::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The fixed column is shown, never selected or edited.
    if (index.column() == 0)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (std::find(editableColumns_.begin(), editableColumns_.end(), index.column()) != editableColumns_.end())
        result |= Qt::ItemIsEditable;
    return result;
}

// ---------------------------------------------------------- FixedHeaderView

FixedHeaderView::FixedHeaderView(TImpStrGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Fixed);
    setMinimumSectionSize(1);
}

void FixedHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    painter->fillRect(rect, grid_->FixedColor());
    QStyleOptionViewItem option;
    option.initFrom(grid_);
    const QColor lineColor = QColor::fromRgba(
        static_cast<QRgb>(grid_->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, grid_)));
    painter->setPen(lineColor);
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    const QString text = grid_->CellText(logicalIndex, 0);
    if (!text.isEmpty()) {
        painter->setFont(grid_->FixedFont());
        painter->setPen(grid_->FixedFontColor());
        const int m = TImpStrGrid::kTextMargin;
        painter->drawText(rect.adjusted(m, m, -m, -m), Qt::AlignCenter | Qt::TextWordWrap,
                          TImpStrGrid::DisplayText(text));
    }
    painter->restore();
}

// ---------------------------------------------------------- TwoToneDelegate

TwoToneDelegate::TwoToneDelegate(TImpStrGrid* grid) : QStyledItemDelegate(grid), grid_(grid)
{
}

void TwoToneDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const int row = index.row() + 1;
    const bool fixed = index.column() == 0;
    const QString text = grid_->CellText(index.column(), row);
    const int m = TImpStrGrid::kTextMargin;
    painter->save();
    if (fixed) {
        painter->fillRect(option.rect, grid_->FixedColor());
        if (!text.isEmpty()) {
            // Strike labels are padded to one width: left-aligned, their
            // letters and numbers line up from row to row, which centring in a
            // proportional font would undo.
            painter->setFont(grid_->FixedFont());
            painter->setPen(grid_->FixedFontColor());
            painter->drawText(option.rect.adjusted(m, m, -m, -m),
                              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                              TImpStrGrid::DisplayText(text));
        }
    } else {
        // The band colour stays under a selection, so calls and puts always
        // read as two blocks; the current cell gets a frame instead.
        painter->fillRect(option.rect, row < grid_->Offset() ? grid_->LightColor() : grid_->DarkColor());
        if (!text.isEmpty()) {
            painter->setFont(grid_->font());
            painter->setPen(grid_->ColFontColor());
            painter->drawText(option.rect.adjusted(m, 0, -m, 0),
                              Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text);
        }
        if (option.state & QStyle::State_Selected) {
            QColor frame = grid_->palette().color(QPalette::Highlight);
            painter->setPen(QPen(frame, 2));
            const QRect r = option.rect.adjusted(0, 1, 0, -1);
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.bottomLeft(), r.bottomRight());
        }
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(grid_->ColFontColor(), 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        }
    }
    painter->restore();
}

QWidget* TwoToneDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    editor->setFont(grid_->font());
    return editor;
}

void TwoToneDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    // Typing into a cell replaces its text; F2 or a double click edits the
    // number without the blank that keeps it off the border.
    line->setText(index.data(Qt::EditRole).toString().trimmed());
}

// -------------------------------------------------------------- TImpStrGrid

TImpStrGrid::TImpStrGrid(QWidget* parent)
    : QTableView(parent),
      cells_(new GridCells(this)),
      header_(new FixedHeaderView(this)),
      delegate_(new TwoToneDelegate(this))
{
    cells_->SetColCount(5);
    cells_->SetRowCount(5);
    setModel(cells_);
    setHorizontalHeader(header_);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setItemDelegate(delegate_);
    // The columns fill the grid's width; only on a screen too narrow for
    // their least widths does the grid scroll sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    fixedFont_ = font();
    fixedFont_.setBold(true);
    SetDefaultRowHeight(defaultRowHeight_);
    SetDefaultColWidth(defaultColWidth_);
    connect(cells_, &GridCells::fixedTextChanged, this, &TImpStrGrid::GrowForFixedCell);
    connect(header_, &QHeaderView::sectionResized, this, [this] { GrowFixedRows(); });
}

void TImpStrGrid::SetRowCount(int rows)
{
    const int old = RowCount();
    cells_->SetRowCount(rows);
    for (int r = std::max(old, 1); r < RowCount(); ++r)
        setRowHeight(r - 1, defaultRowHeight_);
}

void TImpStrGrid::SetColCount(int cols)
{
    const int old = ColCount();
    cells_->SetColCount(cols);
    for (int c = old; c < ColCount(); ++c)
        setColumnWidth(c, defaultColWidth_);
}

int TImpStrGrid::RowHeight(int row) const
{
    if (row == 0)
        return headerHeight_;
    return rowHeight(row - 1);
}

void TImpStrGrid::SetRowHeight(int row, int height)
{
    if (row == 0) {
        headerHeight_ = height;
        header_->setFixedHeight(height);
    } else if (row > 0 && row < RowCount()) {
        setRowHeight(row - 1, height);
    }
}

int TImpStrGrid::ColWidth(int col) const
{
    return columnWidth(col);
}

void TImpStrGrid::SetColWidth(int col, int width)
{
    setColumnWidth(col, std::max(width, 1));
}

void TImpStrGrid::SetDefaultRowHeight(int height)
{
    defaultRowHeight_ = std::max(height, 1);
    verticalHeader()->setDefaultSectionSize(defaultRowHeight_);
    for (int r = 0; r < RowCount(); ++r)
        SetRowHeight(r, defaultRowHeight_);
    GrowFixedRows();
}

void TImpStrGrid::SetDefaultColWidth(int width)
{
    defaultColWidth_ = std::max(width, 1);
    header_->setDefaultSectionSize(defaultColWidth_);
    for (int c = 0; c < ColCount(); ++c)
        setColumnWidth(c, defaultColWidth_);
    GrowFixedRows();
}

void TImpStrGrid::RepaintAll()
{
    ++repaintRequests_;
    viewport()->update();
    header_->viewport()->update();
}

void TImpStrGrid::SetLightColor(const QColor& color)
{
    if (color == lightColor_)
        return;
    lightColor_ = color;
    RepaintAll();
}

void TImpStrGrid::SetDarkColor(const QColor& color)
{
    if (color == darkColor_)
        return;
    darkColor_ = color;
    RepaintAll();
}

void TImpStrGrid::SetGridLineColor(const QColor& color)
{
    if (color == gridLineColor_)
        return;
    gridLineColor_ = color;
    RepaintAll();
}

void TImpStrGrid::SetFixedColor(const QColor& color)
{
    if (color == fixedColor_)
        return;
    fixedColor_ = color;
    RepaintAll();
}

void TImpStrGrid::SetColFontColor(const QColor& color)
{
    if (color == colFontColor_)
        return;
    colFontColor_ = color;
    RepaintAll();
}

void TImpStrGrid::SetFixedJustify(int justify)
{
    if (justify == fixedJustify_)
        return;
    fixedJustify_ = justify;
    RepaintAll();
}

void TImpStrGrid::SetJustify(int justify)
{
    if (justify == justify_)
        return;
    justify_ = justify;
    RepaintAll();
}

void TImpStrGrid::SetOffset(int offset)
{
    if (offset == offset_)
        return;
    offset_ = offset;
    RepaintAll();
}

void TImpStrGrid::SetFixedFont(const QFont& font)
{
    if (font == fixedFont_)
        return;
    fixedFont_ = font;
    GrowFixedRows();
    RepaintAll();
}

QString TImpStrGrid::DisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Further lines keep the first line's indent, so an option code starts
    // under its strike label.
    qsizetype indent = 0;
    while (indent < shown.size() && shown.at(indent) == QLatin1Char(' '))
        ++indent;
    if (indent > 0 && indent < shown.size())
        shown.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(indent, QLatin1Char(' ')));
    return shown;
}

int TImpStrGrid::FixedTextHeight(int col, const QString& text) const
{
    if (text.isEmpty())
        return 0;
    const int width = std::max(ColWidth(col) - 2 * kTextMargin, 1);
    const QRect measured = QFontMetrics(fixedFont_)
                               .boundingRect(QRect(0, 0, width, 1 << 16), Qt::AlignHCenter | Qt::TextWordWrap,
                                             DisplayText(text));
    return measured.height() + 2 * kTextMargin;
}

int TImpStrGrid::FixedTextWidth(const QString& text) const
{
    const QFontMetrics metrics(fixedFont_);
    int widest = 0;
    for (const QString& line : DisplayText(text).split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest + 2 * kTextMargin + 1;
}

void TImpStrGrid::GrowForFixedCell(int col, int row)
{
    const int needed = FixedTextHeight(col, CellText(col, row));
    if (RowHeight(row) < needed)
        SetRowHeight(row, needed + 1);
}

void TImpStrGrid::GrowFixedRows()
{
    for (int c = 0; c < ColCount(); ++c)
        GrowForFixedCell(c, 0);
    for (int r = 1; r < RowCount(); ++r)
        GrowForFixedCell(0, r);
}

void TImpStrGrid::keyboardSearch(const QString&)
{
    // Typing never jumps to a cell: outside the bid and ask cells it does
    // nothing.
}

bool TImpStrGrid::CommitEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return false;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

}  // namespace kestrava
