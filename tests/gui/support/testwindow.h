#pragma once
// The main window over its own document, made as the program makes them: the document first,
// the window over it, and the window goes first. The catalogues must read (a test of their
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
        OpenedDocument opened = Document::open(paths, ui);
        if (!opened) {
            std::fputs("the catalogues of the test's program folder did not read\n", stderr);
            std::abort();
        }
        m_ownDocument = std::move(opened.document);
    }
    std::unique_ptr<Document> m_ownDocument;
};

class TestWindow : private DocumentOfWindow, public MainWindow {
public:
    TestWindow(const AppPaths& paths, UiServices& ui, QStringList args = {})
        : DocumentOfWindow(paths, ui), MainWindow(*m_ownDocument, ui, std::move(args))
    {}
};
