// The page "Поиск": search by name (left) and parametric selection (right).
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>
#include <vector>

#include "app/apputil.h"
#include "app/componentgrid.h"
#include "app/sdimain.h"
#include "base/selection.h"
#include "search/searchpage.h"

void TSDIAppForm::createSearchPage()
{
    QWidget* sheet = m_tabSheets[3];
    m_searchPage = new SearchPage(sheet);
    auto* lay = new QVBoxLayout(sheet);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(m_searchPage);

    SelectionGridView* grid = m_searchPage->stringGrid3();
    grid->setCellPainter([this](QPainter* p, const QStyleOptionViewItem& option, int row, int col) {
        StringGrid3DrawCell(p, option, row, col);
    });
    connect(m_searchPage->labeledEdit1(), &QLineEdit::textChanged, this, &TSDIAppForm::LabeledEdit1Change);
    connect(m_searchPage->listBox1(), &NameListView::doubleClickedAnywhere, this,
            &TSDIAppForm::ListBox1DblClick);
    connect(grid, &SelectionGridView::mouseDown, this, &TSDIAppForm::StringGrid3MouseDown);
    connect(grid, &SelectionGridView::cellSelected, this, &TSDIAppForm::StringGrid3SelectCell);
    connect(m_searchPage->bitBtn1(), &QPushButton::clicked, this, &TSDIAppForm::BitBtn1Click);
    connect(m_searchPage->bitBtn2(), &QPushButton::clicked, this, &TSDIAppForm::BitBtn2Click);
}

veltris::Table& TSDIAppForm::grid3()
{
    return m_searchPage->gridModel()->table();
}

const veltris::Table& TSDIAppForm::selectionGrid() const
{
    return m_searchPage->gridModel()->table();
}

int TSDIAppForm::searchRecord() const
{
    return currentRow() > 0 ? currentRow() : 1;
}

// ---- search by name ----

void TSDIAppForm::TabSheet4Show()
{
    FillNameList();
    FillSelectionGrid();
    ShowSearchCaptions();
}

void TSDIAppForm::FillNameList()
{
    const veltris::Table& t = m_base.table;
    QStringList names;
    names.reserve(std::max(0, t.rowCount() - 1));
    for (int r = 1; r < t.rowCount(); ++r)
        names << cpToQString(t.cell(r, 0));
    m_searchPage->nameModel()->setNames(std::move(names));
}

void TSDIAppForm::ShowSearchCaptions()
{
    const QString name = cpToQString(m_base.table.cell(searchRecord(), 0));
    m_searchPage->labeledEdit1Label()->setText(name);
    m_searchPage->staticText(1)->setText(QStringLiteral("Подбор по параметрам для ") + name);
}

void TSDIAppForm::LabeledEdit1Change(const QString& text)
{
    NameListModel* names = m_searchPage->nameModel();
    const int at = names->insertionIndex(text.toUpper());
    // Past the last entry nothing is selected.
    m_searchPage->listBox1()->selectRow(at < names->rowCount() ? at : -1);
}

void TSDIAppForm::ListBox1DblClick()
{
    const int selected = m_searchPage->listBox1()->selectedRow();
    if (selected < 0)
        return;
    const std::string name = qStringToCp(m_searchPage->nameModel()->entry(selected));
    // The list may still hold the names of the base before New: such a name finds no row.
    const int row = veltris::findComponentRow(m_base.table, name);
    if (row < 1)
        return;
    setCurrentCell(row, 1);
    FillSelectionGrid();
    ShowSearchCaptions();
}

// ---- parametric selection ----

void TSDIAppForm::selectionCellsChanged(int row)
{
    SelectionGridModel* model = m_searchPage->gridModel();
    model->cellChanged(row, 1);
    model->cellChanged(row, 3);
}

void TSDIAppForm::ResetSelectionBounds()
{
    veltris::Table& g = grid3();
    for (int r = 1; r < g.rowCount(); ++r) {
        g.setCell(r, 1, "0");
        g.setCell(r, 3, "0");
        selectionCellsChanged(r);
    }
}

void TSDIAppForm::FillSelectionGrid()
{
    veltris::Table& g = grid3();
    ResetSelectionBounds();
    g.setCell(0, 0, qStringToCp(QStringLiteral("Параметр")));
    g.setCell(0, 1, qStringToCp(QStringLiteral("От")));
    g.setCell(0, 2, {});
    g.setCell(0, 3, qStringToCp(QStringLiteral("До")));

    const veltris::Table& t = m_base.table;
    // Added rows start with empty bounds, which mean no bound as "0" does.
    g.setRowCount(std::max(1, t.columnCount()));
    const int record = searchRecord();
    for (int i = 1; i < t.columnCount(); ++i) {
        g.setCell(i, 0, t.cell(0, i));
        g.setCell(i, 2, veltris::referenceText(t.cell(record, i)));
    }
    m_searchPage->gridModel()->reset();
    // Every parameter name shows whole in the bold name column.
    QFont bold = m_searchPage->stringGrid3()->font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    int widest = 0;
    for (int i = 1; i < g.rowCount(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(oneLineTitle(g.cell(i, 0))));
    m_searchPage->stringGrid3()->setNameColumnWidth(widest + 5 + 4);
    // The rebuilt grid starts at its first parameter: a kept scroll would put another
    // parameter under the user's click.
    m_searchPage->stringGrid3()->scrollToTop();
}

void TSDIAppForm::clearSelectionGrid()
{
    veltris::Table& g = grid3();
    g.clearCells();
    m_searchPage->gridModel()->reset();
}

void TSDIAppForm::StringGrid3DrawCell(QPainter* painter, const QStyleOptionViewItem& option, int row,
                                      int col) const
{
    const veltris::Table& g = selectionGrid();
    const std::string& text = g.cell(row, col);
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    const QPalette& pal = option.palette;
    if (row == 0 || col == 0) {
        // The header's bevel is already the background here.
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(pal.color(QPalette::ButtonText));
        painter->drawText(option.rect.adjusted(5, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          oneLineTitle(text));
    } else {
        const bool focused = option.state & QStyle::State_HasFocus;
        const bool highlighted = (option.state & QStyle::State_Selected) && !focused;
        painter->fillRect(option.rect, pal.brush(highlighted ? QPalette::Highlight : QPalette::Base));
        painter->setFont(option.font);
        painter->setPen(pal.color(highlighted ? QPalette::HighlightedText : QPalette::Text));
        // "0" is no bound, or an empty reference value: both look blank.
        if (text != "0")
            painter->drawText(option.rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                              cpToQString(text));
        if (focused) {
            QStyleOptionFocusRect fr;
            fr.QStyleOption::operator=(option);
            fr.rect = option.rect.adjusted(1, 1, -1, -1);
            fr.state |= QStyle::State_KeyboardFocusChange;
            fr.backgroundColor = pal.color(QPalette::Base);
            const QWidget* w = option.widget;
            (w ? w->style() : style())->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, painter, w);
        }
    }
    painter->restore();
}

void TSDIAppForm::StringGrid3SelectCell(int /*row*/, int col)
{
    m_searchPage->stringGrid3()->setEditing(col == 1 || col == 3);
}

void TSDIAppForm::StringGrid3MouseDown(int row, int col)
{
    veltris::Table& g = grid3();
    if (col != 0 || row < 1 || row >= g.rowCount())
        return;
    const bool drawingRow = row == g.rowCount() - 1;
    const int p = SearchPage::spreadValue(m_searchPage->spinEdit1());
    const int q = SearchPage::spreadValue(m_searchPage->spinEdit2());
    auto bounds = veltris::boundsFromReference(g.cell(row, 2), p, q, drawingRow);
    if (!bounds) {
        showFrameworkError(QString::fromStdString(bounds.error().message));
        return;  // the row's bounds stay
    }
    g.setCell(row, 1, std::move(bounds->lower));
    g.setCell(row, 3, std::move(bounds->upper));
    selectionCellsChanged(row);
}

void TSDIAppForm::BitBtn1Click()
{
    ResetSelectionBounds();
}

void TSDIAppForm::BitBtn2Click()
{
    veltris::Table& g = grid3();
    std::vector<veltris::BoundTexts> bounds;
    bounds.reserve(static_cast<size_t>(std::max(0, g.rowCount() - 1)));
    for (int r = 1; r < g.rowCount(); ++r)
        bounds.push_back({g.cell(r, 1), g.cell(r, 3)});

    // Computed completely before anything changes: a text that does not convert leaves the
    // second table and the page as they were.
    auto result = veltris::selectComponents(m_base.table, bounds);
    if (!result) {
        showFrameworkError(QString::fromStdString(result.error().message));
        return;
    }
    if (result->noCriteria)
        rebuildSecondTable();
    else {
        veltris::fillSelectionTable(m_base, m_second, result->rows);
        refreshSecondTable();
    }
    showPage(1);
}
