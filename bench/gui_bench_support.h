#pragma once
// What the desktop program's benchmarks share: a UiServices that shows nothing, a program folder
// with the catalogues, a settings file and a generated base, main() in an offscreen application,
// and every call the benchmarks make into the window (so only this file follows its changes).
#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QSpinBox>
#include <QString>
#include <QTabWidget>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "app/mainwindow.h"
#include "bench_data.h"
#include "document/apppaths.h"
#include "document/document.h"
#include "search/searchpage.h"
#include "testwindow.h"
#include "widgets/componentgrid.h"
#include "widgets/widgetuiservices.h"

// Shows nothing: a message is logged and answered Cancel, a dialog rejected; `calls` counts both,
// since a quiet run expects none.
class SilentUi : public WidgetUiServices {
public:
    int calls = 0;
    Answer message(QWidget*, const QString&, const QString& text, MessageIcon, Answers) override
    {
        ++calls;
        qWarning("message: %s", qPrintable(text));
        return Answer::Cancel;
    }
    int choice(QWidget*, const QString&, const QString& text, MessageIcon, const QStringList&,
               int cancelIndex) override
    {
        ++calls;
        qWarning("question: %s", qPrintable(text));
        return cancelIndex;
    }
    QString openFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString saveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    void openUrl(const QUrl&) override {}
    void showHelp(HelpTopic) override {}
    int execDialog(QDialog*) override
    {
        ++calls;
        return 0;
    }
    void beep() override {}
};

// Settings for a plain start: no navigator, a 1032 x 748 window at the top left.
inline constexpr char kPlainSettings[] =
    "[Settings]\r\nShowNav=0\r\n[FORM1]\r\nWidth=1032\r\nHeight=748\r\nTop=0\r\nLeft=0\r\n";

// The catalogue files built beside the program, copied into `folder`.
inline void copyCatalogues(const QString& folder)
{
    const QDir bin(QStringLiteral(VELTRIS_BIN_DIR));
    for (const QString& ini : bin.entryList({QStringLiteral("*.ini")}))
        QFile::copy(bin.filePath(ini), QDir(folder).filePath(ini));
}

// The program's settings file in `paths` with `text`; a bench cannot go on without it.
inline void writeSettings(const AppPaths& paths, const QByteArray& text)
{
    QFile settings(paths.settingsFile);
    if (!settings.open(QIODevice::WriteOnly) || settings.write(text) != text.size())
        qFatal("cannot write settings");
}

// A program folder with the catalogues, plain settings and one generated bipolar base file.
struct ProgramFolder {
    QTemporaryDir dir;
    AppPaths paths;
    QString baseFile;
    std::string fileBytes;

    ProgramFolder(bench::DataKind kind, int records)
    {
        copyCatalogues(dir.path());
        paths = AppPaths::inFolder(dir.path());
        writeSettings(paths, kPlainSettings);
        fileBytes = bench::makeBaseBytes(kind, records);
        baseFile = dir.filePath(QStringLiteral("base.QDB"));
        bench::writeFile(baseFile.toStdString(), fileBytes);
    }
};

// ---- the window ----

// The window as `veltris [BASE]` starts it, shown.
inline std::unique_ptr<MainWindow> openWindow(const ProgramFolder& folder, UiServices& ui, bool withBase)
{
    auto form = std::make_unique<TestWindow>(folder.paths, ui,
                                             withBase ? QStringList{folder.baseFile} : QStringList{});
    form->show();
    return form;
}

// Records shown in the main table.
inline int shownRecords(const MainWindow& form)
{
    return form.mainModel()->rowCount();
}

// Columns the second table shows beside the names.
inline int secondTableColumns(const MainWindow& form)
{
    return form.secondModel()->columnCount();
}

// Opens the folder's base in a running window; false when it could not.
inline bool openBase(MainWindow& form, const ProgramFolder& folder)
{
    return form.document().load(folder.baseFile);
}

// Page `index` (0 main table, 1 second table, 3 search) made current and painted.
inline QImage showAndPaintPage(MainWindow& form, int index)
{
    form.pages()->setCurrentIndex(index);
    return form.page(index)->grab().toImage();
}

// A right press on the title of main-table column `coreColumn` (1..), as a user asks for a sort.
inline void rightPressTitle(MainWindow& form, int coreColumn)
{
    QHeaderView* h = form.mainGrid()->horizontalHeader();
    const QPointF at(h->sectionViewportPosition(coreColumn - 1) + 5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, h->viewport()->mapToGlobal(at), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, h->viewport()->mapToGlobal(at), Qt::RightButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(h->viewport(), &press);
    QApplication::sendEvent(h->viewport(), &release);
}

// F8 on main-table record `row` (1..), as a user deletes it.
inline void deleteRecord(MainWindow& form, int row)
{
    form.setCurrentCell(row, 1);
    form.deleteRecordAction()->trigger();
}

// «Отменить» and «Повторить» of the menu «Правка» (Ctrl+Z, Ctrl+Y).
inline void undoStep(MainWindow& form)
{
    form.undoAction()->trigger();
}
inline void redoStep(MainWindow& form)
{
    form.redoAction()->trigger();
}

// «Сохранить» of the menu «Файл», as a user saves.
inline void saveFromMenu(MainWindow& form)
{
    QAction* save = form.findChild<QAction*>(QStringLiteral("saveBaseAction"));
    if (!save)
        qFatal("no «Сохранить» in the window");
    save->trigger();
}

// The menu's save of the open base runs on a worker thread behind a progress window.
inline bool saveRunsInBackground(const MainWindow& form)
{
    return form.document().base().recordCount() >= form.document().backgroundSaveFrom();
}

// Calls `done(ok)` when a save started from the menu has ended; the connection, to undo it.
template <typename F>
QMetaObject::Connection onSaveFinished(MainWindow& form, QObject* context, F done)
{
    return QObject::connect(&form.document(), &Document::saveFinished, context, done);
}

// The base open in the window.
inline const veltris::ComponentBase& openBaseOf(const MainWindow& form)
{
    return form.document().base();
}

// The text the main grid shows in data row `row` (0..) of parameter column `coreColumn` (1..).
inline QString shownText(const MainWindow& form, int row, int coreColumn)
{
    return form.mainModel()->index(row, coreColumn - 1).data().toString();
}

// The main grid painted now.
inline QImage paintMainGrid(MainWindow& form)
{
    return form.mainGrid()->viewport()->grab().toImage();
}

// `text` typed into the name field of the search page, and the name list painted.
inline QImage typeNameAndPaint(MainWindow& form, const QString& text)
{
    form.searchPage()->nameEdit()->setText(text);
    return form.searchPage()->nameList()->viewport()->grab().toImage();
}

// Names in the search page's list.
inline int searchListNames(MainWindow& form)
{
    return form.searchPage()->nameModel()->rowCount();
}

// The 30 selection rows clicked with the current record as the reference, spreads p and q.
inline void clickThirtySelectionRows(MainWindow& form, int p, int q)
{
    form.pages()->setCurrentIndex(3);
    form.searchPage()->lowerSpread()->setValue(p);
    form.searchPage()->upperSpread()->setValue(q);
    for (int row = 1; row <= 30; ++row)
        form.searchPage()->boundsFromReference(row, 0);
}

// "Применить": the selection run and the second table painted; the records it shows.
inline int applySelectionAndPaint(MainWindow& form)
{
    form.searchPage()->applySelection();
    const QImage painted = form.page(1)->grab().toImage();
    benchmark::DoNotOptimize(painted.constBits());
    return form.secondModel()->rowCount();
}

// Runs the registered benchmarks offscreen unless another platform is asked for (xvfb-run),
// with the rules of every figure (bench::withBenchDefaults); `setup` and `cleanup` run while
// the application exists.
inline int runGuiBenchmarks(int argc, char** argv, const std::function<void()>& setup = {},
                            const std::function<void()>& cleanup = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<char*> args = bench::withBenchDefaults(argc, argv);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    if (setup)
        setup();
    const int status = bench::runBenchmarks();
    if (cleanup)
        cleanup();
    return status;
}
