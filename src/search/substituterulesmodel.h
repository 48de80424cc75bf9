#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <vector>

#include "base/finder.h"
#include "base/table.h"

// One row per parameter column 1..C of the device type: title, the reference's value, the
// rule, and its percents: −p and +q of «в пределах», the tolerance −p of «не меньше» and +q of
// «не больше» (editable only where the rule takes them). Each row offers the kinds its column
// can take (ruleKindsFor): a text parameter (the LED colour code) only «не учитывать», «равно»
// and «обязательно равно».
class SubstituteRulesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        TitleColumn,
        ReferenceColumn,
        RuleColumn,
        MinusColumn,
        PlusColumn,
        ColumnCount
    };

    explicit SubstituteRulesModel(QObject* parent = nullptr);

    // A new device type: its titles (one per column) and rules; reference values cleared.
    void setParameters(int deviceType, QStringList titles, veltris::RuleSet rules);
    void setTitles(QStringList titles);
    // The reference's cell texts as shown, one per column (empty list: no reference).
    void setReferenceTexts(QStringList texts);
    // Replaces every rule (the «По умолчанию» button); rulesEdited is not emitted.
    void setRules(veltris::RuleSet rules);

    int deviceType() const { return m_deviceType; }
    const veltris::RuleSet& rules() const { return m_rules; }
    QString title(int column) const;  // column 1..C
    bool isTextRow(int row) const;
    // The rule kinds a row offers, in the order its editor lists them.
    std::vector<veltris::RuleKind> kindsOffered(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // RuleColumn takes a veltris::RuleKind as int; MinusColumn and PlusColumn whole percents.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // The user changed a rule through setData.
    void rulesEdited();

private:
    static QString ruleToolTip(veltris::RuleKind kind);

    int m_deviceType = 0;
    QStringList m_titles;
    QStringList m_reference;
    veltris::RuleSet m_rules;
};
