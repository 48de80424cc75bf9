// The main and second tables: painting, sorting, second table rebuild, pages, drawing.
// Tests spell short ASCII and UTF-8 literals directly.
#undef QT_NO_CAST_FROM_ASCII
#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/cp1251.h"
#include "scriptedui.h"
#include "testwindow.h"
#include "widgets/appresources.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"
#include "widgets/drawingview.h"

namespace {

bool isInk(QRgb p)
{
    return qGray(p) < 110;
}

// Bounding box of the dark pixels inside `area` of `img`; null when there are none.
QRect inkBox(const QImage& img, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isInk(img.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

int inkCount(const QImage& img, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += isInk(img.pixel(x, y));
    return n;
}

// A bipolar table: names in column 0, `values` down column 1, "x<row>" in column 2.
veltris::Table valueTable(const QStringList& names, const QStringList& values)
{
    veltris::Table t(static_cast<int>(names.size()) + 1, 31);
    t.setCell(0, 0, qStringToCp(QStringLiteral("Тип прибора")));
    t.setCell(0, 1, "T1");
    for (int r = 1; r < t.rowCount(); ++r) {
        t.setCell(r, 0, qStringToCp(names[r - 1]));
        t.setCell(r, 1, qStringToCp(values.value(r - 1)));
        t.setCell(r, 2, "x" + std::to_string(r));
    }
    return t;
}

QStringList names(const veltris::Table& t)
{
    QStringList out;
    for (int r = 1; r < t.rowCount(); ++r)
        out << cpToQString(t.cell(r, 0));
    return out;
}

void rightClickTitle(ComponentGridView* grid, int coreColumn, Qt::MouseButton button = Qt::RightButton)
{
    if (coreColumn == 0) {
        QTest::mouseClick(grid->cornerButton(), button, {}, QPoint(10, 10));
        return;
    }
    QHeaderView* h = grid->horizontalHeader();
    QTest::mouseClick(h->viewport(), button, {}, QPoint(h->sectionViewportPosition(coreColumn - 1) + 5, 10));
}

void clickTab(MainWindow& form, int index)
{
    QTabBar* bar = form.pages()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

struct Fixture {
    AppFolder folder;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;

    explicit Fixture(const QString& extraSettings = {})
    {
        folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n") + extraSettings);
        form = std::make_unique<TestWindow>(folder.paths(), ui, QStringList());
        form->resize(900, 600);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
    }
    void setMain(const veltris::Table& t)
    {
        form->document().base().table = t;
        form->document().reportMainTableChange();
    }
};

}  // namespace

class TstTables : public QObject {
    Q_OBJECT
private slots:
    void titleLines_data();
    void titleLines();
    void titlePainting();
    void zeroPaintedEmptyAndValueTextPlaced();
    void rightClickSortsByValue();
    void cornerSortsByNameInCodePageOrder();
    void sortErrorLeavesTableUnchanged();
    void sortOfSecondTableLeavesMainTable();
    void secondTableThroughViewMask();
    void pageEffectsAndHelpContexts();
    void headerPointer();
    void placeholderDrawing();
    void drawingFollowsCurrentRow();
    void drawingOddCases();
    void zoomToggle();
    void largeBaseModelStaysLean();
};

void TstTables::titleLines_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("plain") << "Uкэ max" << QStringList{QStringLiteral("Uкэ max")};
    QTest::newRow("three") << "a|b|c" << QStringList{"a", "b", "c"};
    QTest::newRow("leading bar") << "|b" << QStringList{"", "b"};
    QTest::newRow("trimmed") << " a \t| b " << QStringList{"a", "b"};
    QTest::newRow("trailing bar") << "a|" << QStringList{"a"};
    QTest::newRow("empty middle") << "a||b" << QStringList{"a", "", "b"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TstTables::titleLines()
{
    QFETCH(QString, title);
    QFETCH(QStringList, lines);
    QCOMPARE(GridHeaderView::splitTitleLines(title), lines);
}

void TstTables::titlePainting()
{
    Fixture f;
    veltris::Table t = valueTable({QStringLiteral("A")}, {QStringLiteral("1")});
    t.setCell(0, 1, qStringToCp(QStringLiteral("Ш|Ш|Ш")));
    t.setCell(0, 2, qStringToCp(QStringLiteral("|Ш")));
    t.setCell(0, 3, qStringToCp(QStringLiteral("Ш")));
    f.setMain(t);
    QHeaderView* h = f.form->mainGrid()->horizontalHeader();
    const QImage img = h->grab().toImage();
    const auto band = [&](int coreCol, int line) {
        const int x = h->sectionViewportPosition(coreCol - 1);
        return QRect(x + 1, line * 16, 98, 16);
    };
    // Three lines 16 pixels apart, each centred on the column's middle.
    for (int line = 0; line < 3; ++line) {
        const QRect box = inkBox(img, band(1, line));
        QVERIFY2(!box.isNull(), qPrintable(QStringLiteral("line %1").arg(line)));
        const int middle = h->sectionViewportPosition(0) + 50;
        QVERIFY(qAbs(box.center().x() - middle) <= 2);
        QVERIFY(box.top() >= line * 16 + 2);
    }
    QVERIFY(inkBox(img, band(2, 0)).isNull());  // a leading "|" leaves the first line blank
    QVERIFY(!inkBox(img, band(2, 1)).isNull());
    QVERIFY(inkBox(img, band(3, 1)).isNull());

    // Bold: more ink than the same letter in the regular font.
    QImage plain(100, 50, QImage::Format_RGB32);
    plain.fill(Qt::white);
    {
        QPainter p(&plain);
        p.setFont(h->font());
        p.setPen(Qt::black);
        p.drawText(QRect(0, 2, 100, 48), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Ш"));
    }
    QVERIFY(inkCount(img, band(3, 0)) > inkCount(plain, QRect(0, 0, 100, 16)));

    // The top-left cell: the device label, bold and centred.
    const QImage corner = f.form->mainGrid()->cornerButton()->grab().toImage();
    QVERIFY(!inkBox(corner, QRect(0, 0, corner.width(), 16)).isNull());
}

void TstTables::zeroPaintedEmptyAndValueTextPlaced()
{
    Fixture f;
    veltris::Table t = valueTable({QStringLiteral("A")}, {QStringLiteral("0")});
    t.setCell(1, 2, "8");
    f.setMain(t);
    ComponentGridView* g = f.form->mainGrid();
    const QModelIndex zero = f.form->mainModel()->index(0, 0);
    QCOMPARE(zero.data(Qt::DisplayRole).toString(), QString());
    QCOMPARE(zero.data(ComponentTableModel::RawTextRole).toString(), QStringLiteral("0"));
    QCOMPARE(f.form->document().base().table.cell(1, 1), std::string("0"));  // the text is kept

    g->clearSelection();
    g->setCurrentIndex(f.form->mainModel()->index(0, 5));
    const QImage img = g->viewport()->grab().toImage();
    const QRect zeroRect = g->visualRect(zero).adjusted(1, 1, -1, -1);
    QVERIFY(inkBox(img, zeroRect).isNull());
    const QRect eightRect = g->visualRect(f.form->mainModel()->index(0, 1));
    const QRect box = inkBox(img, eightRect.adjusted(1, 1, -1, -1));
    QVERIFY(!box.isNull());
    QVERIFY(box.left() >= eightRect.left() + 5 && box.left() <= eightRect.left() + 8);
    QVERIFY(box.top() < eightRect.top() + 8);  // at the top of the cell
}

void TstTables::rightClickSortsByValue()
{
    Fixture f;
    QStringList n;
    const QStringList values = {QStringLiteral("{0}"), "5", "(5)", "", "2-8", "[1]", "3", "0", "<10", "1E-5"};
    for (int i = 0; i < values.size(); ++i)
        n << QStringLiteral("R%1").arg(i);
    f.setMain(valueTable(n, values));
    f.form->document().setModified(false);
    ComponentGridView* g = f.form->mainGrid();

    rightClickTitle(g, 1, Qt::LeftButton);  // a left click never sorts
    QCOMPARE(names(f.form->document().base().table), n);

    rightClickTitle(g, 1);
    // Plain values by magnitude (a range 2-8 as 4), then "(", "[", "{".
    QCOMPARE(names(f.form->document().base().table),
             QStringList({"R3", "R7", "R9", "R6", "R4", "R1", "R8", "R2", "R5", "R0"}));
    QCOMPARE(f.form->document().base().table.cell(1, 2), std::string("x4"));  // whole rows move
    QCOMPARE(f.form->mainModel()->headerData(0, Qt::Vertical).toString(), QStringLiteral("R3"));
    QVERIFY(!f.form->document().isModified());
    QVERIFY(f.ui.messages.isEmpty());

    // One record: nothing to do.
    f.setMain(valueTable({QStringLiteral("ONLY")}, {QStringLiteral("E")}));
    rightClickTitle(g, 1);
    QVERIFY(f.ui.messages.isEmpty());
}

void TstTables::cornerSortsByNameInCodePageOrder()
{
    Fixture f;
    f.setMain(valueTable({"b", "B", QStringLiteral("Б"), "a", "A", "Z", QStringLiteral("а")}, {}));
    rightClickTitle(f.form->mainGrid(), 0, Qt::LeftButton);
    QCOMPARE(names(f.form->document().base().table).first(), QStringLiteral("b"));
    rightClickTitle(f.form->mainGrid(), 0);
    QCOMPARE(names(f.form->document().base().table),
             QStringList({"A", "B", "Z", "a", "b", QStringLiteral("Б"), QStringLiteral("а")}));
}

void TstTables::sortErrorLeavesTableUnchanged()
{
    Fixture f;
    const veltris::Table t = valueTable({"C", "A", "B"}, {"3", "E", "1"});
    f.setMain(t);
    rightClickTitle(f.form->mainGrid(), 1);
    QVERIFY(f.form->document().base().table == t);
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages[0].text, QStringLiteral("Столбец «T1»: «E» не читается как число"));
    QCOMPARE(f.ui.messages[0].caption, QStringLiteral("Вельтрис"));
    QCOMPARE(f.ui.messages[0].icon, MessageIcon::Critical);
}

void TstTables::sortOfSecondTableLeavesMainTable()
{
    Fixture f;
    const veltris::Table t = valueTable({"C", "A", "B"}, {"3", "2", "1"});
    f.setMain(t);
    f.form->document().base().viewMask[0] = 1;
    f.form->document().base().secondColumnCount = 2;
    clickTab(*f.form, 1);
    QCOMPARE(names(f.form->document().secondTable()), QStringList({"C", "A", "B"}));
    rightClickTitle(f.form->secondGrid(), 1);
    QCOMPARE(names(f.form->document().secondTable()), QStringList({"B", "A", "C"}));
    QVERIFY(f.form->document().base().table == t);
}

void TstTables::secondTableThroughViewMask()
{
    Fixture f;
    veltris::Table t = valueTable({"A", "B"}, {"1", "2"});
    for (int r = 0; r < 3; ++r)
        for (int c = 1; c < 31; ++c)
            t.setCell(r, c, "c" + std::to_string(c) + "r" + std::to_string(r));
    f.setMain(t);
    veltris::Table& second = f.form->document().secondTable();
    second.resize(3, 4);
    for (int r = 0; r < 3; ++r)
        second.setCell(r, 2, "keep");
    veltris::ComponentBase& base = f.form->document().base();
    base.viewMask = {};
    base.viewMask[0] = 5;
    base.viewMask[2] = 2;
    base.secondColumnCount = 4;

    clickTab(*f.form, 1);  // leaving the main table rebuilds the second one
    QCOMPARE(second.columnCount(), 4);
    QCOMPARE(names(second), QStringList({"A", "B"}));
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(second.cell(r, 1), t.cell(r, 5));
        QCOMPARE(second.cell(r, 2), std::string("keep"));  // mask entry 0: untouched
        QCOMPARE(second.cell(r, 3), t.cell(r, 2));
    }
    QCOMPARE(f.form->secondModel()->columnCount(), 3);
    QCOMPARE(f.form->secondModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("c5r0"));
    QCOMPARE(f.form->secondModel()->cornerText(), QStringLiteral("Тип прибора"));
    QCOMPARE(f.form->secondGrid()->columnWidth(2), 100);
}

void TstTables::pageEffectsAndHelpContexts()
{
    Fixture f;
    MainWindow& form = *f.form;
    const auto entries = [&] {
        return QList<bool>{form.addRecordAction()->isEnabled(), form.editRecordAction()->isEnabled(),
                           form.deleteRecordAction()->isEnabled()};
    };
    QCOMPARE(entries(), QList<bool>({true, true, true}));
    QCOMPARE(int(helpContext(form.pages())), 0);

    const int expected[4] = {0, 0, 32, 31};
    for (int page : {2, 3, 1, 0, 3}) {
        clickTab(form, page);
        QCOMPARE(form.pages()->currentIndex(), page);
        QCOMPARE(int(helpContext(form.pages())), expected[page]);
        const bool onMain = page == 0;
        QCOMPARE(entries(), QList<bool>({onMain, onMain, onMain}));
    }
    form.showPage(2);  // a change made by the program keeps the help context
    QCOMPARE(int(helpContext(form.pages())), 31);
    form.showPage(0);
    QCOMPARE(entries(), QList<bool>({true, true, true}));
}

void TstTables::headerPointer()
{
    Fixture f;
    for (ComponentGridView* g : {f.form->mainGrid(), f.form->secondGrid()}) {
        QCOMPARE(appCursorId(g->horizontalHeader()->viewport()->cursor()), int(kSortArrowCursor));
        QCOMPARE(appCursorId(g->cornerButton()->cursor()), int(kSortArrowCursor));
        QCOMPARE(g->viewport()->cursor().shape(), Qt::ArrowCursor);
    }
    QCOMPARE(appCursor(kSortArrowCursor).bitmap().size(), QSize(32, 32));
    QCOMPARE(appCursor(kZoomInCursor).bitmap().size(), QSize(32, 32));
    QCOMPARE(appCursor(kZoomOutCursor).bitmap().size(), QSize(32, 32));
    QVERIFY(appCursorId(appCursor(kZoomInCursor)) != appCursorId(appCursor(kZoomOutCursor)));
}

void TstTables::placeholderDrawing()
{
    const QImage img = ::placeholderDrawing();
    QCOMPARE(img.size(), QSize(500, 300));
    QCOMPARE(img.format(), QImage::Format_Mono);
    QCOMPARE(img.colorCount(), 2);
    const QRect upper = inkBox(img.convertToFormat(QImage::Format_RGB32), QRect(0, 0, 500, 150));
    QVERIFY(!upper.isNull());
    QVERIFY(qAbs(upper.center().x() - 250) <= 3);
    QVERIFY(upper.height() > 25);  // two lines
    QVERIFY(inkBox(img.convertToFormat(QImage::Format_RGB32), QRect(0, 150, 500, 150)).isNull());
}

void TstTables::drawingFollowsCurrentRow()
{
    AppFolder tmp;
    const QString drawings = tmp.file(QStringLiteral("draw"));
    QVERIFY(QDir().mkpath(drawings));
    QVERIFY(QFile::copy(QStringLiteral(VELTRIS_BIN_DIR "/TRANS/7.BMP"), drawings + QStringLiteral("/7.BMP")));
    QVERIFY(QFile::copy(QStringLiteral(VELTRIS_BIN_DIR "/TRANS/2.BMP"), drawings + QStringLiteral("/2.bmp")));
    const QImage seven(drawings + QStringLiteral("/7.BMP"));
    const QImage two(drawings + QStringLiteral("/2.bmp"));
    QVERIFY(!seven.isNull() && !two.isNull() && seven != two);

    Fixture f(QStringLiteral("TRANS=%1\n").arg(drawings));
    veltris::Table t = valueTable({"A", "B", "C", "D"}, {});
    t.setCell(1, 30, "7");
    t.setCell(2, 30, "2");   // found whatever the letter case of its file
    t.setCell(3, 30, "99");  // no such drawing
    t.setCell(4, 30, "");
    f.setMain(t);
    DrawingImage* image = f.form->drawingView();
    ComponentGridView* g = f.form->mainGrid();

    g->setFocus();
    f.form->setCurrentCell(1, 1);
    QCOMPARE(image->image(), seven);
    QTest::keyClick(g, Qt::Key_Down);  // the keyboard moves the row: the drawing follows
    QCOMPARE(f.form->currentRow(), 2);
    QCOMPARE(image->image(), two);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                      g->visualRect(f.form->mainModel()->index(2, 3)).center());
    QCOMPARE(f.form->currentRow(), 3);
    QCOMPARE(image->image(), ::placeholderDrawing());
    f.form->setCurrentCell(1, 1);
    QCOMPARE(image->image(), seven);
    f.form->setCurrentCell(4, 1);
    QCOMPARE(image->image(), ::placeholderDrawing());

    // Showing the page refreshes: the file appears after the row was chosen.
    f.form->setCurrentCell(3, 1);
    QVERIFY(QFile::copy(drawings + QStringLiteral("/7.BMP"), drawings + QStringLiteral("/99.BMP")));
    clickTab(*f.form, 2);
    QCOMPARE(image->image(), seven);
    QVERIFY(f.ui.messages.isEmpty());
}

void TstTables::drawingOddCases()
{
    AppFolder tmp;
    const QString drawings = tmp.file(QStringLiteral("draw"));
    QVERIFY(QDir().mkpath(drawings));
    QVERIFY(QFile::copy(QStringLiteral(VELTRIS_BIN_DIR "/TRANS/7.BMP"), drawings + QStringLiteral("/7.BMP")));
    {
        QFile bad(drawings + QStringLiteral("/5.BMP"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a bitmap");
    }
    Fixture f(QStringLiteral("TRANS=%1\n").arg(drawings));
    veltris::Table t = valueTable({"A", "B"}, {});
    t.setCell(1, 30, "7");
    t.setCell(2, 30, "5");
    f.setMain(t);
    f.form->setCurrentCell(1, 1);
    const QImage seven = f.form->drawingView()->image();
    QCOMPARE(seven.size(), QImage(drawings + QStringLiteral("/7.BMP")).size());

    // An unreadable bitmap: the framework's message; the previous drawing stays.
    f.form->setCurrentCell(2, 1);
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages[0].text, QStringLiteral("Bitmap image is not valid"));
    QCOMPARE(f.form->drawingView()->image(), seven);

    // A device type without a drawing folder always shows the placeholder.
    f.form->document().base().deviceType = 2;
    f.form->setCurrentCell(1, 1);
    QCOMPARE(f.form->drawingView()->image(), ::placeholderDrawing());
}

void TstTables::zoomToggle()
{
    Fixture f;
    DrawingImage* image = f.form->drawingView();
    clickTab(*f.form, 2);
    QVERIFY(!image->stretch());
    QCOMPARE(appCursorId(image->cursor()), int(kZoomInCursor));
    QTest::mouseClick(image, Qt::LeftButton);
    QVERIFY(image->stretch());
    QCOMPARE(appCursorId(image->cursor()), int(kZoomOutCursor));
    QTest::mouseClick(image, Qt::LeftButton);
    QVERIFY(!image->stretch());
    QCOMPARE(appCursorId(image->cursor()), int(kZoomInCursor));

    // Stretched, the drawing covers the whole control; at its own size it sits in the middle.
    QTest::mouseClick(image, Qt::LeftButton);
    const QImage stretched = image->grab().toImage();
    QCOMPARE(stretched.pixelColor(2, 2), QColor(Qt::white));
    QTest::mouseClick(image, Qt::LeftButton);
    const QImage centred = image->grab().toImage();
    if (image->width() > 520)
        QVERIFY(centred.pixelColor(2, 2) != QColor(Qt::white));
}

void TstTables::largeBaseModelStaysLean()
{
    Fixture f;
    veltris::Table t(100001, 31);
    for (int r = 1; r < t.rowCount(); ++r) {
        t.setCell(r, 0, "N" + std::to_string(r));
        t.setCell(r, 1, std::to_string(r % 97));
    }
    f.setMain(t);
    ComponentGridView* g = f.form->mainGrid();
    QCOMPARE(f.form->mainModel()->rowCount(), 100000);
    // The view reads its cells through a proxy that counts the reads.
    struct CountingProxy : QIdentityProxyModel {
        mutable quint64 calls = 0;
        QVariant data(const QModelIndex& index, int role) const override
        {
            ++calls;
            return QIdentityProxyModel::data(index, role);
        }
    } proxy;
    proxy.setSourceModel(f.form->mainModel());
    g->setModel(&proxy);
    g->viewport()->repaint();
    const quint64 calls = proxy.calls;
    g->setModel(f.form->mainModel());
    const int visible = (g->viewport()->height() / 24 + 2) * (g->viewport()->width() / 100 + 2);
    QVERIFY2(calls <= quint64(visible), qPrintable(QString::number(calls)));
    QCOMPARE(g->columnWidth(0), 100);
    QCOMPARE(g->verticalHeader()->width(), 100);
}

QTEST_MAIN(TstTables)
#include "tst_tables.moc"
