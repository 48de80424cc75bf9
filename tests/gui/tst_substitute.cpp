// The page «Замена» driven as a user would, over the hand-made library: the reference picked by
// a typed name, the ranking with its marks, double-click, remembered rules, CSV export, the
// library scope and cancel.
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "../base/handmadelibrary.h"
#include "base/basefile.h"
#include "base/ini.h"
#include "base/navigatorcatalogue.h"
#include "scriptedui.h"
#include "search/substitutemodel.h"
#include "search/substitutepage.h"

using namespace Qt::StringLiterals;

namespace {

// Types `text` key by key; QTest::keyClicks takes Latin-1 only.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// The combo box editor open in the rules table (closed ones wait for deletion, hidden).
QComboBox* openCombo(QTableView* view)
{
    for (QComboBox* combo : view->viewport()->findChildren<QComboBox*>())
        if (combo->isVisible())
            return combo;
    return nullptr;
}

// A double-click as the mouse makes it: a press, then the double-click on the same cell.
void doubleClickCell(QTableView* view, const QModelIndex& cell)
{
    view->scrollTo(cell);
    const QPoint at = view->visualRect(cell).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

QByteArray cp1251(const QString& text)
{
    return QByteArray::fromStdString(veltris::utf8ToCp1251(text.toStdString()));
}

}  // namespace

class TstSubstitute : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void referenceByLookAlikeName();
    void rankingMarksAndCount();
    void doubleClickChoosesRecord();
    void staleResultIsNotOpened();
    void ruleChangeRememberedAndDefaultsRestored();
    void csvExport();
    void libraryScopeFindsOtherBase();
    void cancelLeavesNoResults();

private:
    QStringList resultNames() const;
    int resultColumn(const QString& titleStart) const;
    int resultRow(const QString& name) const;
    void search();
    std::unique_ptr<SubstitutePage> makePage();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_openFile;
    QString m_otherFile;
    QString m_settingsFile;
    veltris::ComponentBase m_base;
    veltris::NavigatorCatalogue m_navigator;
    ScriptedUi m_ui;
    std::unique_ptr<SubstitutePage> m_page;
};

void TstSubstitute::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_dir->path()).mkdir(u"lib"_s));
    m_openFile = m_dir->filePath(u"lib/a_open.QDB"_s);
    m_otherFile = m_dir->filePath(u"lib/b_other.QDB"_s);
    m_settingsFile = m_dir->filePath(u"veltris.INI"_s);
    m_base = handmade::handMadeBase();
    QVERIFY(veltris::writeBase(m_base, m_openFile.toStdString()).ok());
    // Identical values to the reference: the closest candidate of all, in another base.
    const veltris::ComponentBase other = handmade::makeBase(
        1, {{"ЧУЖОЙ", handmade::part("15", "100", "50-350", "300", "5")},
            {"ЕЩЁ", handmade::part("20", "100", "50-350", ">250", "<7")}});
    QVERIFY(veltris::writeBase(other, m_otherFile.toStdString()).ok());
    m_navigator = veltris::NavigatorCatalogue();
    QVERIFY(m_navigator.addFolder(m_dir->filePath(u"lib"_s).toStdString()).empty());
    m_ui = ScriptedUi();
    m_page = makePage();
    m_page->setOpenBase(&m_base, m_openFile);
    m_page->resize(1200, 700);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TstSubstitute::cleanup()
{
    m_page.reset();
    QVERIFY2(m_ui.unexpected.isEmpty(), qPrintable(m_ui.unexpected.join(u"; "_s)));
    m_dir.reset();
}

std::unique_ptr<SubstitutePage> TstSubstitute::makePage()
{
    return std::make_unique<SubstitutePage>(m_ui, m_settingsFile, QStringLiteral(VELTRIS_BIN_DIR),
                                            handmade::shippedCatalogue(), m_navigator);
}

QStringList TstSubstitute::resultNames() const
{
    QStringList names;
    const SubstituteResultsModel* model = m_page->resultsModel();
    for (int r = 0; r < model->rowCount(); ++r)
        names << model->index(r, SubstituteResultsModel::NameColumn).data().toString();
    return names;
}

int TstSubstitute::resultColumn(const QString& titleStart) const
{
    const SubstituteResultsModel* model = m_page->resultsModel();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().startsWith(titleStart))
            return c;
    return -1;
}

int TstSubstitute::resultRow(const QString& name) const
{
    return static_cast<int>(resultNames().indexOf(name));
}

void TstSubstitute::search()
{
    QTest::mouseClick(m_page->findButton(), Qt::LeftButton);
    QTRY_VERIFY(!m_page->isSearching());
    QVERIFY(m_page->findButton()->isEnabled());
}

void TstSubstitute::referenceByLookAlikeName()
{
    // Latin k and t for the Cyrillic К and Т, lower case: found anywhere in the name.
    m_page->nameEdit()->setFocus();
    typeText(m_page->nameEdit(), u"kt315б"_s);
    QCOMPARE(m_page->nameList()->count(), 1);
    QCOMPARE(m_page->nameList()->item(0)->text(), u"КТ315Б"_s);
    QTest::keyClick(m_page->nameEdit(), Qt::Key_Return);
    QCOMPARE(m_page->referenceRow(), 1);
    QVERIFY(m_page->referenceLabel()->text().contains(u"КТ315Б"_s));
    // The rules table shows the reference's values.
    QCOMPARE(m_page->rulesModel()->index(1, SubstituteRulesModel::ReferenceColumn).data().toString(),
             u"20"_s);

    // A part of a name lists every name holding it; a click picks one.
    m_page->nameEdit()->clear();
    typeText(m_page->nameEdit(), u"замен"_s);
    QCOMPARE(m_page->nameList()->count(), 3);
    QListWidgetItem* second = m_page->nameList()->item(1);
    QTest::mouseClick(m_page->nameList()->viewport(), Qt::LeftButton, {},
                      m_page->nameList()->visualItemRect(second).center());
    QCOMPARE(m_page->referenceRow(), 3);
    QVERIFY(m_page->referenceLabel()->text().contains(u"ЗАМЕНА2"_s));

    m_page->nameEdit()->clear();
    typeText(m_page->nameEdit(), u"BC547"_s);
    QCOMPARE(m_page->nameList()->count(), 1);
    QCOMPARE(m_page->nameList()->item(0)->flags(), Qt::NoItemFlags);  // «нет такого имени»
}

void TstSubstitute::rankingMarksAndCount()
{
    m_page->setReference(1);
    m_page->nearMissSpin()->setValue(1);
    search();
    const QStringList names = resultNames();
    // The other structure is never shown; another package is no failure, it only comes after
    // the same package.
    QCOMPARE(names.size(), 6);
    QCOMPARE(names.mid(0, 4), (QStringList{u"ЗАМЕНА1"_s, u"ЗАМЕНА2"_s, u"КОРПУС"_s, u"ЗАМЕНА3"_s}));
    QStringList near = names.mid(4);
    near.sort();
    QStringList expectedNear{u"ПОЧТИ1"_s, u"ПОЧТИ2"_s};
    expectedNear.sort();
    QCOMPARE(near, expectedNear);
    QVERIFY2(m_page->countLabel()->text().contains(u"Полных совпадений: 4, близких: 2"_s),
             qPrintable(m_page->countLabel()->text()));
    // The reference has no value in most columns: those rules are reported, not dropped silently.
    QVERIFY(m_page->countLabel()->text().contains(u"Не применены правила"_s));

    const SubstituteResultsModel* model = m_page->resultsModel();
    const int uce = resultColumn(u"Uкэ max"_s);
    const int ck = resultColumn(u"Cк"_s);
    QVERIFY(uce > 0 && ck > 0);
    const QModelIndex failing = model->index(resultRow(u"ПОЧТИ1"_s), uce);
    const QModelIndex passing = model->index(resultRow(u"ЗАМЕНА1"_s), uce);
    const QModelIndex unknown = model->index(resultRow(u"ЗАМЕНА3"_s), ck);
    QCOMPARE(failing.data().toString(), u"15"_s);
    QVERIFY(failing.data(Qt::BackgroundRole).isValid());
    QVERIFY(!passing.data(Qt::BackgroundRole).isValid());
    QVERIFY(failing.data(Qt::ForegroundRole) != passing.data(Qt::ForegroundRole));
    QVERIFY(unknown.data(Qt::ForegroundRole).isValid());
    QVERIFY(unknown.data(Qt::ForegroundRole) != failing.data(Qt::ForegroundRole));
    QVERIFY(failing.data(Qt::ToolTipRole).toString().contains(u"Не подходит"_s));
    QVERIFY(unknown.data(Qt::ToolTipRole).toString().contains(u"Неизвестно"_s));
    // 25 V against the reference's 20 V.
    QVERIFY2(passing.data(Qt::ToolTipRole).toString().contains(u"+25,0 %"_s),
             qPrintable(passing.data(Qt::ToolTipRole).toString()));
    QCOMPARE(model->index(resultRow(u"ПОЧТИ1"_s), SubstituteResultsModel::VerdictColumn).data().toString(),
             u"не подходит по 1"_s);

    // No near misses asked for, at most two shown: the count still covers all.
    m_page->nearMissSpin()->setValue(0);
    m_page->topSpin()->setValue(2);
    search();
    QCOMPARE(resultNames(), (QStringList{u"ЗАМЕНА1"_s, u"ЗАМЕНА2"_s}));
    QVERIFY(m_page->countLabel()->text().contains(u"Полных совпадений: 4, близких: 0 (показаны первые 2)"_s));
}

void TstSubstitute::doubleClickChoosesRecord()
{
    m_page->setReference(1);
    search();
    QSignalSpy chosen(m_page.get(), &SubstitutePage::recordChosen);
    const QModelIndex cell = m_page->resultsModel()->index(resultRow(u"ЗАМЕНА2"_s), 0);
    doubleClickCell(m_page->resultsView(), cell);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen[0][0].toString(), m_openFile);
    QCOMPARE(chosen[0][1].toInt(), 3);  // table row of ЗАМЕНА2
}

void TstSubstitute::staleResultIsNotOpened()
{
    m_page->setReference(1);
    search();
    // The host reports an edit: ЗАМЕНА1 is renamed, so its row no longer holds it.
    m_base.table.setCell(2, 0, handmade::cp("ДРУГОЕ"));
    m_page->setOpenBase(&m_base, m_openFile);
    QCOMPARE(m_page->referenceRow(), 1);  // the reference itself is unchanged
    QSignalSpy chosen(m_page.get(), &SubstitutePage::recordChosen);
    const QModelIndex cell = m_page->resultsModel()->index(resultRow(u"ЗАМЕНА1"_s), 0);
    doubleClickCell(m_page->resultsView(), cell);
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(m_ui.messages.size(), 1);
    QVERIFY(m_ui.messages[0].text.contains(u"Повторите поиск"_s));
}

void TstSubstitute::ruleChangeRememberedAndDefaultsRestored()
{
    // Uкэ max (row 2) from «не меньше» to «не учитывать», as the user picks it in the cell.
    QTableView* view = m_page->rulesView();
    const QModelIndex ruleCell = m_page->rulesModel()->index(1, SubstituteRulesModel::RuleColumn);
    QCOMPARE(ruleCell.data().toString(), u"не меньше"_s);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(ruleCell).center());
    QComboBox* combo = openCombo(view);
    QVERIFY(combo);
    QCOMPARE(combo->count(), 5);
    QTest::keyClick(combo, Qt::Key_Home);
    QCOMPARE(ruleCell.data().toString(), u"не учитывать"_s);
    veltris::IniFile ini = veltris::IniFile::loadOrEmpty(m_settingsFile.toStdString());
    QCOMPARE(ini.readString("Substitute_1", "Col_2", ""), std::string("off"));

    // A new page (the next start of the program) shows the remembered rule.
    auto again = makePage();
    again->setOpenBase(&m_base, m_openFile);
    QCOMPARE(again->rulesModel()->rules()[1].kind, veltris::RuleKind::Off);
    QCOMPARE(again->rulesModel()->rules()[4].kind, veltris::RuleKind::AtLeast);  // untouched

    // «По умолчанию» brings the shipped rule back, in the file too.
    QTest::mouseClick(again->defaultsButton(), Qt::LeftButton);
    QCOMPARE(again->rulesModel()->rules()[1].kind, veltris::RuleKind::AtLeast);
    ini = veltris::IniFile::loadOrEmpty(m_settingsFile.toStdString());
    QCOMPARE(ini.readString("Substitute_1", "Col_2", ""), std::string("ge:10"));

    // The band of h21э (row 14): its +q typed into the cell's editor is remembered too.
    const QModelIndex plus = again->rulesModel()->index(13, SubstituteRulesModel::PlusColumn);
    QCOMPARE(plus.data().toString(), u"+300 %"_s);
    QTableView* againView = again->rulesView();
    again->resize(1000, 700);
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.get()));
    againView->scrollTo(plus);
    QTest::mouseClick(againView->viewport(), Qt::LeftButton, {}, againView->visualRect(plus).center());
    auto* spin = againView->viewport()->findChild<QSpinBox*>();
    QVERIFY(spin && spin->isVisible());
    spin->selectAll();
    QTest::keyClicks(spin, u"150"_s);
    QTest::keyClick(spin, Qt::Key_Return);
    QTRY_COMPARE(plus.data().toString(), u"+150 %"_s);  // the editor commits from the event loop
    ini = veltris::IniFile::loadOrEmpty(m_settingsFile.toStdString());
    QCOMPARE(ini.readString("Substitute_1", "Col_14", ""), std::string("band:30:150"));
    // Spreads belong to «в пределах» only: no editor on another rule's.
    QVERIFY(!(again->rulesModel()->flags(again->rulesModel()->index(1, SubstituteRulesModel::PlusColumn)) &
              Qt::ItemIsEditable));

    // The LED colour code offers only «не учитывать» and «равно».
    veltris::ComponentBase leds = handmade::makeBase(7, {{"АЛ307А", {{1, "R"}}}});
    m_page->setOpenBase(&leds, {});
    const QModelIndex colour = m_page->rulesModel()->index(0, SubstituteRulesModel::RuleColumn);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(colour).center());
    combo = openCombo(view);
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
}

void TstSubstitute::csvExport()
{
    m_page->setReference(1);
    m_page->nearMissSpin()->setValue(0);
    search();
    QVERIFY(m_page->exportButton()->isEnabled());
    const QString file = m_dir->filePath(u"замена.csv"_s);
    m_ui.saveAnswers.enqueue(file);
    QTest::mouseClick(m_page->exportButton(), Qt::LeftButton);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 6);  // header, four matches, nothing after the last CR LF
    QVERIFY(lines[0].startsWith(cp1251(u"Имя;База;Итог;"_s)));
    QVERIFY(lines[0].contains(cp1251(u";h21э (в пределах -30..+300 %);"_s)));
    // Rules in column order: structure, Uкэ, Iк, h21э, fгр, Cк.
    QCOMPARE(lines[1], cp1251(u"ЗАМЕНА1;"_s + m_openFile + u";подходит;1;25;100;50-350;300;5;\r"_s));
    QVERIFY(lines[4].startsWith(cp1251(u"ЗАМЕНА3;"_s)));
    QVERIFY(lines[5].isEmpty());

    // A folder that does not exist: the user is told, nothing is written.
    m_ui.saveAnswers.enqueue(m_dir->filePath(u"нет/замена.csv"_s));
    QTest::mouseClick(m_page->exportButton(), Qt::LeftButton);
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages[0].text, u"Ошибка записи в файл"_s);
}

void TstSubstitute::libraryScopeFindsOtherBase()
{
    m_page->setReference(1);
    m_page->nearMissSpin()->setValue(1);
    QTest::mouseClick(m_page->libraryScope(), Qt::LeftButton);
    QVERIFY(m_page->libraryScope()->isChecked());
    search();
    const QStringList names = resultNames();
    // The same values as the reference: first; the open base counted once, not twice.
    QCOMPARE(names.value(0), u"ЕЩЁ"_s);
    QCOMPARE(names.count(u"ЗАМЕНА1"_s), 1);
    QVERIFY(names.contains(u"ЧУЖОЙ"_s));
    QCOMPARE(m_page->resultsModel()->index(0, SubstituteResultsModel::BaseColumn).data().toString(),
             u"b_other.QDB"_s);
    QVERIFY(m_page->countLabel()->text().contains(u"Полных совпадений: 5, близких: 3"_s));

    QSignalSpy chosen(m_page.get(), &SubstitutePage::recordChosen);
    const QModelIndex cell = m_page->resultsModel()->index(resultRow(u"ЕЩЁ"_s), 0);
    doubleClickCell(m_page->resultsView(), cell);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(QFileInfo(chosen[0][0].toString()), QFileInfo(m_otherFile));
    QCOMPARE(chosen[0][1].toInt(), 2);
}

void TstSubstitute::cancelLeavesNoResults()
{
    m_page->setReference(1);
    search();
    QVERIFY(!resultNames().isEmpty());
    // A library search blocks the window with its progress window at once; Cancel stops it.
    QTest::mouseClick(m_page->libraryScope(), Qt::LeftButton);
    QTest::mouseClick(m_page->findButton(), Qt::LeftButton);
    QVERIFY(m_page->isSearching());
    QVERIFY(!m_page->findButton()->isEnabled());
    QDialog* progress = m_page->progressDialog();
    QVERIFY(progress && progress->isVisible());
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    QTest::mouseClick(m_page->cancelButton(), Qt::LeftButton);
    QTRY_VERIFY(!m_page->isSearching());
    QVERIFY(m_page->progressDialog() == nullptr);
    QVERIFY(m_page->findButton()->isEnabled());
    QVERIFY(resultNames().isEmpty());
    QVERIFY(!m_page->exportButton()->isEnabled());
    QVERIFY(m_page->countLabel()->text().contains(u"Поиск прерван"_s));

    // The next search runs in full again.
    search();
    QVERIFY(resultNames().contains(u"ЕЩЁ"_s));

    // The host replaces the open base while a search runs: that search's rows would belong to
    // the old base, so it is cancelled and shows nothing.
    QTest::mouseClick(m_page->openBaseScope(), Qt::LeftButton);
    QTest::mouseClick(m_page->findButton(), Qt::LeftButton);
    QVERIFY(m_page->isSearching());
    veltris::ComponentBase other = handmade::makeBase(1, {{"ДРУГАЯ", handmade::part("1", "1", "1", "1", "1")}});
    m_page->setOpenBase(&other, m_otherFile);
    QTRY_VERIFY(!m_page->isSearching());
    QVERIFY(resultNames().isEmpty());
    QVERIFY(m_page->countLabel()->text().contains(u"Поиск прерван"_s));
    QCOMPARE(m_page->referenceRow(), 0);  // the reference was a record of the old base
    m_page->setOpenBase(&m_base, m_openFile);
}

QTEST_MAIN(TstSubstitute)
#include "tst_substitute.moc"
