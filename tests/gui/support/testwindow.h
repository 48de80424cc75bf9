#pragma once
// The main window over its own document, made as the program makes them: the application
// first, the document over it, the window over that, and they go in the opposite order. The catalogues must read (a test of their
// failure runs the program's start through runVeltris instead).
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/mainwindow.h"
#include "document/document.h"

class DocumentOfWindow {
protected:
    DocumentOfWindow(const AppPaths& paths, UiServices& ui)
    {
        OpenedApplication opened = Application::open(paths);
        if (!opened) {
            std::fputs("the catalogues of the test's program folder did not read\n", stderr);
            std::abort();
        }
        m_ownApplication = std::move(opened.application);
        m_ownDocument = std::make_unique<Document>(*m_ownApplication, ui);
    }
    std::unique_ptr<Application> m_ownApplication;
    std::unique_ptr<Document> m_ownDocument;
};

class TestWindow : private DocumentOfWindow, public MainWindow {
public:
    TestWindow(const AppPaths& paths, UiServices& ui, QStringList args = {})
        : DocumentOfWindow(paths, ui), MainWindow(*m_ownDocument, ui, std::move(args))
    {}
};
