#include "search/navigatorwindow.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QValidator>
#include <algorithm>

#include "base/devicetype.h"
#include "document/document.h"
#include "search/navigatorlistmodel.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/uppercasevalidator.h"

namespace {

// Items of a fixed height; the component list hands its painting to the window.
class NavItemDelegate : public QStyledItemDelegate {
public:
    NavItemDelegate(NavigatorWindow* window, bool ownerDrawn, QObject* parent)
        : QStyledItemDelegate(parent), m_window(window), m_ownerDrawn(ownerDrawn)
    {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), NavigatorWindow::kItemHeight};
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_ownerDrawn)
            m_window->paintComponentItem(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
    }

private:
    NavigatorWindow* m_window;
    bool m_ownerDrawn;
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

NavigatorWindow::NavigatorWindow(Document& document, QWidget* parent) : QDialog(parent), m_document(document)
{
    setUpFixedDialog(this, "navigatorWindow", QStringLiteral("Навигатор"));
    // A bold face with 13-pixel cells (ascent and descent), that is about 11 pixels to the em.
    QFont f = veltrisFont();
    f.setPixelSize(11);
    f.setBold(true);
    setFont(f);
    setFixedSize(553, 448);
    setHelpContext(this, HelpTopic::Navigator);

    // Created in tab order.
    m_typeLabel = makeLabel(this, "typeLabel", QStringLiteral("Тип прибора"), 8, 8);
    m_typeList = new QListWidget(this);
    m_typeList->setObjectName(QStringLiteral("typeList"));
    m_typeList->setGeometry(8, 32, 185, 257);
    m_typeList->setUniformItemSizes(true);
    m_typeList->setItemDelegate(new NavItemDelegate(this, false, m_typeList));
    m_typeList->addItem(QStringLiteral("Все приборы"));
    for (int code = 1; code <= 7; ++code)
        m_typeList->addItem(QString::fromUtf8(veltris::deviceTypeCaption(code)));

    m_quickSearchLabel = makeLabel(this, "quickSearchLabel", QStringLiteral("Быстрый поиск"), 208, 8);
    m_quickSearch = new QLineEdit(this);
    m_quickSearch->setObjectName(QStringLiteral("quickSearch"));
    m_quickSearch->setGeometry(208, 32, 177, 24);
    m_quickSearch->setValidator(new UpperCaseValidator(m_quickSearch));

    m_model = new NavigatorListModel(this);
    m_componentList = new QListView(this);
    m_componentList->setObjectName(QStringLiteral("componentList"));
    m_componentList->setGeometry(208, 64, 177, 225);
    m_componentList->setUniformItemSizes(true);  // one height for all: no per-item layout of 100,000 rows
    m_componentList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Ctrl and Shift select several: they can be compared side by side.
    m_componentList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_componentList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_componentList->setItemDelegate(new NavItemDelegate(this, true, m_componentList));
    m_componentList->setModel(m_model);

    m_descriptionLabel = makeLabel(this, "descriptionLabel", QStringLiteral("Описание базы"), 8, 304);
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setGeometry(8, 328, 537, 113);
    m_description->setReadOnly(true);
    m_description->setEnabled(false);
    {
        // Display only, yet readable: the disabled grey of this style is too faint for a text
        // the user came to read.
        QPalette pal = m_description->palette();
        pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
        m_description->setPalette(pal);
    }

    m_closeButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Закрыть"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setGeometry(416, 40, 121, 41);
    m_helpButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton), QStringLiteral("&Помощь"), this);
    m_helpButton->setObjectName(QStringLiteral("helpButton"));
    m_helpButton->setGeometry(416, 96, 121, 41);
    for (QPushButton* b : {m_closeButton, m_helpButton}) {
        b->setAutoDefault(false);  // Enter in the quick search must not close the window
        b->setIconSize(QSize(16, 16));
    }

    connect(m_typeList, &QListWidget::currentRowChanged, this, &NavigatorWindow::showChosenType);
    // Every click refills the list, also one on the type already chosen (it clears the quick
    // search); a click that changes the type has refilled it already.
    connect(m_typeList, &QListWidget::clicked, this, [this](const QModelIndex& index) {
        if (index.row() == m_typeRowAtPress && index.row() == m_typeList->currentRow())
            showChosenType();
    });
    connect(m_quickSearch, &QLineEdit::textChanged, this, &NavigatorWindow::findQuickSearchText);
    connect(m_componentList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &NavigatorWindow::showDescription);
    connect(m_componentList, &QAbstractItemView::clicked, this, &NavigatorWindow::showDescription);
    connect(m_componentList, &QAbstractItemView::doubleClicked, this, &NavigatorWindow::openChosenBase);
    connect(m_componentList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_componentList->indexAt(at);
        if (!index.isValid())
            return;
        if (!m_componentList->selectionModel()->isSelected(index))
            m_componentList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        QMenu menu(this);
        QAction* compare = menu.addAction(QStringLiteral("Сравнить выделенные…"));
        compare->setToolTip(QStringLiteral("Текущий прибор — образец"));
        if (menu.exec(m_componentList->viewport()->mapToGlobal(at)) == compare)
            emit compareRequested(selectedParts());
    });
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_helpButton, &QPushButton::clicked, this, &NavigatorWindow::showHelp);

    m_typeList->viewport()->installEventFilter(this);
    // F1 belongs to this window, not to a shortcut of the program.
    installKeyPreview(this,
                      [this](QWidget* target, QKeyEvent* event) {
                          return handleHelpKey(event) || handleEnterKey(target, event);
                      },
                      {Qt::Key_F1});

    // The catalogue is complete before any dialog exists and never changes afterwards.
    m_model->setCatalogue(m_document.application().navigatorCatalogue());
    if (m_typeList->currentRow() == 0)
        showChosenType();
    else
        m_typeList->setCurrentRow(0);  // runs showChosenType
}

// ---- handlers ----

void NavigatorWindow::showChosenType()
{
    const int type = std::max(m_typeList->currentRow(), 0);
    m_model->clear();
    m_description->clear();
    m_quickSearch->clear();
    m_model->showType(type);
    m_componentList->scrollToTop();  // a new list starts at its first item
}

void NavigatorWindow::findQuickSearchText()
{
    const QString text = m_quickSearch->text().toUpper();
    int row = m_model->insertionRow(text);
    // Where no name begins with the text, it may be a name typed in Latin letters ("kt315b"):
    // read as on the page «Замена», it finds the Cyrillic one.
    if (!text.isEmpty() && !(row < m_model->rowCount() && m_model->nameStartsWith(row, text))) {
        const int lookAlike = m_model->lookAlikeRow(text);
        if (lookAlike >= 0)
            row = lookAlike;
    }
    if (row < m_model->rowCount()) {
        const QModelIndex index = m_model->index(row);
        m_componentList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_componentList->scrollTo(index);
    } else {
        // Past every item: nothing is selected.
        m_componentList->selectionModel()->clear();
    }
    showDescription();
}

int NavigatorWindow::selectedRow() const
{
    // With several selected, the current one is the one the commands act on.
    const QModelIndex current = m_componentList->currentIndex();
    if (current.isValid() && m_componentList->selectionModel()->isSelected(current))
        return current.row();
    const QModelIndexList selected = m_componentList->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

std::vector<PartAddress> NavigatorWindow::selectedParts() const
{
    QModelIndexList selected = m_componentList->selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end());
    const int first = selectedRow();
    std::vector<PartAddress> parts;
    const auto add = [this, &parts](int row) {
        const auto i =
            m_model->data(m_model->index(row), NavigatorListModel::CatalogueIndexRole).toULongLong();
        const veltris::NavigatorEntry entry = m_model->entry(row);
        parts.push_back({entry.fileName(),
                         static_cast<int>(m_document.application().navigatorCatalogue().recordInFile(i)) + 1,
                         std::string(entry.componentName)});
    };
    if (first >= 0)
        add(first);
    for (const QModelIndex& index : selected)
        if (index.row() != first)
            add(index.row());
    return parts;
}

int NavigatorWindow::actionRow() const
{
    if (m_model->rowCount() == 0)
        return -1;
    const int row = selectedRow();
    return row >= 0 ? row : 0;
}

void NavigatorWindow::showDescription()
{
    m_description->clear();
    const int row = actionRow();
    if (row >= 0)
        m_description->setPlainText(cpToQString(m_model->entry(row).description()));
}

void NavigatorWindow::paintComponentItem(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index)
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const QPalette& pal = option.palette;
    painter->save();
    painter->fillRect(option.rect, pal.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setFont(option.font);
    painter->setPen(pal.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QString name = m_model->name(index.row());
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, name);
    if (m_model->nameInSeveralBases(index.row())) {
        // The base's file name at the right, dimmer and shortened in the middle where the room
        // after the name is small; the full path is the row's tooltip.
        const QFontMetrics fm(option.font);
        const int gap = fm.horizontalAdvance(QStringLiteral("  "));
        QRect room = option.rect;
        room.setLeft(option.rect.left() + fm.horizontalAdvance(name) + gap);
        room.setRight(option.rect.right() - 2);
        if (room.width() > fm.horizontalAdvance(QStringLiteral("…")) * 3) {
            QColor dim = painter->pen().color();
            dim.setAlphaF(selected ? 0.85 : 0.6);
            painter->setPen(dim);
            painter->drawText(
                room, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                fm.elidedText(m_model->baseFileName(index.row()), Qt::ElideMiddle, room.width()));
        }
    }
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = pal.color(group, selected ? QPalette::Highlight : QPalette::Base);
        m_componentList->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_componentList);
    }
    painter->restore();
}

void NavigatorWindow::openChosenBase()
{
    const int row = actionRow();
    if (row < 0)
        return;
    const QString file = QFile::decodeName(QByteArray::fromStdString(m_model->entry(row).fileName()));
    if (!QFileInfo(file).isFile())
        return;  // the base has gone since start-up: nothing to open, the list stays
    // Cancel, or a save that did not succeed, leaves the open base as it is.
    if (m_document.confirmDiscard())
        m_document.load(file);  // a failure has shown its message and changed nothing
    reject();
}

void NavigatorWindow::showHelp()
{
    m_document.ui().showHelp(HelpTopic::Navigator);
}

// ---- keys ----

bool NavigatorWindow::handleHelpKey(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        m_document.ui().showHelp(HelpTopic::Navigator);
        return true;
    }
    return false;
}

bool NavigatorWindow::handleEnterKey(QWidget* target, QKeyEvent* event)
{
    if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) ||
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // Enter in the list does what a double-click does; in the quick search it opens the
    // component the typed text found (none found: nothing).
    if (target == m_componentList || target == m_componentList->viewport()) {
        openChosenBase();
        return true;
    }
    if (target == m_quickSearch) {
        if (selectedRow() >= 0)
            openChosenBase();
        return true;
    }
    return false;
}

void NavigatorWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Typing searches at once.
    m_quickSearch->setFocus(Qt::OtherFocusReason);
}

bool NavigatorWindow::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (watched == m_typeList->viewport() &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick))
        m_typeRowAtPress = m_typeList->currentRow();
    return QDialog::eventFilter(watched, event);
}
