// One convention for object names, checked over every window and dialog of the program: a name
// is lowerCamel and says what the control is (tests and the screenshots find controls by it), and
// every control a user works with — buttons, edits, lists and tables, spin and combo boxes, menu
// commands — has one. (Help finds a topic through the helpContext property, not the name.) Qt's
// own inner parts (a spin box's edit, a table's corner button, a tool bar's buttons) are Qt's
// business and left out.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QToolBar>

#include "app/mainwindow.h"
#include "appfolder.h"
#include "modeltesters.h"
#include "scriptedui.h"
#include "search/comparisonwindow.h"
#include "search/substitutepage.h"
#include "search/substituteprogress.h"
#include "testwindow.h"
#include "widgets/helpviewer.h"
#include "widgets/progresswindow.h"

namespace {

// Names Qt gives its own inner objects ("qt_spinbox_lineedit", "_layout" of a main window).
bool qtOwnName(const QString& name)
{
    return name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1Char('_'));
}

// A part Qt makes inside a control of its own (and names or not as it likes).
bool insideQtControl(const QObject* object, const QObject* root)
{
    for (const QObject* p = object->parent(); p && p != root; p = p->parent()) {
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QTabBar*>(p) || qobject_cast<const QToolBar*>(p) ||
            qobject_cast<const QDialogButtonBox*>(p) || qobject_cast<const QScrollBar*>(p) ||
            qobject_cast<const QAbstractItemView*>(p))
            return true;
        // A combo box's list is in a window of its own, parented to the combo box.
        if (p->inherits("QComboBoxPrivateContainer"))
            return true;
    }
    return false;
}

// A control a user works with, which tests and help find by its name.
bool needsName(const QObject* object)
{
    if (qobject_cast<const QHeaderView*>(object))
        return false;
    if (const auto* action = qobject_cast<const QAction*>(object))
        return !action->isSeparator() && !action->text().isEmpty() && !action->menu() &&
               !action->associatedObjects().isEmpty() &&
               qobject_cast<const QMenu*>(action->associatedObjects().constFirst());
    return qobject_cast<const QAbstractButton*>(object) || qobject_cast<const QLineEdit*>(object) ||
           qobject_cast<const QComboBox*>(object) || qobject_cast<const QAbstractSpinBox*>(object) ||
           qobject_cast<const QAbstractItemView*>(object);
}

// Every object under `root` (and `root`) whose name breaks the convention, or that has none
// where one is needed.
QStringList nameProblems(QObject* root)
{
    static const QRegularExpression lowerCamel(QStringLiteral("^[a-z][A-Za-z0-9]*$"));
    QList<QObject*> objects = root->findChildren<QObject*>();
    objects.prepend(root);
    QStringList problems;
    for (QObject* object : objects) {
        const QString name = object->objectName();
        if (qtOwnName(name) || insideQtControl(object, root))
            continue;
        const QString what = QString::fromLatin1(object->metaObject()->className());
        if (name.isEmpty()) {
            if (needsName(object)) {
                QString label;
                if (const auto* button = qobject_cast<const QAbstractButton*>(object))
                    label = button->text();
                else if (const auto* action = qobject_cast<const QAction*>(object))
                    label = action->text();
                const QString parent = object->parent() ? object->parent()->objectName() : QString();
                problems << QStringLiteral("%1 «%2» in %3 has no name").arg(what, label, parent);
            }
            continue;
        }
        if (!lowerCamel.match(name).hasMatch())
            problems << QStringLiteral("%1 «%2» is not lowerCamel").arg(what, name);
    }
    return problems;
}

}  // namespace

class TstObjectNames : public QObject {
    Q_OBJECT
private slots:
    void everyWindowAndDialog();
};

void TstObjectNames::everyWindowAndDialog()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    const QString base = folder.copySample(QStringLiteral("bipolar.QDB"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    testModelsUnder(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Every page once, so that whatever a page makes when first shown is there.
    for (int page = 0; page < MainWindow::PageCount; ++page)
        form.showPage(page);
    // The dialogs are the window's children; the others are made here as the program makes them.
    auto* substitute = form.findChild<SubstitutePage*>();
    QVERIFY(substitute);
    ComparisonWindow* comparison = substitute->compareRecords(form.document().base(), base, 1, {2, 3}, &form);
    QVERIFY(comparison);
    testModelsUnder(comparison);
    HelpViewer help(folder.paths().helpFile);
    SubstituteProgress searchProgress(QStringLiteral("Поиск"), &form);
    const std::unique_ptr<WorkProgress> saveProgress =
        ui.showProgress(&form, QStringLiteral("saveProgress"), QStringLiteral("Сохранение"), QString());

    QStringList problems = nameProblems(&form);
    problems << nameProblems(&help);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TstObjectNames)
#include "tst_objectnames.moc"
