// The comparison window «Сравнение»: a reference and the parts beside it, one column each, the
// cells that differ tinted by their verdicts, «только различия», CSV and PDF written all or
// nothing; opened from the main table and from the navigator.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "../base/handmadelibrary.h"
#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "base/cp1251.h"
#include "base/navigatorcatalogue.h"
#include "document/settingsfile.h"
#include "layoutcheck.h"
#include "modeltesters.h"
#include "scriptedui.h"
#include "search/comparisonmodel.h"
#include "search/comparisonwindow.h"
#include "search/navigatorlistmodel.h"
#include "search/navigatorwindow.h"
#include "search/substitutepage.h"
#include "testwindow.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

using namespace Qt::StringLiterals;
using Mark = ComparisonModel::Mark;

namespace {

// The reference КТ315Б and parts that pass, fail, promise too little, or are of the other
// structure (a gate of the shipped rules).
veltris::ComponentBase comparedBase()
{
    return handmade::makeBase(1, {{"КТ315Б", handmade::part("20", "100", "50-350", ">250", "<7")},
                                  {"ЗАМЕНА1", handmade::part("25", "100", "50-350", "300", "5")},
                                  {"ПОЧТИ1", handmade::part("15", "100", "50-350", "300", "5")},
                                  {"СЛАБЫЙ", handmade::part("25", "100", "50-350", ">100", "5")},
                                  {"PNP", handmade::part("20", "100", "50-350", ">250", "<7", "2")}});
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstComparison : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void partsSideBySideWithVerdicts();
    void onlyDifferencesAndCsv();
    void pdfWritten();
    void tooManyOrMixedParts();
    void fromMainTable();
    void fromNavigator();

private:
    ComparisonWindow* open(std::vector<int> rows);
    int rowOf(const QString& title) const;
    QModelIndex cell(const QString& title, int part) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    veltris::ComponentBase m_base;
    veltris::NavigatorCatalogue m_navigator;
    ScriptedUi m_ui;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<SubstitutePage> m_page;
    ComparisonWindow* m_window = nullptr;
};

void TstComparison::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(u"a.QDB"_s);
    m_base = comparedBase();
    m_ui = ScriptedUi();
    m_settings = std::make_unique<SettingsFile>(m_dir->filePath(u"veltris.INI"_s));
    m_page = std::make_unique<SubstitutePage>(m_ui, *m_settings, QStringLiteral(VELTRIS_BIN_DIR),
                                              handmade::shippedCatalogue(), m_navigator);
    m_page->setOpenBase(&m_base, m_file);
}

void TstComparison::cleanup()
{
    delete m_window;
    m_window = nullptr;
    m_page.reset();
    QVERIFY2(m_ui.unexpected.isEmpty(), qPrintable(m_ui.unexpected.join(u"; "_s)));
}

ComparisonWindow* TstComparison::open(std::vector<int> rows)
{
    m_window = m_page->compareRecords(m_base, m_file, 1, std::move(rows));
    if (m_window)
        testModelsUnder(m_window);
    return m_window;
}

int TstComparison::rowOf(const QString& title) const
{
    const ComparisonModel* m = m_window->model();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->headerData(r, Qt::Vertical, Qt::DisplayRole).toString().startsWith(title))
            return r;
    return -1;
}

QModelIndex TstComparison::cell(const QString& title, int part) const
{
    return m_window->model()->index(rowOf(title), part);
}

void TstComparison::partsSideBySideWithVerdicts()
{
    QVERIFY(open({2, 3, 4, 5}));
    QVERIFY(m_window->isVisible());
    const ComparisonModel* m = m_window->model();
    QCOMPARE(m->columnCount(), 5);
    QStringList names;
    for (int k = 0; k < m->columnCount(); ++k)
        names << m->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString();
    QCOMPARE(names, (QStringList{u"КТ315Б"_s, u"ЗАМЕНА1"_s, u"ПОЧТИ1"_s, u"СЛАБЫЙ"_s, u"PNP"_s}));
    // A row per parameter of the type, under «Итог» and «База».
    QCOMPARE(m->rowCount(), 2 + veltris::parameterColumnCount(1));

    QCOMPARE(cell(u"Итог"_s, 0).data().toString(), u"образец"_s);
    QCOMPARE(cell(u"Итог"_s, 1).data().toString(), u"прямая замена"_s);
    QCOMPARE(cell(u"Итог"_s, 2).data().toString(), u"близкая: Uкэ −25 %"_s);
    QCOMPARE(cell(u"Итог"_s, 3).data().toString(), u"близкая: fгр не гарантировано"_s);
    // The other structure is shown here, and said to be no substitute at all.
    QVERIFY(cell(u"Итог"_s, 4).data().toString().startsWith(u"не замена: "_s));

    const auto mark = [&](const QString& title, int part) {
        return Mark(cell(title, part).data(ComparisonModel::MarkRole).toInt());
    };
    QCOMPARE(mark(u"Uкэ max"_s, 1), Mark::Pass);
    QCOMPARE(mark(u"Uкэ max"_s, 2), Mark::Fail);
    QCOMPARE(mark(u"fгр"_s, 3), Mark::NotGuaranteed);
    QCOMPARE(mark(u"Структура"_s, 4), Mark::Fail);
    QCOMPARE(mark(u"Iк max"_s, 1), Mark::Same);  // 100 as the reference: no tint
    QVERIFY(!cell(u"Iк max"_s, 1).data(Qt::BackgroundRole).isValid());
    // The tints of pass, failure and a guarantee too weak are three different colours.
    const QVariant pass = cell(u"Uкэ max"_s, 1).data(Qt::BackgroundRole);
    const QVariant fail = cell(u"Uкэ max"_s, 2).data(Qt::BackgroundRole);
    const QVariant weak = cell(u"fгр"_s, 3).data(Qt::BackgroundRole);
    QVERIFY(pass.isValid() && fail.isValid() && weak.isValid());
    QVERIFY(pass != fail && fail != weak && pass != weak);
    QVERIFY(cell(u"fгр"_s, 3).data(Qt::ToolTipRole).toString().contains(u"Не гарантировано"_s));
    QVERIFY(cell(u"Uкэ max"_s, 2).data(Qt::ToolTipRole).toString().contains(u"У образца: 20"_s));
    // Structure codes read as structures; the titles stay at the left.
    QCOMPARE(cell(u"Структура"_s, 4).data().toString(), u"p-n-p"_s);
    QHeaderView* titles = m_window->view()->verticalHeader();
    QVERIFY(titles->isVisible());
    QVERIFY(titles->width() >= titles->fontMetrics().horizontalAdvance(u"Структура"_s));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QVERIFY2(layoutProblems(m_window).isEmpty(), qPrintable(layoutProblems(m_window).join(u"\n"_s)));
    // F1 tells about this window.
    m_window->activateWindow();
    m_window->view()->setFocus();
    QTest::keyClick(m_window->view(), Qt::Key_F1);
    QCOMPARE(m_ui.helpTopics, QList<int>{int(HelpTopic::Comparison)});
}

void TstComparison::onlyDifferencesAndCsv()
{
    QVERIFY(open({2, 3}));
    const int all = m_window->model()->rowCount();
    QTest::mouseClick(m_window->onlyDifferencesBox(), Qt::LeftButton);
    QVERIFY(m_window->model()->onlyDifferences());
    // Left: the verdicts and the parameters where a part differs; the same base is no difference.
    QStringList shown;
    for (int r = 0; r < m_window->model()->rowCount(); ++r)
        shown << m_window->model()->headerData(r, Qt::Vertical, Qt::DisplayRole).toString();
    QVERIFY2(shown.size() < all, qPrintable(shown.join(u" | "_s)));
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0], u"Итог"_s);
    QVERIFY(shown[1].startsWith(u"Uкэ max"_s));
    QVERIFY(shown[2].startsWith(u"fгр"_s));
    QVERIFY(shown[3].startsWith(u"Cк"_s));

    const QString file = m_dir->filePath(u"сравнение"_s);
    m_ui.saveAnswers.enqueue(file);
    QTest::mouseClick(m_window->exportButton(), Qt::LeftButton);
    const QString title = [&](int c) { return oneLineTitle(m_base.table.cell(0, c)); }(2);
    const QString expected =
        u"Параметр;КТ315Б (образец);ЗАМЕНА1;ПОЧТИ1;\r\n"_s +
        u"Итог;образец;прямая замена;близкая: Uкэ -25 %;\r\n"_s +  // the minus sign as '-'
        title + u";20;25;15;\r\n"_s + oneLineTitle(m_base.table.cell(0, 15)) + u";>250;300;300;\r\n"_s +
        oneLineTitle(m_base.table.cell(0, 16)) + u";<7;5;5;\r\n"_s;
    QCOMPARE(fileBytes(file + u".CSV"_s), cp1251(expected));

    // The rows come back with the box cleared.
    QTest::mouseClick(m_window->onlyDifferencesBox(), Qt::LeftButton);
    QCOMPARE(m_window->model()->rowCount(), all);
}

void TstComparison::pdfWritten()
{
    QVERIFY(open({2, 4}));
    const QString pdf = m_dir->filePath(u"сравнение.pdf"_s);
    m_ui.saveAnswers.enqueue(pdf);
    QTest::mouseClick(m_window->pdfButton(), Qt::LeftButton);
    const QByteArray bytes = fileBytes(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.size() > 1000);
    QVERIFY(m_ui.messages.isEmpty());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary left
    // The dialog proposes «Сравнение <образец>.pdf»; the next one starts where this one wrote.
    const QString reference =
        QString::fromStdString(veltris::cp1251ToUtf8(m_window->model()->comparison().parts[0].name));
    QCOMPARE(m_ui.saveRequests.last().proposedName, u"Сравнение "_s + reference + u".pdf"_s);
    // The printed document: reference, date, bases, each row's rule, the header row repeated.
    const QString doc = m_window->model()->documentHtml(u"11.12.2026"_s);
    QVERIFY(doc.contains(u"образец "_s + reference));
    QVERIFY(doc.contains(u"11.12.2026"_s));
    QVERIFY(doc.contains(u"База"_s));
    QVERIFY(doc.contains(u"<thead>"_s));
    QVERIFY(doc.contains(u"Правило и допуск"_s));
    QVERIFY(doc.contains(u"width=\"100%\""_s));

    // A folder that does not exist: the user is told, nothing is written.
    m_ui.saveAnswers.enqueue(m_dir->filePath(u"нет/сравнение.pdf"_s));
    QTest::mouseClick(m_window->pdfButton(), Qt::LeftButton);
    QCOMPARE(QDir(m_ui.saveRequests.last().startDir), QDir(m_dir->path()));
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages[0].text, u"Ошибка записи в файл"_s);

    // Esc closes the window.
    QPointer<ComparisonWindow> window = m_window;
    QTest::keyClick(m_window->view(), Qt::Key_Escape);
    QTRY_VERIFY(window.isNull() || !window->isVisible());
    m_window = window.data();
}

void TstComparison::tooManyOrMixedParts()
{
    // The reference and six more: one too many, said so, no window.
    veltris::ComponentBase many = comparedBase();
    for (const char* name : {"Д1", "Д2"}) {
        many.table.appendRow();
        many.table.setCell(many.table.rowCount() - 1, 0, handmade::cp(name));
    }
    QVERIFY(m_page->compareRecords(many, m_file, 1, {2, 3, 4, 5, 6, 7}) == nullptr);
    QCOMPARE(m_ui.messages.size(), 1);
    QVERIFY(m_ui.messages[0].text.contains(u"не более 6"_s));
    // The reference alone is nothing to compare.
    QVERIFY(m_page->compareRecords(m_base, m_file, 1, {1}) == nullptr);
    QCOMPARE(m_ui.messages.size(), 2);
    // Parts of two device types cannot share the rows of one.
    const veltris::ComponentBase diodes = handmade::makeBase(3, {{"КД522Б", {{1, "50"}}}});
    QVERIFY(m_page->compareParts({comparedPart(m_base, 1, m_file), comparedPart(diodes, 1, {})}) == nullptr);
    QCOMPARE(m_ui.messages.size(), 3);
    QVERIFY(m_ui.messages[2].text.contains(u"одного типа"_s));
    QVERIFY(m_page->findChild<ComparisonWindow*>() == nullptr);
}

// Selected records of the main table, the current one as the reference.
void TstComparison::fromMainTable()
{
    AppFolder app;
    const QString file = app.file(u"a.QDB"_s);
    QVERIFY(veltris::writeBase(comparedBase(), file.toStdString()).ok());
    app.writeSettings(u"[Settings]\nShowNav=0\n"_s);
    ScriptedUi ui;
    TestWindow window(app.paths(), ui, {file});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ComponentGridView* grid = window.mainGrid();
    const auto clickRow = [&](int row, Qt::KeyboardModifiers keys) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys,
                          grid->visualRect(grid->model()->index(row - 1, 1)).center());
    };
    clickRow(2, {});                   // ЗАМЕНА1
    clickRow(1, Qt::ControlModifier);  // КТ315Б
    clickRow(3, Qt::ControlModifier);  // ПОЧТИ1, now the current record
    QCOMPARE(window.currentRow(), 3);
    window.compareSelectedRecords();
    auto* w = window.findChild<ComparisonWindow*>();
    QVERIFY(w);
    QStringList names;
    for (int k = 0; k < w->model()->columnCount(); ++k)
        names << w->model()->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString();
    QCOMPARE(names, (QStringList{u"ПОЧТИ1"_s, u"КТ315Б"_s, u"ЗАМЕНА1"_s}));
    QVERIFY(ui.unexpected.isEmpty());
}

// Components selected in the navigator, read from their bases; the window opens beside it.
void TstComparison::fromNavigator()
{
    AppFolder app;
    QVERIFY(QDir(app.path()).mkdir(u"lib"_s));
    QVERIFY(veltris::writeBase(comparedBase(), app.file(u"lib/a.QDB"_s).toStdString()).ok());
    QVERIFY(veltris::writeBase(
                handmade::makeBase(1, {{"ЧУЖОЙ", handmade::part("40", "200", "50-350", "300", "5")}}),
                app.file(u"lib/b.QDB"_s).toStdString())
                .ok());
    app.writeSettings(u"[Settings]\nShowNav=0\n[Scan]\nDir0="_s + app.file(u"lib"_s) + u"\n"_s);
    ScriptedUi ui;
    TestWindow window(app.paths(), ui, {});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ComparisonWindow* opened = nullptr;
    QStringList names;
    ui.onDialog(u"navigatorWindow"_s, [&](QDialog* dialog) {
        auto* nav = static_cast<NavigatorWindow*>(dialog);
        const NavigatorListModel* list = nav->listModel();
        int reference = -1, other = -1;
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->name(r) == u"ЗАМЕНА1"_s)
                reference = r;
            if (list->name(r) == u"ЧУЖОЙ"_s)
                other = r;
        }
        QListView* view = nav->componentList();
        const auto clickItem = [&](int row, Qt::KeyboardModifiers keys) {
            const QModelIndex index = list->index(row);
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, keys, view->visualRect(index).center());
        };
        clickItem(other, {});
        clickItem(reference, Qt::ControlModifier);  // the current one: the reference
        emit nav->compareRequested(nav->selectedParts());
        opened = nav->findChild<ComparisonWindow*>();
        if (opened)
            for (int k = 0; k < opened->model()->columnCount(); ++k)
                names << opened->model()->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString();
        return int(QDialog::Rejected);
    });
    window.showNavigator();
    QVERIFY(opened);
    QCOMPARE(names, (QStringList{u"ЗАМЕНА1"_s, u"ЧУЖОЙ"_s}));
    QVERIFY(ui.unexpected.isEmpty());
}

QTEST_MAIN(TstComparison)
#include "tst_comparison.moc"
