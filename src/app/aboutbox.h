#pragma once
// AboutBox: "О программе" with the program's name, version and two links.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class UiServices;

class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(UiServices& ui, QWidget* parent = nullptr);

    static QString webAddress();
    static QString mailAddress();

    QLabel* webLink() const { return m_webLink; }
    QLabel* mailLink() const { return m_mailLink; }
    QFrame* panel() const { return m_panel; }

public slots:
    void openWebSite();
    void writeMail();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void highlightWebLink();
    void highlightMailLink();
    void unhighlightLinks();
    static void setLinkLook(QLabel* label, bool highlighted);

    UiServices& m_ui;
    QFrame* m_panel;
    QLabel* m_programIcon;
    QLabel* m_productName;
    QLabel* m_version;
    QLabel* m_copyright;
    QLabel* m_webLink;
    QLabel* m_mailLink;
    QPushButton* m_okButton;
};
