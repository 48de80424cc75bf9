#pragma once
// QAbstractItemModelTester over the program's own model of every item view under a widget: a
// model that breaks the rules of Qt's item models (counts that disagree, a change told out of
// step, a bad parent) fails the test that drives it. The models Qt makes for its item widgets
// (a QListWidget's) are Qt's; they are left alone.
#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QByteArray>
#include <QWidget>

inline void testModelsUnder(QWidget* root)
{
    for (QAbstractItemView* view : root->findChildren<QAbstractItemView*>()) {
        QAbstractItemModel* model = view->model();
        if (!model || model->property("modelTested").toBool() ||
            QByteArray(model->metaObject()->className()).startsWith('Q'))
            continue;
        model->setProperty("modelTested", true);
        // Owned by the model, gone with it.
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
    }
}
