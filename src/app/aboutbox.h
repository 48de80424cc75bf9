#pragma once
// TAboutBox: "О программе" with the program's name, version and two links.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class UiServices;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(UiServices& ui, QWidget* parent = nullptr);

    static QString webAddress();
    static QString mailAddress();

    QLabel* label1() const { return m_label1; }
    QLabel* label2() const { return m_label2; }
    QFrame* panel1() const { return m_panel1; }

public slots:
    void Label1Click();
    void Label2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Label1MouseMove();
    void Label2MouseMove();
    void Panel1MouseMove();
    static void setLinkLook(QLabel* label, bool highlighted);

    UiServices& m_ui;
    QFrame* m_panel1;
    QLabel* m_programIcon;
    QLabel* m_productName;
    QLabel* m_version;
    QLabel* m_copyright;
    QLabel* m_label1;
    QLabel* m_label2;
    QPushButton* m_bitBtn1;
};
