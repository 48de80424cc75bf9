#include "search/comparisonmodel.h"

#include <QBrush>
#include <QFileInfo>
#include <QFont>

#include "base/componentbase.h"
#include "base/cp1251.h"
#include "search/celltext.h"
#include "search/verdictlook.h"
#include "widgets/apputil.h"

using veltris::RuleKind;
using veltris::Verdict;

namespace {

// More failures than any rule set can have: every part is kept as a match, however far it misses.
constexpr int kKeepEveryPart = 64;

// A base holding one part: its base's title row and its record.
veltris::ComponentBase onePartBase(int deviceType, const ComparedPart& part)
{
    veltris::ComponentBase b;
    b.deviceType = static_cast<std::uint16_t>(deviceType);
    b.columnMap.fill(1);
    const int columns = static_cast<int>(std::max(part.cells.size(), part.titles.size()));
    b.table = veltris::Table(2, columns);
    for (int c = 0; c < columns; ++c) {
        const auto k = static_cast<std::size_t>(c);
        if (k < part.titles.size())
            b.table.setCell(0, c, part.titles[k]);
        if (k < part.cells.size())
            b.table.setCell(1, c, part.cells[k]);
    }
    return b;
}

}  // namespace

ComparisonModel::ComparisonModel(QObject* parent) : QAbstractTableModel(parent) {}

void ComparisonModel::setComparison(Comparison comparison)
{
    beginResetModel();
    m_comparison = std::move(comparison);
    judge();
    rebuildRows();
    endResetModel();
}

void ComparisonModel::judge()
{
    const std::size_t parts = m_comparison.parts.size();
    m_matches.assign(parts, std::nullopt);
    m_query = {};
    m_judged = false;
    m_gateColumns.clear();
    const int columns = veltris::parameterColumnCount(m_comparison.deviceType);
    m_ruleOfColumn.assign(static_cast<std::size_t>(columns) + 1, -1);
    if (parts == 0)
        return;
    // A gate drops a candidate from a search; here the part is on the table anyway, and its
    // verdict names the gate it fails.
    veltris::RuleSet rules = m_comparison.rules;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].kind == RuleKind::Gate) {
            rules[i].kind = RuleKind::Equal;
            m_gateColumns.push_back(static_cast<int>(i) + 1);
        }
    }
    const int type = m_comparison.deviceType;
    const veltris::ComponentBase reference = onePartBase(type, m_comparison.parts[0]);
    auto query =
        veltris::makeQuery(veltris::finderSourceFromBase(reference, veltris::sourceColumns(type, rules)), 0,
                           rules, kKeepEveryPart, 0);
    if (!query)
        return;
    m_query = std::move(*query);
    m_judged = true;
    for (std::size_t j = 0; j < m_query.rules.size(); ++j) {
        const auto c = static_cast<std::size_t>(m_query.rules[j].column);
        if (c < m_ruleOfColumn.size())
            m_ruleOfColumn[c] = static_cast<int>(j);
    }
    const std::vector<int> columnsRead = veltris::queryColumns(m_query);
    for (std::size_t k = 1; k < parts; ++k) {
        const veltris::ComponentBase one = onePartBase(type, m_comparison.parts[k]);
        std::vector<veltris::FinderMatch> out;
        veltris::judgeSource(m_query, veltris::finderSourceFromBase(one, columnsRead), static_cast<int>(k),
                             -1, out);
        if (!out.empty())
            m_matches[k] = std::move(out.front());
    }
}

void ComparisonModel::rebuildRows()
{
    m_rows.clear();
    m_rows.push_back(VerdictRowKey);
    const int parts = partCount();
    bool oneBase = true;
    for (int k = 1; k < parts; ++k)
        oneBase = oneBase &&
                  m_comparison.parts[static_cast<std::size_t>(k)].baseFile == m_comparison.parts[0].baseFile;
    if (!m_onlyDifferences || !oneBase)
        m_rows.push_back(BaseRowKey);
    const int columns = veltris::parameterColumnCount(m_comparison.deviceType);
    for (int c = 1; c <= columns; ++c) {
        bool differs = !m_onlyDifferences;
        for (int k = 1; k < parts && !differs; ++k)
            differs = mark(k, c) != Mark::Same;
        if (differs)
            m_rows.push_back(c);
    }
}

void ComparisonModel::setOnlyDifferences(bool only)
{
    if (only == m_onlyDifferences)
        return;
    beginResetModel();
    m_onlyDifferences = only;
    rebuildRows();
    endResetModel();
}

int ComparisonModel::parameterColumn(int row) const
{
    if (row < 0 || row >= rowCount())
        return 0;
    return std::max(0, m_rows[static_cast<std::size_t>(row)]);
}

QString ComparisonModel::verdictText(int part) const
{
    if (part == 0)
        return QStringLiteral("образец");
    if (!m_judged)
        return QStringLiteral("правила не применимы");
    const auto& m = m_matches[static_cast<std::size_t>(part)];
    if (!m)
        return QStringLiteral("нельзя судить: нет данных");
    const std::vector<std::string>& titles = m_comparison.parts[0].titles;
    QStringList gates;
    for (int c : m_gateColumns) {
        const int j = m_ruleOfColumn[static_cast<std::size_t>(c)];
        if (j < 0)
            continue;
        const Verdict v = m->verdict(static_cast<std::size_t>(j));
        if (v == Verdict::Fail || v == Verdict::NotGuaranteed) {
            const auto t = static_cast<std::size_t>(c);
            gates << QString::fromStdString(veltris::parameterShortName(
                t < titles.size() ? std::string_view(titles[t]) : std::string_view(),
                c == veltris::packageColumn(m_comparison.deviceType)));
        }
    }
    if (!gates.isEmpty())
        return QStringLiteral("не замена: ") + gates.join(QStringLiteral(", "));
    return QString::fromStdString(veltris::matchVerdictText(m_query, *m, titles));
}

QString ComparisonModel::cellText(int part, int key) const
{
    const ComparedPart& p = m_comparison.parts[static_cast<std::size_t>(part)];
    if (key == VerdictRowKey)
        return verdictText(part);
    if (key == BaseRowKey)
        return baseText(part);
    const auto c = static_cast<std::size_t>(key);
    return c < p.cells.size() ? shownCellText(m_comparison.deviceType, key, p.cells[c]) : QString();
}

QString ComparisonModel::baseText(int part) const
{
    const QString& file = m_comparison.parts[static_cast<std::size_t>(part)].baseFile;
    return file.isEmpty() ? QStringLiteral("(открытая база)") : QFileInfo(file).fileName();
}

ComparisonModel::Mark ComparisonModel::mark(int part, int key) const
{
    if (part == 0 || key < 1)
        return Mark::None;
    const bool differs = cellText(part, key) != cellText(0, key);
    const int j = m_judged && static_cast<std::size_t>(key) < m_ruleOfColumn.size()
                      ? m_ruleOfColumn[static_cast<std::size_t>(key)]
                      : -1;
    if (j < 0)
        return differs ? Mark::NotJudged : Mark::Same;
    const auto& m = m_matches[static_cast<std::size_t>(part)];
    const Verdict v = m ? m->verdict(static_cast<std::size_t>(j)) : Verdict::Unknown;
    // The same text in other units can still fail: a failure is always marked.
    if (!differs && v != Verdict::Fail && v != Verdict::NotGuaranteed)
        return Mark::Same;
    switch (v) {
    case Verdict::Pass: return Mark::Pass;
    case Verdict::Fail: return Mark::Fail;
    case Verdict::NotGuaranteed: return Mark::NotGuaranteed;
    case Verdict::Unknown: break;
    }
    return Mark::Unknown;
}

QString ComparisonModel::rowTitle(int key) const
{
    if (key == VerdictRowKey)
        return QStringLiteral("Итог");
    if (key == BaseRowKey)
        return QStringLiteral("База");
    const auto c = static_cast<std::size_t>(key);
    QString t;
    if (!m_comparison.parts.empty() && c < m_comparison.parts[0].titles.size())
        t = oneLineTitle(m_comparison.parts[0].titles[c]);
    return t.isEmpty() ? QStringLiteral("Столбец %1").arg(key) : t;
}

QString ComparisonModel::cellToolTip(int part, int key) const
{
    if (key == BaseRowKey) {
        const ComparedPart& p = m_comparison.parts[static_cast<std::size_t>(part)];
        return QStringLiteral("%1, строка %2")
            .arg(p.baseFile.isEmpty() ? baseText(part) : p.baseFile)
            .arg(p.row);
    }
    if (key == VerdictRowKey || part == 0)
        return {};
    QStringList lines;
    const auto c = static_cast<std::size_t>(key);
    const int j = m_judged && c < m_ruleOfColumn.size() ? m_ruleOfColumn[c] : -1;
    const veltris::SubstituteRule rule =
        c - 1 < m_comparison.rules.size() ? m_comparison.rules[c - 1] : veltris::SubstituteRule{};
    if (j >= 0)
        lines << rowTitle(key) + QStringLiteral(": ") + QString::fromStdString(veltris::ruleLabel(rule));
    else if (rule.kind == RuleKind::Off)
        lines << rowTitle(key) + QStringLiteral(": правило «не учитывать»");
    else
        lines << rowTitle(key) + QStringLiteral(": правило не применено — у образца нет значения");
    const QString reference = cellText(0, key);
    lines << QStringLiteral("У образца: %1")
                 .arg(reference.isEmpty() ? QStringLiteral("неизвестно") : reference);
    switch (mark(part, key)) {
    case Mark::Same: lines << QStringLiteral("Как у образца"); break;
    case Mark::NotJudged: lines << QStringLiteral("Отличается от образца; правило по нему не судит"); break;
    case Mark::Pass: lines << verdictlook::explanation(Verdict::Pass); break;
    case Mark::Fail: lines << verdictlook::explanation(Verdict::Fail); break;
    case Mark::NotGuaranteed: lines << verdictlook::explanation(Verdict::NotGuaranteed); break;
    case Mark::Unknown: lines << verdictlook::explanation(Verdict::Unknown); break;
    case Mark::None: break;
    }
    return lines.join(QLatin1Char('\n'));
}

int ComparisonModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ComparisonModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : partCount();
}

QVariant ComparisonModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int part = index.column();
    const int key = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: return cellText(part, key);
    case Qt::ToolTipRole: return cellToolTip(part, key);
    case MarkRole: return static_cast<int>(mark(part, key));
    case Qt::BackgroundRole:
        switch (mark(part, key)) {
        case Mark::Pass: return QBrush(verdictlook::groundColour(Verdict::Pass));
        case Mark::Fail: return QBrush(verdictlook::groundColour(Verdict::Fail));
        case Mark::NotGuaranteed: return QBrush(verdictlook::groundColour(Verdict::NotGuaranteed));
        case Mark::Unknown: return QBrush(verdictlook::groundColour(Verdict::Unknown));
        case Mark::NotJudged: return QBrush(verdictlook::notJudgedGround());
        default: return {};
        }
    case Qt::ForegroundRole: {
        if (key == VerdictRowKey && part > 0 && m_matches[static_cast<std::size_t>(part)]) {
            const veltris::FinderMatch& m = *m_matches[static_cast<std::size_t>(part)];
            const bool gateFailed = verdictText(part).startsWith(QStringLiteral("не замена"));
            return QBrush(gateFailed
                              ? verdictlook::textColour(Verdict::Fail)
                              : verdictlook::classColour(veltris::matchClass(m), m.weakMask == m.failMask));
        }
        const Mark mk = mark(part, key);
        const QColor c = mk == Mark::Fail            ? verdictlook::textColour(Verdict::Fail)
                         : mk == Mark::NotGuaranteed ? verdictlook::textColour(Verdict::NotGuaranteed)
                         : mk == Mark::Unknown       ? verdictlook::textColour(Verdict::Unknown)
                                                     : QColor();
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    case Qt::FontRole:
        if (part == 0) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::TextAlignmentRole:
        return key == VerdictRowKey ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    default: return {};
    }
}

QVariant ComparisonModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= rowCount())
            return {};
        const int key = m_rows[static_cast<std::size_t>(section)];
        if (role == Qt::DisplayRole)
            return rowTitle(key);
        if (role == Qt::ToolTipRole && key > 0 && static_cast<std::size_t>(key) <= m_comparison.rules.size())
            return QStringLiteral("Правило: ") + QString::fromStdString(veltris::ruleLabel(
                                                     m_comparison.rules[static_cast<std::size_t>(key - 1)]));
        return {};
    }
    if (section < 0 || section >= partCount())
        return {};
    const ComparedPart& p = m_comparison.parts[static_cast<std::size_t>(section)];
    switch (role) {
    case Qt::DisplayRole: return cpToQString(p.name);
    case Qt::ToolTipRole:
        return (section == 0 ? QStringLiteral("Образец. ") : QString()) +
               QStringLiteral("%1, строка %2")
                   .arg(p.baseFile.isEmpty() ? baseText(section) : p.baseFile)
                   .arg(p.row);
    case Qt::FontRole:
        if (section == 0) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default: return {};
    }
}

veltris::Table ComparisonModel::exportTable() const
{
    veltris::Table t(rowCount() + 1, partCount() + 1);
    t.setCell(0, 0, veltris::utf8ToCp1251("Параметр"));
    for (int k = 0; k < partCount(); ++k)
        t.setCell(0, k + 1,
                  m_comparison.parts[static_cast<std::size_t>(k)].name +
                      (k == 0 ? veltris::utf8ToCp1251(" (образец)") : std::string()));
    for (int r = 0; r < rowCount(); ++r) {
        const int key = m_rows[static_cast<std::size_t>(r)];
        t.setCell(r + 1, 0, exportText(rowTitle(key)));
        for (int k = 0; k < partCount(); ++k)
            t.setCell(r + 1, k + 1, exportText(cellText(k, key)));
    }
    return t;
}

QString ComparisonModel::html() const
{
    return tableHtml(false);
}

QString ComparisonModel::ruleText(int key) const
{
    if (key < 1)
        return {};
    const auto c = static_cast<std::size_t>(key);
    const veltris::SubstituteRule rule =
        c - 1 < m_comparison.rules.size() ? m_comparison.rules[c - 1] : veltris::SubstituteRule{};
    const int j = m_judged && c < m_ruleOfColumn.size() ? m_ruleOfColumn[c] : -1;
    if (rule.kind == RuleKind::Off)
        return QStringLiteral("не учитывать");
    QString text = QString::fromStdString(veltris::ruleLabel(rule));
    const std::string options = veltris::ruleOptionsLabel(rule.options);
    if (!options.empty())
        text += QStringLiteral("; ") + QString::fromStdString(options);
    if (j < 0)
        text += QStringLiteral(" (не применено: у образца нет значения)");
    return text;
}

QString ComparisonModel::documentHtml(const QString& date) const
{
    const QString reference =
        m_comparison.parts.empty() ? QString() : cpToQString(m_comparison.parts[0].name).toHtmlEscaped();
    QString out = QStringLiteral("<h3>Сравнение приборов: образец %1</h3>\n<p>Дата: %2<br>")
                      .arg(reference, date.toHtmlEscaped());
    // The bases, each once, in the order of the parts.
    QStringList bases;
    for (const ComparedPart& p : m_comparison.parts) {
        const QString base =
            p.baseFile.isEmpty() ? QStringLiteral("открытая база (не сохранена)") : p.baseFile;
        if (!bases.contains(base))
            bases << base;
    }
    out += (bases.size() == 1 ? QStringLiteral("База: ") : QStringLiteral("Базы: ")) +
           bases.join(QStringLiteral("; ")).toHtmlEscaped() + QStringLiteral("</p>\n");
    if (m_onlyDifferences)
        out += QStringLiteral("<p>Показаны только параметры, в которых приборы различаются.</p>\n");
    return out + tableHtml(true);
}

QString ComparisonModel::tableHtml(bool document) const
{
    QString out = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"%1>\n")
                      .arg(document ? QStringLiteral(" width=\"100%\"") : QString());
    out += QStringLiteral("<thead><tr><th>Параметр</th>");
    if (document)
        out += QStringLiteral("<th>Правило и допуск</th>");
    for (int k = 0; k < partCount(); ++k)
        out += QStringLiteral("<th>%1%2</th>")
                   .arg(cpToQString(m_comparison.parts[static_cast<std::size_t>(k)].name).toHtmlEscaped(),
                        k == 0 ? QStringLiteral("<br>(образец)") : QString());
    out += QStringLiteral("</tr></thead>\n");
    for (int r = 0; r < rowCount(); ++r) {
        const int key = m_rows[static_cast<std::size_t>(r)];
        out += QStringLiteral("<tr><td>%1</td>").arg(rowTitle(key).toHtmlEscaped());
        if (document)
            out += QStringLiteral("<td>%1</td>").arg(ruleText(key).toHtmlEscaped());
        for (int k = 0; k < partCount(); ++k) {
            const QVariant ground = data(index(r, k), Qt::BackgroundRole);
            const QVariant text = data(index(r, k), Qt::ForegroundRole);
            QString style;
            if (ground.isValid())
                style += QStringLiteral(" bgcolor=\"%1\"").arg(ground.value<QBrush>().color().name());
            QString cell = cellText(k, key).toHtmlEscaped();
            if (text.isValid())
                cell = QStringLiteral("<font color=\"%1\">%2</font>")
                           .arg(text.value<QBrush>().color().name(), cell);
            if (k == 0)
                cell = QStringLiteral("<b>%1</b>").arg(cell);
            out += QStringLiteral("<td%1 align=\"center\">%2</td>").arg(style, cell);
        }
        out += QStringLiteral("</tr>\n");
    }
    return out + QStringLiteral("</table>\n");
}
