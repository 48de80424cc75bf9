#pragma once
// One step of the open base's history: a user's change, done, undone and done again on the
// document it was made on. The first redo() (run by the push) is the change itself; later ones
// replay it. A step that only puts the rows in another order is kept in the history without
// making the base count as changed: a sort does not set the modified flag.
#include <QUndoCommand>
#include <string_view>

class Document;

class DocumentCommand : public QUndoCommand {
public:
    DocumentCommand(Document& document, const QString& text);

    // Whether the step changes the base beyond the order of its rows (the modified flag).
    virtual bool setsModified() const { return true; }

    void redo() final;
    void undo() final;

    // A record's name as a step's text names it: «КТ315Б», or «записи без имени».
    static QString recordTitle(std::string_view cp1251Name);

protected:
    Document& document() const { return m_document; }
    // False while the change is made for the first time, true when redo replays it.
    bool replaying() const { return m_replaying; }

    virtual void apply() = 0;
    virtual void revert() = 0;

private:
    Document& m_document;
    bool m_replaying = false;
};
