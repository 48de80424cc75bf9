#include "search/searchpage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QValidator>
#include <algorithm>
#include <numeric>

#include "base/cp1251.h"
#include "base/selection.h"
#include "document/document.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"
#include "widgets/fixedcorner.h"
#include "widgets/gridcell.h"
#include "widgets/uppercasevalidator.h"

// ---- the page ----

SearchPage::SearchPage(Document& document, QWidget* parent) : QFrame(parent), m_document(document)
{
    setObjectName(QStringLiteral("searchPage"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);  // lowered inner and outer bevels

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setGeometry(16, 32, 297, 24);
    m_nameEdit->setValidator(new UpperCaseValidator(m_nameEdit));
    m_nameLabel = new QLabel(this);
    m_nameLabel->setObjectName(QStringLiteral("nameLabel"));
    m_nameLabel->setGeometry(16, 32 - 3 - 16, 297, 16);  // above the edit, 3 pixels apart
    m_nameLabel->setBuddy(m_nameEdit);

    m_nameList = new NameListView(this);
    m_nameList->setObjectName(QStringLiteral("nameList"));
    m_nameList->setGeometry(16, 64, 297, 545);

    const char* const captionNames[4] = {"selectionTitle", "lowerSpreadCaption", "upperSpreadCaption",
                                         "percentCaption"};
    for (int i = 0; i < 4; ++i) {
        m_captions[i] = new QLabel(this);
        m_captions[i]->setObjectName(QLatin1String(captionNames[i]));
    }
    m_captions[0]->setText(QStringLiteral("Подбор по параметрам для "));
    m_captions[0]->setGeometry(352, 32, 585, 17);
    // Each caption of the spread line starts at its place; one that the font makes wider than
    // the room before the next spin box moves left instead of hiding under it.
    const auto caption = [this](int n, const QString& text, int left, int roomRight) {
        QLabel* label = m_captions[n - 1];
        label->setText(text);
        label->adjustSize();
        const int width = label->width();
        label->setGeometry(std::min(left, roomRight - width), 466, width, 17);
    };
    caption(2, QStringLiteral("Разброс параметров от  -"), 504, 656 - 2);
    caption(3, QStringLiteral("%  до   +"), 713, 768 - 2);
    caption(4, QStringLiteral("%"), 826, 937);

    m_grid = new SelectionGridView(this);
    m_grid->setObjectName(QStringLiteral("selectionGrid"));
    m_grid->setGeometry(352, 64, 585, 377);
    m_grid->setGridModel(new SelectionGridModel(m_grid));

    const auto spread = [this](const char* name, int left) {
        auto* spin = new QSpinBox(this);
        spin->setObjectName(QLatin1String(name));
        spin->setRange(0, 100);
        spin->setValue(10);
        spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        spin->setGeometry(left, 464, 49, 22);
        return spin;
    };
    m_lowerSpread = spread("lowerSpread", 656);
    m_upperSpread = spread("upperSpread", 768);

    m_clearButton = new QPushButton(QStringLiteral("Очистить"), this);
    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    m_clearButton->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    m_clearButton->setGeometry(824, 504, 89, 33);
    m_applyButton = new QPushButton(QStringLiteral("Применить"), this);
    m_applyButton->setObjectName(QStringLiteral("applyButton"));
    m_applyButton->setGeometry(824, 552, 89, 33);

    setHelpContext(this, HelpTopic::SearchPage);
    for (QWidget* w : findChildren<QWidget*>())
        setHelpContext(w, HelpTopic::SearchPage);

    m_grid->setCellPainter([this](QPainter* p, const QStyleOptionViewItem& option, int row, int col) {
        paintSelectionCell(p, option, row, col);
    });
    connect(m_nameEdit, &QLineEdit::textChanged, this, &SearchPage::findName);
    connect(m_nameList, &NameListView::doubleClickedAnywhere, this, &SearchPage::goToSelectedName);
    // Enter chooses the name as a double-click does, in the list and in the name edit above it.
    connect(m_nameList, &NameListView::enterPressed, this, &SearchPage::goToSelectedName);
    connect(m_nameEdit, &QLineEdit::returnPressed, this, &SearchPage::goToSelectedName);
    connect(m_grid, &SelectionGridView::mouseDown, this, &SearchPage::boundsFromReference);
    // Only the bound columns take typed text.
    connect(m_grid, &SelectionGridView::cellSelected, this,
            [this](int, int col) { m_grid->setEditing(col == 1 || col == 3); });
    connect(m_clearButton, &QPushButton::clicked, this, &SearchPage::clearBounds);
    connect(m_applyButton, &QPushButton::clicked, this, &SearchPage::applySelection);
    // Bounds typed for one base mean nothing for another, nor for other columns.
    connect(&m_document, &Document::baseReplaced, this, [this] { m_boundsBelongToBase = false; });
    connect(&m_document, &Document::mainColumnsChanged, this, [this] { m_boundsBelongToBase = false; });
    fitMinimumSize();
}

void SearchPage::fitMinimumSize()
{
    // Every control with the page's own margin (16 pixels, as on the left) to its right and below.
    QRect used;
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        used |= w->geometry();
    setMinimumSize(used.right() + 1 + 16, used.bottom() + 1 + 16);
}

QLabel* SearchPage::caption(int n) const
{
    return n >= 1 && n <= 4 ? m_captions[n - 1] : nullptr;
}

int SearchPage::spreadValue(const QSpinBox* spin)
{
    bool ok = false;
    const int v = spin->cleanText().trimmed().toInt(&ok);
    return ok ? std::clamp(v, 0, 100) : 0;
}

// ---- the page's work ----

veltris::Table& SearchPage::grid()
{
    return gridModel()->table();
}

const veltris::Table& SearchPage::selectionGrid() const
{
    return gridModel()->table();
}

int SearchPage::searchRecord() const
{
    const int row = m_document.currentRecord();
    return row > 0 ? row : 1;
}

// ---- search by name ----

void SearchPage::refill()
{
    fillNameList();
    fillSelectionGrid();
    showCaptions();
}

void SearchPage::fillNameList()
{
    const veltris::Table& t = m_document.base().table;
    QStringList names;
    names.reserve(std::max(0, t.rowCount() - 1));
    for (int r = 1; r < t.rowCount(); ++r)
        names << cpToQString(t.cell(r, 0));
    nameModel()->setNames(std::move(names));
}

void SearchPage::showCaptions()
{
    const QString name = cpToQString(m_document.base().table.cell(searchRecord(), 0));
    m_nameLabel->setText(name);
    m_captions[0]->setText(QStringLiteral("Подбор по параметрам для ") + name);
}

void SearchPage::findName(const QString& text)
{
    NameListModel* names = nameModel();
    const int at = names->insertionIndex(text.toUpper());
    // Past the last entry nothing is selected.
    m_nameList->selectRow(at < names->rowCount() ? at : -1);
}

void SearchPage::goToSelectedName()
{
    const int selected = m_nameList->selectedRow();
    if (selected < 0)
        return;
    const std::string name = qStringToCp(nameModel()->entry(selected));
    // The list may still hold the names of the base before New: such a name finds no row.
    const int row = veltris::findComponentRow(m_document.base().table, name);
    if (row < 1)
        return;
    m_document.setCurrentRecord(row, 1);
    fillSelectionGrid();
    showCaptions();
}

// ---- parametric selection ----

void SearchPage::boundCellsChanged(int row)
{
    SelectionGridModel* model = gridModel();
    model->cellChanged(row, 1);
    model->cellChanged(row, 3);
}

void SearchPage::clearBounds()
{
    veltris::Table& g = grid();
    for (int r = 1; r < g.rowCount(); ++r) {
        g.setCell(r, 1, "0");
        g.setCell(r, 3, "0");
        boundCellsChanged(r);
    }
}

void SearchPage::fillSelectionGrid()
{
    veltris::Table& g = grid();
    // The bounds typed for the open base stay when the page is filled again (the user came back,
    // or chose another record); another base or other columns start with none.
    std::vector<std::pair<std::string, std::string>> kept;
    if (m_boundsBelongToBase)
        for (int r = 1; r < g.rowCount(); ++r)
            kept.emplace_back(g.cell(r, 1), g.cell(r, 3));
    clearBounds();
    g.setCell(0, 0, qStringToCp(QStringLiteral("Параметр")));
    g.setCell(0, 1, qStringToCp(QStringLiteral("От")));
    g.setCell(0, 2, {});
    g.setCell(0, 3, qStringToCp(QStringLiteral("До")));

    const veltris::Table& t = m_document.base().table;
    // Added rows start with empty bounds, which mean no bound as "0" does.
    g.setRowCount(std::max(1, t.columnCount()));
    const int record = searchRecord();
    for (int i = 1; i < t.columnCount(); ++i) {
        g.setCell(i, 0, t.cell(0, i));
        g.setCell(i, 2, veltris::referenceText(t.cell(record, i)));
    }
    if (static_cast<int>(kept.size()) == g.rowCount() - 1)
        for (int r = 1; r < g.rowCount(); ++r) {
            g.setCell(r, 1, kept[static_cast<size_t>(r - 1)].first);
            g.setCell(r, 3, kept[static_cast<size_t>(r - 1)].second);
        }
    m_boundsBelongToBase = true;
    gridModel()->reset();
    // Every parameter name shows whole in the bold name column.
    QFont bold = m_grid->font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    int widest = 0;
    for (int i = 1; i < g.rowCount(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(oneLineTitle(g.cell(i, 0))));
    m_grid->setNameColumnWidth(widest + 5 + 4);
    fitMinimumSize();
    // The rebuilt grid starts at its first parameter: a kept scroll would put another
    // parameter under the user's click.
    m_grid->scrollToTop();
}

void SearchPage::clearSelectionGrid()
{
    veltris::Table& g = grid();
    g.clearCells();
    gridModel()->reset();
}

void SearchPage::paintSelectionCell(QPainter* painter, const QStyleOptionViewItem& option, int row,
                                    int col) const
{
    const veltris::Table& g = selectionGrid();
    const std::string& text = g.cell(row, col);
    if (row == 0 || col == 0) {
        // The header's bevel is already the background here.
        painter->save();
        painter->setClipRect(option.rect, Qt::IntersectClip);
        const QPalette& pal = option.palette;
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(pal.color(QPalette::ButtonText));
        painter->drawText(option.rect.adjusted(5, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          oneLineTitle(text));
        painter->restore();
    } else {
        // "0" is no bound, or an empty reference value: both look blank.
        paintGridCell(painter, option, text == "0" ? QString() : cpToQString(text));
    }
}

void SearchPage::boundsFromReference(int row, int col)
{
    veltris::Table& g = grid();
    if (col != 0 || row < 1 || row >= g.rowCount())
        return;
    const bool drawingRow = row == g.rowCount() - 1;
    const int p = spreadValue(m_lowerSpread);
    const int q = spreadValue(m_upperSpread);
    auto bounds = veltris::boundsFromReference(g.cell(row, 2), p, q, drawingRow);
    if (!bounds) {
        // Name the parameter whose reference value does not read.
        veltris::Error error = bounds.error();
        error.message = "Столбец «" + oneLineTitle(g.cell(row, 0)).toStdString() + "»: " + error.message;
        showErrorBox(m_document.ui(), window(), error, ErrorSource::Command);
        return;  // the row's bounds stay
    }
    g.setCell(row, 1, std::move(bounds->lower));
    g.setCell(row, 3, std::move(bounds->upper));
    boundCellsChanged(row);
}

void SearchPage::applySelection()
{
    veltris::Table& g = grid();
    std::vector<veltris::BoundTexts> bounds;
    bounds.reserve(static_cast<size_t>(std::max(0, g.rowCount() - 1)));
    // The grid keeps Windows-1251 texts; the selection reads what was typed as UTF-8.
    for (int r = 1; r < g.rowCount(); ++r)
        bounds.push_back({veltris::cp1251ToUtf8(g.cell(r, 1)), veltris::cp1251ToUtf8(g.cell(r, 3))});

    // Computed completely before anything changes: a text that does not convert leaves the
    // second table and the page as they were.
    auto result = veltris::selectComponents(m_document.base().table, bounds);
    if (!result) {
        showErrorBox(m_document.ui(), window(), result.error(), ErrorSource::Command);
        return;
    }
    if (result->noCriteria)
        m_document.rebuildSecondTable();
    else
        m_document.showSelection(result->rows);
    emit selectionApplied();
}
