#pragma once
#include <QStyledItemDelegate>
#include <functional>

class RangeSpinBox;
class SubstituteRulesModel;

// The rule combo box and the spread spin boxes of the rules table.
class RuleDelegate : public QStyledItemDelegate {
public:
    // `report` tells the user about a spread typed outside its range.
    RuleDelegate(SubstituteRulesModel* model, std::function<void(const QString&)> report, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    // A spread's editor as wide as «−100 %» or «+1000 %» and its arrows need, over the cell
    // beside it where the column is narrower, and never past the table's right edge.
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    static RangeSpinBox* spreadEditor(QWidget* parent, int column);

    SubstituteRulesModel* m_model;
    std::function<void(const QString&)> m_report;
};
