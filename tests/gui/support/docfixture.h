#pragma once
// A main window over a temporary program folder, with the navigator off at start and the open
// and save folders inside that folder; helpers to press a dialog's buttons by objectName.
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "modeltesters.h"
#include "scriptedui.h"
#include "testwindow.h"

struct DocFixture {
    AppFolder folder;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;

    DocFixture()
    {
        folder.writeSettings(
            QStringLiteral("[Settings]\nShowNav=0\nOdir=%1/open\nSdir=%1/save\n").arg(folder.path()));
        form = std::make_unique<TestWindow>(folder.paths(), ui, QStringList{});
        testModelsUnder(form.get());
    }

    // Copies a sample base into the folder and opens it as the command line would.
    QString openSample(const QString& name)
    {
        const QString path = folder.copySample(name);
        if (!form->document().load(path))
            QTest::qFail("sample base did not load", __FILE__, __LINE__);
        return path;
    }
};

inline QPushButton* dialogButton(QDialog* dialog, const char* name)
{
    auto* b = dialog->findChild<QPushButton*>(QLatin1String(name));
    if (!b)
        QTest::qFail(name, __FILE__, __LINE__);
    return b;
}

// A user's click: nothing happens on a disabled button.
inline void click(QDialog* dialog, const char* name)
{
    if (QPushButton* b = dialogButton(dialog, name))
        QTest::mouseClick(b, Qt::LeftButton);
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The bytes Save would write for the open base now (the test fails when it cannot be encoded).
inline QByteArray encoded(const MainWindow& form)
{
    auto bytes = veltris::encodeBase(form.document().base());
    if (!bytes.ok()) {
        QTest::qFail(qPrintable(QString::fromStdString(bytes.error().message)), __FILE__, __LINE__);
        return {};
    }
    return QByteArray::fromStdString(*bytes);
}
