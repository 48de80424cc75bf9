#pragma once
// The progress window of long work: window-modal over its parent, a busy bar under a text that
// can change; Esc and the close button do nothing (the work cannot be left half done).
#include <QDialog>

#include "ui/uiservices.h"

class QLabel;

class ProgressWindow : public QDialog {
public:
    // Named `name` (its label `name` + "Text"), titled `title`.
    ProgressWindow(QWidget* parent, const QString& name, const QString& title);
    void setText(const QString& text);
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_label = nullptr;
};
