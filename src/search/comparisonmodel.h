#pragma once
// The comparison window's table: one column per part (the reference first), one row per
// parameter of the device type, with «Итог» (the part's verdict against the reference) and
// «База» above them. A cell that differs from the reference's is tinted by its verdict under
// the rule of its parameter: red where it fails, amber where its guarantee is too weak, grey
// where it cannot be told, green where it passes, blue where no rule judges it. «только
// различия» leaves out the rows where every part reads as the reference.
#include <QAbstractTableModel>
#include <QStringList>
#include <optional>
#include <vector>

#include "base/finder.h"
#include "base/table.h"
#include "search/comparison.h"

class ComparisonModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What a cell is, beside its text.
    enum class Mark {
        None,
        Same,
        Pass,
        Fail,
        NotGuaranteed,
        Unknown,
        NotJudged
    };
    static constexpr int MarkRole = Qt::UserRole + 1;  // a Mark as int

    explicit ComparisonModel(QObject* parent = nullptr);

    // Judges every part against the reference (gates judged as «равно»: a part that fails one
    // is shown, its verdict says so).
    void setComparison(Comparison comparison);
    const Comparison& comparison() const { return m_comparison; }
    int partCount() const { return static_cast<int>(m_comparison.parts.size()); }

    void setOnlyDifferences(bool only);
    bool onlyDifferences() const { return m_onlyDifferences; }
    // The parameter column a row shows (1..C); 0 for «Итог» and «База».
    int parameterColumn(int row) const;
    // Part k's verdict text against the reference; «образец» for the reference itself.
    QString verdictText(int part) const;

    // The table as shown (rows left out by «только различия» too): a header row «Параметр»
    // and the part names, then one row per shown row; Windows-1251 texts.
    veltris::Table exportTable() const;
    // The same as an HTML table with the cells' tints, for printing.
    QString html() const;
    // The printed document: a title with the reference and `date`, the bases the parts come
    // from, then the table filling the page's width with a column of each row's rule and
    // tolerance, its header row repeated on every page.
    QString documentHtml(const QString& date) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    enum : int {
        VerdictRowKey = -2,
        BaseRowKey = -1
    };

    void judge();
    void rebuildRows();
    QString cellText(int part, int key) const;
    Mark mark(int part, int key) const;
    QString cellToolTip(int part, int key) const;
    QString rowTitle(int key) const;
    QString baseText(int part) const;
    QString tableHtml(bool document) const;
    QString ruleText(int key) const;

    Comparison m_comparison;
    veltris::FinderQuery m_query;
    bool m_judged = false;  // the reference gave at least one rule to judge by
    std::vector<int> m_gateColumns;
    std::vector<int> m_ruleOfColumn;  // the query's rule index by column, -1: none
    // Each part's match against the reference; none for the reference itself and for a part no
    // rule could tell anything of.
    std::vector<std::optional<veltris::FinderMatch>> m_matches;
    std::vector<int> m_rows;  // the key of each shown row
    bool m_onlyDifferences = false;
};
