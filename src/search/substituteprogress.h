#pragma once
#include <QDialog>
#include <cstddef>

class QProgressBar;
class QPushButton;

// The window-modal progress window of a search of the page «Замена»: what is searched, how far
// it got, and «Отмена». Cancelling (the button or closing the window) is reported by
// cancelRequested().
class SubstituteProgress : public QDialog {
    Q_OBJECT
public:
    // `what`: the window's line, «Поиск замены для … — …».
    SubstituteProgress(const QString& what, QWidget* parent);

    QPushButton* cancelButton() const { return m_cancelButton; }
    // The work done of the total (nothing shown while the total is unknown).
    void setProgress(std::size_t done, std::size_t total);
    // The cancel is under way: the button says so and takes no second press.
    void showCancelling();

signals:
    void cancelRequested();

private:
    QProgressBar* m_bar;
    QPushButton* m_cancelButton;
};
