#pragma once
// Models of the page «Замена»: the rule of every parameter, and the ranked candidates.
#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "base/finder.h"
#include "base/table.h"

// One row per parameter column 1..C of the device type: title, the reference's value, the
// rule, and the band's −p % and +q % (editable only for «в пределах»). A text parameter (the
// LED colour code) offers only «не учитывать» and «равно».
class SubstituteRulesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn, ReferenceColumn, RuleColumn, MinusColumn, PlusColumn, ColumnCount };

    explicit SubstituteRulesModel(QObject* parent = nullptr);

    // A new device type: its titles (one per column) and rules; reference values cleared.
    void setParameters(int deviceType, QStringList titles, veltris::RuleSet rules);
    void setTitles(QStringList titles);
    // The reference's cell texts, one per column (empty list: no reference).
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
    int m_deviceType = 0;
    QStringList m_titles;
    QStringList m_reference;
    veltris::RuleSet m_rules;
};

// The ranked candidates: name, base file, verdict, then the text of each active rule's column.
// A failing cell is drawn in red on a pale red ground, an unknown one in grey; its tool tip
// tells the rule, what the reference asks and the deviation from the reference.
class SubstituteResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, BaseColumn, VerdictColumn, FirstRuleColumn };

    explicit SubstituteResultsModel(QObject* parent = nullptr);

    // `titles`: the title of every parameter column 1..C of the reference's base. `openFile`:
    // the file of the base the reference came from (deviations are given for its candidates,
    // whose units are the reference's).
    void setResults(veltris::FinderReport report, veltris::FinderQuery query, QStringList titles,
                    const QString& openFile);
    void clear();

    const veltris::FinderReport& report() const { return m_report; }
    const veltris::FinderQuery& query() const { return m_query; }
    const veltris::FinderMatch& match(int row) const
    {
        return m_report.matches[static_cast<std::size_t>(row)];
    }
    QString baseFile(int row) const;  // as the finder gave it (UTF-8 path)
    bool empty() const { return m_report.matches.empty(); }

    // The table as exported: header row, then one row per result, Windows-1251 texts.
    veltris::Table exportTable() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString verdictText(const veltris::FinderMatch& m) const;
    QString ruleHeader(std::size_t rule) const;
    QString ruleToolTip(const veltris::FinderMatch& m, std::size_t rule) const;

    veltris::FinderReport m_report;
    veltris::FinderQuery m_query;
    QStringList m_titles;
    QString m_openFile;
};

// A rule as the page shows it: «в пределах −10..+20 %» for a band, the caption otherwise.
QString substituteRuleLabel(const veltris::SubstituteRule& rule);
