// The navigator window over folders of generated bases.
#include <QCollator>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/devicetype.h"
#include "modeltesters.h"
#include "scriptedui.h"
#include "search/navigatorlistmodel.h"
#include "search/navigatorwindow.h"
#include "testwindow.h"
#include "widgets/apputil.h"

namespace {

enum class Format {
    V3,
    V4,
    V5
};

// A base of `type` with one record per name, written by the program's own writer; versions 3
// and 4 get their version bytes (and, for 3, the shorter records) afterwards.
void writeTestBase(const QString& path, int type, const QString& description, const QStringList& names,
                   Format format = Format::V5)
{
    static const veltris::Catalogue catalogue =
        veltris::loadCatalogues(toFsPath(QStringLiteral(VELTRIS_BIN_DIR))).catalogue;
    veltris::ComponentBase base = veltris::makeEmptyBase(catalogue, "");
    base.deviceType = static_cast<std::uint16_t>(type);
    base.table = veltris::Table(static_cast<int>(names.size()) + 1, veltris::tableColumnCount(type));
    for (int r = 0; r < names.size(); ++r)
        base.table.setCell(r + 1, 0, qStringToCp(names[r]));
    base.setDescription(qStringToCp(description));
    QVERIFY(veltris::writeBase(base, toFsPath(path)));
    if (format == Format::V5)
        return;

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    bytes[58] = 0;
    bytes[59] = 0;
    bytes[60] = static_cast<char>(format == Format::V3 ? 0x40 : 0x80);  // float 3.0 / 4.0
    bytes[61] = 0x40;
    if (format == Format::V3) {
        QByteArray v3 = bytes.left(veltris::kLeadSize);
        for (const QString& name : names) {
            QByteArray record(veltris::kRecordSizeV3, '\0');
            const QByteArray cp = cp1251(name);
            record[0] = static_cast<char>(cp.size());
            record.replace(1, cp.size(), cp);
            v3 += record;
        }
        bytes = v3;
    }
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Types text as a user would, Cyrillic included (keyClicks takes Latin-1 only).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// The program with one scan folder the test fills before start().
struct NavWorld {
    AppFolder app;
    QTemporaryDir bases;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;

    QString base(const QString& name) const { return bases.filePath(name); }
    void start()
    {
        app.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n[Scan]\nDir0=") + bases.path() +
                          QStringLiteral("\n"));
        form = std::make_unique<TestWindow>(app.paths(), ui, QStringList{});
        testModelsUnder(form.get());
    }
    NavigatorWindow* nav() const { return form->navigatorWindow(); }

    QStringList items() const
    {
        QStringList out;
        const NavigatorListModel* m = nav()->listModel();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->name(r);
        return out;
    }
    int selectedRow() const
    {
        const QModelIndexList sel = nav()->componentList()->selectionModel()->selectedIndexes();
        return sel.isEmpty() ? -1 : sel.first().row();
    }
    void clickType(int row) const
    {
        QListWidget* list = nav()->typeList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    QPoint itemCenter(int row) const
    {
        QListView* list = nav()->componentList();
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        return list->visualRect(index).center();
    }
    void doubleClickItem(int row) const
    {
        QListView* list = nav()->componentList();
        const QPoint at = itemCenter(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // Shows the navigator through the main window's command; `inside` drives it.
    void runNavigator(const std::function<void(NavigatorWindow*)>& inside)
    {
        ui.onDialog(QStringLiteral("navigatorWindow"), [inside](QDialog* d) {
            auto* nav = static_cast<NavigatorWindow*>(d);
            inside(nav);
            return nav->result();
        });
        form->showNavigator();
    }
};

}  // namespace

class TstNavigator : public QObject {
    Q_OBJECT
private slots:
    void layoutNamesAndCaptions();
    void listsByDeviceType();
    void sortAndSearchFollowTheListBoxOrder();
    void quickSearch_data();
    void quickSearch();
    void quickSearchUpperCaseAsTyped();
    void quickSearchReadsLatinAsOnTheSubstitutePage();
    void sameNameOpensItsOwnBase();
    void sameNameShowsItsBase();
    void unsavedPrompt_data();
    void unsavedPrompt();
    void missingFileDoesNothing();
    void closeAndHelpKeys();
    void stateKeptBetweenShowings();
    void emptyCatalogue();
};

void TstNavigator::layoutNamesAndCaptions()
{
    NavWorld w;
    w.start();
    NavigatorWindow* nav = w.nav();
    QCOMPARE(nav->windowTitle(), QStringLiteral("Навигатор"));
    QCOMPARE(nav->size(), QSize(553, 448));

    const struct {
        const char* name;
        QRect rect;
    } controls[] = {
        {"typeList", {8, 32, 185, 257}},        {"quickSearch", {208, 32, 177, 24}},
        {"componentList", {208, 64, 177, 225}}, {"description", {8, 328, 537, 113}},
        {"closeButton", {416, 40, 121, 41}},    {"helpButton", {416, 96, 121, 41}},
    };
    for (const auto& c : controls) {
        auto* widget = nav->findChild<QWidget*>(QLatin1String(c.name));
        QVERIFY2(widget, c.name);
        QCOMPARE(widget->geometry(), c.rect);
    }
    const struct {
        const char* name;
        QString text;
        QPoint pos;
    } labels[] = {
        {"typeLabel", QStringLiteral("Тип прибора"), {8, 8}},
        {"quickSearchLabel", QStringLiteral("Быстрый поиск"), {208, 8}},
        {"descriptionLabel", QStringLiteral("Описание базы"), {8, 304}},
    };
    for (const auto& l : labels) {
        auto* label = nav->findChild<QLabel*>(QLatin1String(l.name));
        QVERIFY2(label, l.name);
        QCOMPARE(label->text(), l.text);
        QCOMPARE(label->pos(), l.pos);
    }
    QCOMPARE(nav->closeButton()->text(), QStringLiteral("Закрыть"));
    QCOMPARE(nav->helpButton()->text(), QStringLiteral("&Помощь"));
    QVERIFY(!nav->descriptionView()->isEnabled());

    const QStringList types = {
        QStringLiteral("Все приборы"),         QStringLiteral("Биполярные транзисторы"),
        QStringLiteral("Полевые транзисторы"), QStringLiteral("Диоды"),
        QStringLiteral("Стабилитроны"),        QStringLiteral("Варикапы"),
        QStringLiteral("Тиристоры"),           QStringLiteral("Светодиоды")};
    QListWidget* list1 = nav->typeList();
    QCOMPARE(list1->count(), types.size());
    for (int i = 0; i < types.size(); ++i)
        QCOMPARE(list1->item(i)->text(), types[i]);
    QCOMPARE(list1->currentRow(), 0);  // the window starts on "Все приборы"
    QCOMPARE(list1->visualItemRect(list1->item(1)).height(), NavigatorWindow::kItemHeight);
    QVERIFY(w.ui.messages.isEmpty());
}

void TstNavigator::listsByDeviceType()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("bip.QDB")), 1, QStringLiteral("Транзисторы"),
                  {QStringLiteral("kt315"), QStringLiteral("BC547"), QStringLiteral("КТ3102")});
    writeTestBase(w.base(QStringLiteral("dio.QDB")), 3, QStringLiteral("Диоды"),
                  {QStringLiteral("1N4148"), QStringLiteral("Д9Б"), QStringLiteral("kd522"),
                   QStringLiteral("BAV21"), QStringLiteral("Д226")});
    writeTestBase(w.base(QStringLiteral("v3.QDB")), 1, QStringLiteral("Старая"), {QStringLiteral("MP42")},
                  Format::V3);
    writeTestBase(w.base(QStringLiteral("v4.QDB")), 1, QStringLiteral("Прежняя"), {QStringLiteral("ГТ308")},
                  Format::V4);
    w.start();
    QCOMPARE(w.form->document().application().navigatorCatalogue().size(), size_t{10});

    // Digits, then Latin, then Cyrillic; case ignored.
    const QStringList all = {QStringLiteral("1N4148"), QStringLiteral("BAV21"), QStringLiteral("BC547"),
                             QStringLiteral("kd522"),  QStringLiteral("kt315"), QStringLiteral("MP42"),
                             QStringLiteral("ГТ308"),  QStringLiteral("Д226"),  QStringLiteral("Д9Б"),
                             QStringLiteral("КТ3102")};
    QCOMPARE(w.items(), all);
    QCOMPARE(w.selectedRow(), -1);

    const QList<QPair<int, QStringList>> byType = {
        {1,
         {QStringLiteral("BC547"), QStringLiteral("kt315"), QStringLiteral("MP42"), QStringLiteral("ГТ308"),
          QStringLiteral("КТ3102")}},
        {2, {}},
        {3,
         {QStringLiteral("1N4148"), QStringLiteral("BAV21"), QStringLiteral("kd522"), QStringLiteral("Д226"),
          QStringLiteral("Д9Б")}},
        {7, {}},
        {0, all},
        {0, all},  // a click on the type already chosen refills too and clears the quick search
    };
    for (const auto& [type, expected] : byType) {
        w.nav()->quickSearchEdit()->setText(QStringLiteral("K"));
        w.clickType(type);
        QCOMPARE(w.nav()->typeList()->currentRow(), type);
        QCOMPARE(w.items(), expected);
        QVERIFY(w.nav()->quickSearchEdit()->text().isEmpty());
        QVERIFY(w.nav()->descriptionView()->toPlainText().isEmpty());
        QCOMPARE(w.selectedRow(), -1);
    }

    // Every item carries its own entry.
    w.clickType(1);
    const NavigatorListModel* m = w.nav()->listModel();
    QCOMPARE(QString::fromStdString(m->entry(2).fileName()), w.base(QStringLiteral("v3.QDB")));
    QCOMPARE(cpToQString(m->entry(3).description()), QStringLiteral("Прежняя"));
    QCOMPARE(int(m->entry(3).deviceType), 1);
}

// The list keeps the order a Windows list box gave, which the root collation of the Unicode
// library, case-insensitive, reproduces: the sort and the quick search must both follow it on
// names holding every character of the code page, or the quick search lands on the wrong item.
void TstNavigator::sortAndSearchFollowTheListBoxOrder()
{
    NavWorld w;
    QStringList names;
    const QString pieces[] = {QStringLiteral("KT"), QStringLiteral("кт"), QStringLiteral("Д"),
                              QStringLiteral("1N"), QStringLiteral("bc"), QStringLiteral("Ё"),
                              QStringLiteral("е"),  QStringLiteral("-"),  QStringLiteral("2T"),
                              QStringLiteral("ГТ")};
    for (int i = 0; i < 400; ++i)
        names << pieces[i % 10] + pieces[(i * 7 + 3) % 10] + QString::number((i * 37) % 101);
    // Every byte of the code page alone, between letters and after an accented letter.
    for (int b = 1; b < 256; ++b) {
        const QString c = cpToQString(std::string(1, static_cast<char>(b)));
        names << c << QStringLiteral("Е") + c + QStringLiteral("А") << QStringLiteral("ЁК") + c
              << c + QStringLiteral("кт") + QString::number(b % 7);
    }
    names << QStringLiteral("ЕЁ") << QStringLiteral("ЁЕ") << QStringLiteral("ЁЁ") << QStringLiteral("ЕЕ")
          << QStringLiteral("ГҐ") << QStringLiteral("ЃГ") << QStringLiteral("...") << QStringLiteral("NO1");
    writeTestBase(w.base(QStringLiteral("many.QDB")), 1, QStringLiteral("Много"), names);
    w.start();
    const NavigatorListModel* m = w.nav()->listModel();
    QCOMPARE(m->rowCount(), names.size());
    QCollator c(QLocale(QLocale::English, QLocale::UnitedStates));
    c.setCaseSensitivity(Qt::CaseInsensitive);
    for (int r = 1; r < m->rowCount(); ++r) {
        const int order = c.compare(m->name(r - 1), m->name(r));
        QVERIFY2(order <= 0, qPrintable(m->name(r - 1) + QStringLiteral(" > ") + m->name(r)));
        // Names the order does not tell apart keep the order of the file.
        if (order == 0)
            QVERIFY(m->data(m->index(r - 1), NavigatorListModel::CatalogueIndexRole).toULongLong() <
                    m->data(m->index(r), NavigatorListModel::CatalogueIndexRole).toULongLong());
    }
    QStringList probes = names;
    probes << QString() << QStringLiteral("ЯЯЯ") << QStringLiteral("0") << QStringLiteral("KT5")
           << QStringLiteral("Е");
    for (const QString& probe : probes) {
        const QString t = probe.toUpper();
        if (cpToQString(qStringToCp(t)) != t)
            continue;  // an upper case outside the code page ("µ" gives a Greek letter)
        int expected = 0;
        while (expected < m->rowCount() && c.compare(m->name(expected), t) < 0)
            ++expected;
        QCOMPARE(m->insertionRow(t), expected);
    }
}

void TstNavigator::quickSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("selected");  // empty: nothing selected
    QTest::addColumn<QString>("description");

    QTest::newRow("first characters") << "kt3"
                                      << "kt3102"
                                      << "Вторая";
    QTest::newRow("a whole name, other case") << "KT315A"
                                              << "KT315A"
                                              << "Первая";
    QTest::newRow("between two names") << "KT4"
                                       << "MP42"
                                       << "Первая";
    QTest::newRow("cyrillic") << "д"
                              << "Д9Б"
                              << "Вторая";
    QTest::newRow("empty text: the first item") << ""
                                                << "1N4148"
                                                << "Вторая";
    // Past every item: nothing selected, the description of the first item.
    QTest::newRow("after every name") << "ЯЯ"
                                      << ""
                                      << "Вторая";
}

void TstNavigator::quickSearch()
{
    QFETCH(QString, typed);
    QFETCH(QString, selected);
    QFETCH(QString, description);

    NavWorld w;
    writeTestBase(w.base(QStringLiteral("a.QDB")), 1, QStringLiteral("Первая"),
                  {QStringLiteral("KT315A"), QStringLiteral("MP42"), QStringLiteral("KT315B")});
    writeTestBase(w.base(QStringLiteral("b.QDB")), 3, QStringLiteral("Вторая"),
                  {QStringLiteral("kt3102"), QStringLiteral("1N4148"), QStringLiteral("Д9Б")});
    w.start();
    QLineEdit* edit = w.nav()->quickSearchEdit();
    edit->setText(QStringLiteral("X"));  // so that the empty text is a change too
    edit->clear();
    typeText(edit, typed);
    QCOMPARE(edit->text(), typed.toUpper());
    if (selected.isEmpty())
        QCOMPARE(w.selectedRow(), -1);
    else
        QCOMPARE(w.nav()->listModel()->name(w.selectedRow()), selected);
    QCOMPARE(w.nav()->descriptionView()->toPlainText(), description);
}

// A name typed in Latin letters finds the Cyrillic one, as on the page «Замена»: look-alike
// letters, transliteration, blanks left out. A text some name begins with keeps the list's own
// positioning.
void TstNavigator::quickSearchReadsLatinAsOnTheSubstitutePage()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("a.QDB")), 1, QStringLiteral("Первая"),
                  {QStringLiteral("КТ315Б"), QStringLiteral("КТ3102В"), QStringLiteral("КТ361Г"),
                   QStringLiteral("BC547")});
    w.start();
    const struct {
        const char* typed;
        const char* selected;
    } cases[] = {
        {"kt315b", "КТ315Б"},    // k, t look-alikes; b transliterated
        {"kt3102v", "КТ3102В"},  // v transliterated
        {"kt 361", "КТ361Г"},    // blanks left out; the name holds it
        {"bc5", "BC547"},        // a name begins with it: the list's own place
    };
    QLineEdit* edit = w.nav()->quickSearchEdit();
    for (const auto& c : cases) {
        edit->clear();
        typeText(edit, QString::fromUtf8(c.typed));
        QVERIFY2(w.selectedRow() >= 0, c.typed);
        QCOMPARE(w.nav()->listModel()->name(w.selectedRow()), QString::fromUtf8(c.selected));
    }
}

void TstNavigator::quickSearchUpperCaseAsTyped()
{
    NavWorld w;
    w.start();
    QLineEdit* edit = w.nav()->quickSearchEdit();
    typeText(edit, QStringLiteral("kт3a"));
    QCOMPARE(edit->text(), QStringLiteral("KТ3A"));
    edit->setCursorPosition(1);
    typeText(edit, QStringLiteral("ё"));
    QCOMPARE(edit->text(), QStringLiteral("KЁТ3A"));
    QCOMPARE(edit->cursorPosition(), 2);
}

void TstNavigator::sameNameOpensItsOwnBase()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("a.QDB")), 1, QStringLiteral("Первая"),
                  {QStringLiteral("KT315A"), QStringLiteral("AAA")});
    writeTestBase(w.base(QStringLiteral("b.QDB")), 3, QStringLiteral("Вторая"),
                  {QStringLiteral("KT315A"), QStringLiteral("BBB"), QStringLiteral("CCC")});
    w.start();
    QCOMPARE(w.items(), (QStringList{QStringLiteral("AAA"), QStringLiteral("BBB"), QStringLiteral("CCC"),
                                     QStringLiteral("KT315A"), QStringLiteral("KT315A")}));
    for (const int row : {3, 4}) {
        const QString expected = QString::fromStdString(w.nav()->listModel()->entry(row).fileName());
        w.runNavigator([&](NavigatorWindow* nav) {
            w.doubleClickItem(row);
            QVERIFY(!nav->isVisible());
            QCOMPARE(nav->result(), int(QDialog::Rejected));
        });
        QCOMPARE(w.form->document().fileName(), expected);
        QCOMPARE(w.form->document().base().recordCount(), row == 3 ? 2 : 3);
        QCOMPARE(cpToQString(w.form->document().base().description()),
                 row == 3 ? QStringLiteral("Первая") : QStringLiteral("Вторая"));
        QVERIFY(!w.form->document().isModified());
    }
    QVERIFY(w.ui.messages.isEmpty());
    QVERIFY(w.ui.unexpected.isEmpty());
}

// A name in several bases shows the base's file name in its row, the full path in its tooltip;
// a name in one base shows only itself.
void TstNavigator::sameNameShowsItsBase()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("first.QDB")), 1, QStringLiteral("Первая"),
                  {QStringLiteral("KT315A"), QStringLiteral("AAA"), QStringLiteral("AAA")});
    writeTestBase(w.base(QStringLiteral("second.QDB")), 3, QStringLiteral("Вторая"),
                  {QStringLiteral("kt315a"), QStringLiteral("BBB")});
    w.start();
    const NavigatorListModel* m = w.nav()->listModel();
    QCOMPARE(w.items(), (QStringList{QStringLiteral("AAA"), QStringLiteral("AAA"), QStringLiteral("BBB"),
                                     QStringLiteral("KT315A"), QStringLiteral("kt315a")}));
    // Twice in one base is no reason: the base would not tell them apart.
    const bool shared[] = {false, false, false, true, true};
    for (int row = 0; row < m->rowCount(); ++row) {
        QCOMPARE(m->nameInSeveralBases(row), shared[row]);
        QCOMPARE(m->data(m->index(row), Qt::ToolTipRole).toString(),
                 QString::fromStdString(m->entry(row).fileName()));
    }
    QCOMPARE(m->baseFileName(3), QStringLiteral("first.QDB"));
    QCOMPARE(m->baseFileName(4), QStringLiteral("second.QDB"));

    // Painted: something right of a shared name, nothing right of the others.
    w.ui.onDialog(QStringLiteral("navigatorWindow"), [&](QDialog* d) {
        QListView* list = static_cast<NavigatorWindow*>(d)->componentList();
        list->selectionModel()->clear();
        const QImage image = list->viewport()->grab().toImage();
        const auto inkRightOf = [&](int row) {
            const QRect r = list->visualRect(list->model()->index(row, 0));
            const QRgb background = image.pixel(r.right() - 1, r.bottom());
            int ink = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left() + r.width() / 2; x < r.right(); ++x)
                    ink += image.pixel(x, y) != background;
            return ink;
        };
        if (inkRightOf(3) == 0 || inkRightOf(4) == 0 || inkRightOf(0) != 0 || inkRightOf(2) != 0)
            QTest::qFail("file names not painted as expected", __FILE__, __LINE__);
        return int(QDialog::Rejected);
    });
    w.form->showNavigator();
}

void TstNavigator::unsavedPrompt_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<QStringList>("texts");

    const QString prompt = QStringLiteral("Файл не сохранён.\r\nСохранить?");
    QTest::newRow("Cancel keeps the base") << int(Answer::Cancel) << false << false << QStringList{prompt};
    QTest::newRow("No replaces it unsaved") << int(Answer::No) << false << true << QStringList{prompt};
    QTest::newRow("Yes saves, then replaces it") << int(Answer::Yes) << false << true << QStringList{prompt};
    QTest::newRow("Yes with a failing save keeps everything")
        << int(Answer::Yes) << true << false << QStringList{prompt, QStringLiteral("Ошибка записи в файл")};
}

void TstNavigator::unsavedPrompt()
{
    QFETCH(int, answer);
    QFETCH(bool, saveFails);
    QFETCH(bool, replaced);
    QFETCH(QStringList, texts);

    NavWorld w;
    writeTestBase(w.base(QStringLiteral("target.QDB")), 3, QStringLiteral("Цель"), {QStringLiteral("Д9Б")});
    w.start();
    // The open base is not in the scan folder; it has one record more than on disk.
    const QString open = w.app.file(QStringLiteral("open.QDB"));
    writeTestBase(open, 1, QStringLiteral("Открытая"), {QStringLiteral("KT315A")});
    QVERIFY(w.form->document().load(open));
    w.form->document().base().table.appendRow();
    w.form->document().base().table.setCell(2, 0, "NEW");
    w.form->document().setModified(true);
    const QString current = saveFails ? QStringLiteral("/nonexistent-folder/open.QDB") : open;
    w.form->document().setFileName(current);

    w.ui.messageAnswers.enqueue(Answer(answer));
    w.runNavigator([&](NavigatorWindow* nav) {
        w.doubleClickItem(0);
        QVERIFY(!nav->isVisible());
    });
    QCOMPARE(w.ui.messageTexts(), texts);
    QCOMPARE(w.ui.messages.first().caption, QStringLiteral("Подтверждение"));
    QCOMPARE(w.ui.messages.first().buttons, Answer::Yes | Answer::No | Answer::Cancel);
    if (replaced) {
        QCOMPARE(w.form->document().fileName(), w.base(QStringLiteral("target.QDB")));
        QCOMPARE(int(w.form->document().base().deviceType), 3);
        QVERIFY(!w.form->document().isModified());
    } else {
        QCOMPARE(w.form->document().fileName(), current);
        QCOMPARE(w.form->document().base().recordCount(), 2);
        QVERIFY(w.form->document().isModified());
    }
    // Only Yes with a working save writes the open base.
    const auto onDisk = veltris::readBase(toFsPath(open), w.form->document().catalogue());
    QVERIFY(onDisk);
    QCOMPARE(onDisk->recordCount(), Answer(answer) == Answer::Yes && !saveFails ? 2 : 1);
    QVERIFY(w.ui.allAnswersUsed());
}

void TstNavigator::missingFileDoesNothing()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("gone.QDB")), 1, QStringLiteral("Удалённая"),
                  {QStringLiteral("KT315A")});
    w.start();
    QVERIFY(QFile::remove(w.base(QStringLiteral("gone.QDB"))));
    w.form->document().setModified(true);  // no prompt either: nothing is about to be replaced
    w.runNavigator([&](NavigatorWindow* nav) {
        QCOMPARE(w.items(), QStringList{QStringLiteral("KT315A")});  // still listed
        w.doubleClickItem(0);
        QVERIFY(nav->isVisible());
        QTest::keyClick(nav->componentList(), Qt::Key_Escape);
        QVERIFY(!nav->isVisible());
    });
    QVERIFY(w.ui.messages.isEmpty());
    QVERIFY(w.form->document().fileName().isEmpty());
    QVERIFY(w.form->document().isModified());
}

void TstNavigator::closeAndHelpKeys()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("a.QDB")), 1, QStringLiteral("Первая"), {QStringLiteral("KT315A")});
    w.start();
    w.runNavigator([&](NavigatorWindow* nav) {
        QTest::keyClick(nav->quickSearchEdit(), Qt::Key_F1);
        QTest::keyClick(nav->componentList(), Qt::Key_F1);
        QTest::mouseClick(nav->helpButton(), Qt::LeftButton);
        QTest::keyClick(nav->quickSearchEdit(), Qt::Key_Return);  // no default button to close the window
        QVERIFY(nav->isVisible());
        QTest::mouseClick(nav->closeButton(), Qt::LeftButton);
        QVERIFY(!nav->isVisible());
        QCOMPARE(nav->result(), int(QDialog::Rejected));
    });
    w.runNavigator([&](NavigatorWindow* nav) {
        QTest::keyClick(nav->quickSearchEdit(), Qt::Key_Escape);
        QVERIFY(!nav->isVisible());
    });
    QCOMPARE(w.ui.helpTopics, (QList<int>{19, 19, 19}));
    QVERIFY(w.form->document().fileName().isEmpty());
    QVERIFY(w.ui.unexpected.isEmpty());
}

void TstNavigator::stateKeptBetweenShowings()
{
    NavWorld w;
    writeTestBase(w.base(QStringLiteral("a.QDB")), 1, QStringLiteral("Первая"), {QStringLiteral("KT315A")});
    writeTestBase(w.base(QStringLiteral("b.QDB")), 3, QStringLiteral("Вторая"),
                  {QStringLiteral("KD522"), QStringLiteral("Д9Б")});
    w.start();
    w.runNavigator([&](NavigatorWindow* nav) {
        w.clickType(3);
        typeText(nav->quickSearchEdit(), QStringLiteral("д"));
        nav->reject();
    });
    w.runNavigator([&](NavigatorWindow* nav) {
        QCOMPARE(nav->typeList()->currentRow(), 3);
        QCOMPARE(nav->quickSearchEdit()->text(), QStringLiteral("Д"));
        QCOMPARE(w.items(), (QStringList{QStringLiteral("KD522"), QStringLiteral("Д9Б")}));
        QCOMPARE(w.selectedRow(), 1);
        QCOMPARE(nav->descriptionView()->toPlainText(), QStringLiteral("Вторая"));
        // A click (or the keyboard) in the list shows that item's base.
        w.clickType(0);
        QTest::mouseClick(nav->componentList()->viewport(), Qt::LeftButton, {}, w.itemCenter(1));
        QCOMPARE(nav->descriptionView()->toPlainText(), QStringLiteral("Первая"));
        QTest::keyClick(nav->componentList(), Qt::Key_Down);
        QCOMPARE(nav->descriptionView()->toPlainText(), QStringLiteral("Вторая"));
        nav->reject();
    });
    QCOMPARE(w.ui.dialogs,
             (QStringList{QStringLiteral("navigatorWindow"), QStringLiteral("navigatorWindow")}));
}

void TstNavigator::emptyCatalogue()
{
    NavWorld w;
    w.start();
    w.runNavigator([&](NavigatorWindow* nav) {
        QCOMPARE(nav->listModel()->rowCount(), 0);
        QTest::keyClicks(nav->quickSearchEdit(), QStringLiteral("KT"));
        QCOMPARE(w.selectedRow(), -1);
        QVERIFY(nav->descriptionView()->toPlainText().isEmpty());
        nav->openChosenBase();
        QVERIFY(nav->isVisible());
        nav->reject();
    });
    QVERIFY(w.ui.messages.isEmpty());
}

QTEST_MAIN(TstNavigator)
#include "tst_navigator.moc"
