#include "widgets/widgetuiservices.h"

#include <QApplication>

#include "widgets/progresswindow.h"

namespace {

// The window belongs to its parent too: when the parent goes first, the window goes with it
// and the handle lets go of it.
class ProgressWindowHandle : public WorkProgress {
public:
    explicit ProgressWindowHandle(ProgressWindow* window) : m_window(window)
    {
        QObject::connect(window, &QObject::destroyed, [this] { (void)m_window.release(); });
    }
    ~ProgressWindowHandle() override { m_window.reset(); }
    void setText(const QString& text) override
    {
        if (m_window)
            m_window->setText(text);
    }

private:
    std::unique_ptr<ProgressWindow> m_window;
};

}  // namespace

void WidgetUiServices::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::unique_ptr<WorkProgress> WidgetUiServices::showProgress(QWidget* parent, const QString& name,
                                                             const QString& title, const QString& text)
{
    auto* window = new ProgressWindow(parent, name, title);
    window->setText(text);
    window->show();
    return std::make_unique<ProgressWindowHandle>(window);
}

bool WidgetUiServices::programIsActive() const
{
    return QApplication::activeWindow() != nullptr;
}

bool WidgetUiServices::modalWindowOpen() const
{
    return QApplication::activeModalWidget() != nullptr;
}
