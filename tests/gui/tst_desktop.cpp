// The program on a Russian desktop: Qt's standard texts in Russian, the Tahoma font, texts that fit
// their controls, where the files are found, and the rough edges of everyday use (the tables and
// lists start at the top, the file dialogs' folder is kept, the start-up navigator appears).
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/desktopsetup.h"
#include "app/mainwindow.h"
#include "app/qtuiservices.h"
#include "app/startup.h"
#include "docfixture.h"
#include "document/apppaths.h"
#include "search/navigatorwindow.h"
#include "search/searchpage.h"
#include "testwindow.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

// Runs `handler` on the next modal window once it is shown (inside the caller's exec()).
void whenModalShown(std::function<void(QWidget*)> handler)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, handler = std::move(handler)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        handler(modal);
    });
    timer->start();
}

QString plainText(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text;
}

bool hasCyrillic(const QString& text)
{
    return text.contains(QRegularExpression(QStringLiteral("[А-Яа-яЁё]")));
}

// A visible label, button or selector of `root` whose text is wider than the room its control
// gives it, measured with the control's own font.
QStringList clippedTexts(QWidget* root)
{
    QStringList clipped;
    const auto report = [&clipped](QWidget* w, const QString& text, int need, int room) {
        if (need > room)
            clipped
                << QStringLiteral("%1 «%2»: %3 px в %4 px").arg(w->objectName(), text).arg(need).arg(room);
    };
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || w->window() != root->window())
            continue;
        const QFontMetrics fm(w->font());
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QString text = plainText(label->text());
            if (text.isEmpty() || label->textFormat() == Qt::RichText || Qt::mightBeRichText(text))
                continue;
            // What the parent shows of the label counts, not only the label's own size.
            const QRect inParent = label->parentWidget()->rect().translated(-label->pos());
            const QRect room =
                (label->contentsRect() & inParent)
                    .adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
            if (label->wordWrap()) {
                const QRect need = fm.boundingRect(room, Qt::TextWordWrap, text);
                report(w, text, need.height(), room.height());
            } else {
                for (const QString& line : text.split(QLatin1Char('\n')))
                    report(w, line, fm.horizontalAdvance(line), room.width());
            }
        } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
            report(w, check->text(), check->sizeHint().width(), check->width());
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            report(w, radio->text(), radio->sizeHint().width(), radio->width());
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            const QString text = plainText(button->text());
            if (text.isEmpty())
                continue;
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            const int frame = 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w) + 4;
            report(w, text, fm.horizontalAdvance(text) + icon, button->contentsRect().width() - frame);
            // A caption fits by the button's size, not by a smaller font than its neighbours'.
            if (QFontInfo(button->font()).pixelSize() < QFontInfo(button->parentWidget()->font()).pixelSize())
                clipped << QStringLiteral("%1 «%2»: меньший шрифт").arg(button->objectName(), text);
            // A button grown to its text must not run into its neighbour.
            for (QPushButton* other :
                 button->parentWidget()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
                if (other != button && other->isVisibleTo(root) &&
                    other->geometry().intersects(button->geometry()))
                    clipped << QStringLiteral("%1 covers %2").arg(button->objectName(), other->objectName());
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QStyleOptionComboBox opt;
            opt.initFrom(combo);
            opt.editable = combo->isEditable();
            const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                               QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i)
                report(w, combo->itemText(i), fm.horizontalAdvance(combo->itemText(i)), field.width());
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            report(w, group->title(), fm.horizontalAdvance(plainText(group->title())) + 16, group->width());
        }
    }
    return clipped;
}

// The topmost row of `image` inside `rect` with dark ink; -1 when there is none.
int firstInkRow(const QImage& image, const QRect& rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                return y;
    return -1;
}

// The window shown (at `size` when given) with the bipolar sample open.
bool showWithSample(DocFixture& f, QSize size = {})
{
    if (size.isValid())
        f.form->resize(size);
    f.form->show();
    if (!QTest::qWaitForWindowExposed(f.form.get()))
        return false;
    f.openSample(QStringLiteral("bipolar.QDB"));
    return true;
}

// A main window on the real UiServices, over a temporary program folder.
struct RealUiWindow {
    AppFolder folder;
    QtUiServices ui{QString()};
    std::unique_ptr<MainWindow> form;

    RealUiWindow()
    {
        folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\nOdir=%1\nSdir=%1\n").arg(folder.path()));
        form = std::make_unique<TestWindow>(folder.paths(), ui, QStringList{});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
};

}  // namespace

class TstDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void unsavedPromptSpeaksRussian();
    void fileDialogsSpeakRussianAndKeepTheirFolder_data();
    void fileDialogsSpeakRussianAndKeepTheirFolder();
    void everyDialogsTextsFit();
    void newAndOpenShowTheFirstColumnAndRecord();
    void navigatorListStartsAtTopAfterTypeChange();
    void selectionGridStartsAtTopWhenRebuilt();
    void namesSitLevelWithValues();
    void navigatorFollowsTheScanMessageWithoutActivation();
    void filesFoundInBuildAndInstalledLayouts();
};

void TstDesktop::initTestCase()
{
    QVERIFY(installQtTranslations(*qApp));
    QVERIFY(ensureTahoma());
    QVERIFY(QFontInfo(veltrisFont()).family() == QStringLiteral("Tahoma"));
}

void TstDesktop::unsavedPromptSpeaksRussian()
{
    RealUiWindow w;
    w.form->document().setModified(true);
    QStringList buttons;
    whenModalShown([&buttons](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        for (QAbstractButton* b : box->buttons())
            buttons << plainText(b->text());
        QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    });
    w.form->newBase();
    buttons.sort();
    QCOMPARE(buttons, QStringList({QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}));
    QVERIFY(w.form->document().isModified());  // «Отмена» stopped New
}

void TstDesktop::fileDialogsSpeakRussianAndKeepTheirFolder_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("open") << false;
    QTest::newRow("export") << true;
}

void TstDesktop::fileDialogsSpeakRussianAndKeepTheirFolder()
{
    QFETCH(bool, save);
    RealUiWindow w;
    const QString target = w.folder.file(QStringLiteral("bases"));
    QVERIFY(QDir().mkpath(target));
    QStringList english;
    QString reached;
    bool cancelledByHand = false;
    whenModalShown([&](QWidget* modal) {
        auto* dlg = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dlg);
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
            auto* label = dlg->findChild<QLabel*>(QLatin1String(name));
            QVERIFY2(label, name);
            if (!hasCyrillic(label->text()))
                english << label->text();
        }
        for (QAbstractButton* b : dlg->findChild<QDialogButtonBox*>()->buttons())
            if (!hasCyrillic(b->text()))
                english << b->text();
        // The user types the folder and presses Enter, then leaves the dialog with Esc.
        auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        dlg->activateWindow();
        if (QTest::qWaitForWindowActive(dlg)) {
            // The folder's listing appears before the user types.
            auto* listing = dlg->findChild<QListView*>(QStringLiteral("listView"));
            QVERIFY(listing);
            QTRY_VERIFY_WITH_TIMEOUT(listing->model()->rowCount(listing->rootIndex()) > 0, 2000);
            edit->setFocus();
            QTest::keyClicks(edit, QStringLiteral("bases"));  // a folder of the start folder
            // Esc closes the completer's list, Enter then goes to the name box.
            if (QWidget* popup = QApplication::activePopupWidget())
                QTest::keyClick(popup, Qt::Key_Escape);
            QTest::keyClick(edit, Qt::Key_Return);
            (void)QTest::qWaitFor([&] { return QDir(dlg->directory()) == QDir(target); }, 2000);
            reached = dlg->directory().absolutePath();
            QTest::keyClick(edit, Qt::Key_Escape);
        }
        if (dlg->isVisible()) {
            cancelledByHand = true;
            dlg->reject();
        }
    });
    if (save)
        w.form->exportCsv();
    else
        w.form->openBase();
    QVERIFY2(english.isEmpty(), qPrintable(english.join(QStringLiteral(", "))));
    QCOMPARE(QDir(reached), QDir(target));
    QVERIFY(!cancelledByHand);  // Esc closed it
    const std::string& kept = save ? w.form->document().application().settings().saveFolder
                                   : w.form->document().application().settings().openFolder;
    QCOMPARE(QDir(cpToQString(kept)), QDir(target));
}

void TstDesktop::everyDialogsTextsFit()
{
    DocFixture f;
    QVERIFY(showWithSample(f));
    QStringList clipped;
    const auto check = [&clipped](QDialog* dialog) {
        clipped << clippedTexts(dialog);
        return int(QDialog::Rejected);
    };
    for (const char* name :
         {"baseParametersDialog", "viewColumnsDialog", "recordDialog", "navigatorWindow", "aboutBox"})
        f.ui.onDialog(QLatin1String(name), check);
    f.form->editBaseParameters();
    f.form->editViewColumns();
    f.form->addRecord();
    f.form->showNavigator();
    f.form->showAbout();
    QCOMPARE(f.ui.dialogs.size(), 5);
    for (int page = 0; page < MainWindow::PageCount; ++page) {
        f.form->showPage(page);
        clipped << clippedTexts(f.form.get());
    }
    // The selection grid's bold name column shows every parameter name whole, and the grid
    // stays on its page.
    const SelectionGridView* grid3 = f.form->searchPage()->selectionView();
    QFont bold = grid3->font();
    bold.setBold(true);
    const veltris::Table& names = f.form->searchPage()->selectionGrid();
    for (int r = 1; r < names.rowCount(); ++r) {
        const QString name = oneLineTitle(names.cell(r, 0));
        if (QFontMetrics(bold).horizontalAdvance(name) + 5 > grid3->fixedColumn()->width())
            clipped << QStringLiteral("selectionGrid «%1»").arg(name);
    }
    if (grid3->geometry().right() >= grid3->parentWidget()->width())
        clipped << QStringLiteral("selectionGrid runs off its page");
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

void TstDesktop::newAndOpenShowTheFirstColumnAndRecord()
{
    DocFixture f;
    QVERIFY(showWithSample(f, QSize(500, 300)));
    ComponentGridView* grid = f.form->mainGrid();
    const auto wanderOff = [&] {
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);  // the last cell of the table
        QVERIFY(grid->horizontalScrollBar()->value() > 0);
        QVERIFY(grid->verticalScrollBar()->value() > 0);
    };
    const auto atStart = [&] {
        QCOMPARE(grid->horizontalScrollBar()->value(), 0);
        QCOMPARE(grid->verticalScrollBar()->value(), 0);
        QCOMPARE(f.form->currentRow(), 1);
        QCOMPARE(f.form->currentColumn(), 1);
    };
    wanderOff();
    f.ui.openAnswers.enqueue(f.folder.copySample(QStringLiteral("diodes.QDB")));
    f.form->openBase();
    atStart();
    wanderOff();
    f.ui.rejectDialog(QStringLiteral("baseParametersDialog"));
    f.form->newBase();
    atStart();
}

void TstDesktop::navigatorListStartsAtTopAfterTypeChange()
{
    AppFolder folder;
    const QString bases = folder.file(QStringLiteral("bases"));
    QVERIFY(QDir().mkpath(bases));
    for (const QString& s :
         {QStringLiteral("bipolar.QDB"), QStringLiteral("diodes.QDB"), QStringLiteral("leds.QDB")})
        QVERIFY(QFile::copy(QStringLiteral(VELTRIS_BIN_DIR "/samples/") + s, bases + QLatin1Char('/') + s));
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n[Scan]\nDir0=%1\n").arg(bases));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {});
    int scrolled = -1;
    int afterChange = -1;
    bool scrollableAfter = false;
    ui.onDialog(QStringLiteral("navigatorWindow"), [&](QDialog* d) {
        auto* nav = static_cast<NavigatorWindow*>(d);
        QListView* list = nav->componentList();
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        scrolled = list->verticalScrollBar()->value();
        // A click on the bipolar transistors, a list long enough to scroll as well.
        QListWidget* types = nav->typeList();
        const QPoint at = types->visualItemRect(types->item(1)).center();
        QTest::mousePress(types->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(types->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        scrollableAfter = list->verticalScrollBar()->maximum() > 0;
        afterChange = list->verticalScrollBar()->value();
        return int(QDialog::Rejected);
    });
    form.showNavigator();
    QVERIFY(scrolled > 0);
    QVERIFY(scrollableAfter);
    QCOMPARE(afterChange, 0);
}

void TstDesktop::selectionGridStartsAtTopWhenRebuilt()
{
    DocFixture f;
    QVERIFY(showWithSample(f, QSize(640, 420)));
    QTabBar* tabs = f.form->pages()->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    QTableView* grid = f.form->searchPage()->selectionView();
    QScrollBar* bar = grid->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    QVERIFY(bar->value() > 0);
    // Back to the table and to the search page again: the grid is rebuilt for the current record.
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    QCOMPARE(f.form->pages()->currentIndex(), 3);
    QCOMPARE(bar->value(), 0);
}

void TstDesktop::namesSitLevelWithValues()
{
    DocFixture f;
    QVERIFY(showWithSample(f));
    ComponentGridView* grid = f.form->mainGrid();
    grid->clearSelection();
    grid->setCurrentIndex({});
    const QImage shot = grid->grab().toImage();
    for (int row = 0; row < 3; ++row) {
        const int top = grid->rowViewportPosition(row) + grid->viewport()->y();
        const int height = grid->rowHeight(row);
        const QRect name(1, top + 1, grid->verticalHeader()->width() - 2, height - 2);
        const QRect value(grid->columnViewportPosition(0) + grid->viewport()->x() + 1, top + 1,
                          grid->columnWidth(0) - 2, height - 2);
        const int nameInk = firstInkRow(shot, name);
        const int valueInk = firstInkRow(shot, value);
        QVERIFY(nameInk >= 0 && valueInk >= 0);
        QVERIFY2(std::abs(nameInk - valueInk) <= 1,
                 qPrintable(
                     QStringLiteral("row %1: name at %2, value at %3").arg(row).arg(nameInk).arg(valueInk)));
    }
}

// Without a window manager a message box takes the activation and nobody gives it back.
class ActivationTakingUi : public ScriptedUi {
public:
    Answer message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   Answers buttons) override
    {
        QWidget box;
        box.setWindowTitle(caption);
        box.show();
        box.activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(&box)); }();
        box.hide();
        QCoreApplication::processEvents();
        return ScriptedUi::message(parent, caption, text, icon, buttons);
    }
};

void TstDesktop::navigatorFollowsTheScanMessageWithoutActivation()
{
    AppFolder folder;
    const QString bases = folder.file(QStringLiteral("bases"));
    QVERIFY(QDir().mkpath(bases + QStringLiteral("/folder.QDB")));  // a folder named like a base
    folder.writeSettings(QStringLiteral("[Scan]\nDir0=%1\n").arg(bases));
    ActivationTakingUi ui;
    int messagesBeforeNavigator = -1;
    ui.onDialog(QStringLiteral("navigatorWindow"), [&](QDialog*) {
        messagesBeforeNavigator = int(ui.messages.size());
        return int(QDialog::Rejected);
    });
    TestWindow form(folder.paths(), ui, {});
    form.setAttribute(Qt::WA_ShowWithoutActivating);
    form.show();
    QTRY_COMPARE(ui.dialogs, QStringList{QStringLiteral("navigatorWindow")});
    QCOMPARE(messagesBeforeNavigator, 1);
}

void TstDesktop::filesFoundInBuildAndInstalledLayouts()
{
    QTemporaryDir root;
    const QString config = root.filePath(QStringLiteral("config"));
    const auto touch = [](const QString& path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    };

    // A build or portable folder: everything beside the executable.
    const QString build = root.filePath(QStringLiteral("build/bin"));
    QVERIFY(touch(build + QStringLiteral("/bipolar.ini")));
    const AppPaths b = AppPaths::fromExecutable(build + QStringLiteral("/veltris"), config);
    QCOMPARE(b.dataDir, build);
    QCOMPARE(b.catalogueDir, build);
    QCOMPARE(b.helpFile, build + QStringLiteral("/veltris.html"));
    QCOMPARE(b.settingsFile, build + QStringLiteral("/veltris.INI"));

    // An installation: data in ../share/veltris, settings in the user's config folder.
    const QString prefix = root.filePath(QStringLiteral("usr"));
    QVERIFY(touch(prefix + QStringLiteral("/share/veltris/bipolar.ini")));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
    const AppPaths i = AppPaths::fromExecutable(prefix + QStringLiteral("/bin/veltris"), config);
    QCOMPARE(i.exeDir, prefix + QStringLiteral("/bin"));
    QCOMPARE(i.dataDir, prefix + QStringLiteral("/share/veltris"));
    QCOMPARE(i.catalogueDir, i.dataDir);
    QCOMPARE(i.helpFile, prefix + QStringLiteral("/share/veltris/veltris.html"));
    QCOMPARE(i.settingsFile, config + QStringLiteral("/veltris.INI"));
    QVERIFY(QFileInfo(config).isDir());  // ready for the first save

    // The first run there points the navigator at the installed samples.
    QVERIFY(QDir().mkpath(i.dataDir + QStringLiteral("/samples")));
    QVERIFY(writeFirstRunSettings(i));
    QFile s(i.settingsFile);
    QVERIFY(s.open(QIODevice::ReadOnly));
    QVERIFY(s.readAll().contains((i.dataDir + QStringLiteral("/samples")).toUtf8()));
}

QTEST_MAIN(TstDesktop)
#include "tst_desktop.moc"
