#pragma once
// What every UiServices on real widgets does the same way: the wait cursor, the progress
// window, whether the program is active and whether a modal window is open. The program's
// QtUiServices and the scripted one of the tests build on it.
#include "ui/uiservices.h"

class WidgetUiServices : public UiServices {
public:
    void setBusy(bool busy) override;
    std::unique_ptr<WorkProgress> showProgress(QWidget* parent, const QString& name, const QString& title,
                                               const QString& text) override;
    bool programIsActive() const override;
    bool modalWindowOpen() const override;
};
