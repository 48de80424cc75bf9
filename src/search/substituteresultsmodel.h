#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <vector>

#include "base/finder.h"
#include "base/table.h"

// The ranked candidates: name, base file, verdict («Итог»: the class and its reasons), package,
// then the text of each active rule's column. The name is also the vertical header (the column
// kept in view while the results scroll sideways). A failing cell is drawn in red on a pale red
// ground, a guarantee too weak in amber on its own ground; an unknown cell is empty. Tool tips
// tell the rule, what the reference asks, the deviation from the reference and the verdict.
// Results that no longer answer the rules shown are marked stale: greyed until replaced.
class SubstituteResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        NameColumn,
        BaseColumn,
        VerdictColumn,
        PackageColumn,
        FirstRuleColumn
    };
    // The match's class (veltris::MatchClass as int), for whoever sorts or tests by it.
    static constexpr int MatchClassRole = Qt::UserRole + 1;
    // A rule cell's veltris::Verdict as int.
    static constexpr int VerdictRole = Qt::UserRole + 2;

    explicit SubstituteResultsModel(QObject* parent = nullptr);

    // `titles`: the title row of the reference's base (Windows-1251, entry c for column c,
    // entry 0 the corner). `openFile`: the file of the base the reference came from (deviations
    // are given for its candidates, whose units are the reference's).
    void setResults(veltris::FinderReport report, veltris::FinderQuery query, std::vector<std::string> titles,
                    const QString& openFile);
    void clear();
    // Stale results are greyed (and say so in their tool tips) until the next setResults.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }

    const veltris::FinderReport& report() const { return m_report; }
    const veltris::FinderQuery& query() const { return m_query; }
    const veltris::FinderMatch& matchAt(int row) const
    {
        return m_report.matches[static_cast<std::size_t>(row)];
    }
    QString baseFile(int row) const;  // as the finder gave it (UTF-8 path)
    // The file of the base the reference came from, as setResults was given it.
    const QString& openFile() const { return m_openFile; }
    bool empty() const { return m_report.matches.empty(); }
    // «Итог» of a row: «прямая замена», «замена», «замена, не известно: N», «близкая: …».
    QString verdictText(int row) const;

    // The table as exported: header row, then one row per result, Windows-1251 texts.
    veltris::Table exportTable() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString ruleHeader(std::size_t rule) const;
    QString ruleToolTip(const veltris::FinderMatch& m, std::size_t rule) const;
    QString verdictToolTip(const veltris::FinderMatch& m) const;
    QString packageText(const veltris::FinderMatch& m) const;
    QString packageToolTip(const veltris::FinderMatch& m) const;
    QString shownText(const veltris::FinderMatch& m, std::size_t rule) const;

    veltris::FinderReport m_report;
    veltris::FinderQuery m_query;
    std::vector<std::string> m_titles;
    QString m_openFile;
    bool m_stale = false;
};

// A rule as the page shows it: «в пределах −10..+20 %» for a band, the caption otherwise.
QString substituteRuleLabel(const veltris::SubstituteRule& rule);
