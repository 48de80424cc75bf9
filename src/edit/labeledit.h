#pragma once
// LabeledEdit: a one-line edit with a caption above it, owning both child controls.
// The controls are laid out once at construction; later bounds leave them where they are.
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

class LabeledEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString LabelCaption READ labelCaption WRITE setLabelCaption)
    Q_PROPERTY(QString EditText READ editText WRITE setEditText)
public:
    explicit LabeledEdit(QWidget* parent = nullptr);

    QString labelCaption() const { return m_caption; }
    // The caption is kept as given; a "|" (a line break in the table's titles) is shown as a
    // blank, since the label has one line.
    void setLabelCaption(const QString& caption);
    QString editText() const;
    void setEditText(const QString& text);

    // Label and edit `width` wide (at least the label's text), the control with them.
    void setFieldWidth(int width);
    // The width the label's text needs on one line.
    int captionWidth() const;

    // A text that cannot be stored: the edit gets a red frame and `refusal` as its tooltip;
    // an empty refusal takes them away.
    void setRefusal(const QString& refusal);
    bool refused() const { return !m_refusal.isEmpty(); }
    // What will be stored, shown at the right end of the edit ("= 1500 мА"); empty: nothing.
    void setNote(const QString& note);
    QLabel* noteLabel() const { return m_note; }

    QLabel* label() const { return m_label; }
    QLineEdit* edit() const { return m_edit; }

private:
    void placeNote();

    QString m_caption;
    QString m_refusal;
    QLabel* m_label;
    QLabel* m_note;
    QLineEdit* m_edit;
};
