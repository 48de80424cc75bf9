#include "search/substitutemodel.h"

#include "widgets/apputil.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>
#include <QLocale>
#include <cmath>


using veltris::FinderMatch;
using veltris::RuleKind;
using veltris::SubstituteRule;
using veltris::Verdict;

namespace {

QString number(double v)
{
    return QLocale(QLocale::Russian).toString(v, 'g', 6);
}

const QColor kFailText(0xb0, 0x00, 0x00);
const QColor kFailGround(0xff, 0xdc, 0xdc);
const QColor kUnknownText(0x90, 0x90, 0x90);

}  // namespace

QString substituteRuleLabel(const SubstituteRule& rule)
{
    return QString::fromStdString(veltris::ruleLabel(rule));
}

// ---- rules ----

SubstituteRulesModel::SubstituteRulesModel(QObject* parent) : QAbstractTableModel(parent) {}

void SubstituteRulesModel::setParameters(int deviceType, QStringList titles, veltris::RuleSet rules)
{
    beginResetModel();
    m_deviceType = deviceType;
    m_titles = std::move(titles);
    m_rules = std::move(rules);
    m_rules.resize(static_cast<std::size_t>(m_titles.size()));
    m_reference.clear();
    endResetModel();
}

void SubstituteRulesModel::setTitles(QStringList titles)
{
    if (titles.size() != m_titles.size())
        return;
    m_titles = std::move(titles);
    if (!m_titles.isEmpty())
        emit dataChanged(index(0, TitleColumn), index(rowCount() - 1, TitleColumn));
}

void SubstituteRulesModel::setReferenceTexts(QStringList texts)
{
    m_reference = std::move(texts);
    if (!m_titles.isEmpty())
        emit dataChanged(index(0, ReferenceColumn), index(rowCount() - 1, ReferenceColumn));
}

void SubstituteRulesModel::setRules(veltris::RuleSet rules)
{
    beginResetModel();
    m_rules = std::move(rules);
    m_rules.resize(static_cast<std::size_t>(m_titles.size()));
    endResetModel();
}

QString SubstituteRulesModel::title(int column) const
{
    const QString t = m_titles.value(column - 1);
    return t.isEmpty() ? QStringLiteral("Столбец %1").arg(column) : t;
}

bool SubstituteRulesModel::isTextRow(int row) const
{
    return veltris::isTextParameter(m_deviceType, row + 1);
}

std::vector<RuleKind> SubstituteRulesModel::kindsOffered(int row) const
{
    if (isTextRow(row))
        return {RuleKind::Off, RuleKind::Equal};
    return {RuleKind::Off, RuleKind::AtLeast, RuleKind::AtMost, RuleKind::Equal, RuleKind::Band};
}

int SubstituteRulesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
}

int SubstituteRulesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SubstituteRulesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const SubstituteRule& rule = m_rules[static_cast<std::size_t>(index.row())];
    // A band's spreads, and the tolerance of «не меньше» (−p) and «не больше» (+q).
    const bool minus = veltris::ruleTakesMinus(rule.kind) &&
                       (rule.kind == RuleKind::Band || rule.minusPercent > 0);
    const bool plus = veltris::ruleTakesPlus(rule.kind) &&
                      (rule.kind == RuleKind::Band || rule.plusPercent > 0);
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TitleColumn: return title(index.row() + 1);
        case ReferenceColumn: return m_reference.value(index.row());
        case RuleColumn: return QString::fromUtf8(veltris::ruleCaption(rule.kind));
        case MinusColumn: return minus ? QStringLiteral("−%1 %").arg(rule.minusPercent) : QString();
        case PlusColumn: return plus ? QStringLiteral("+%1 %").arg(rule.plusPercent) : QString();
        default: return {};
        }
    }
    if (role == Qt::EditRole) {
        switch (index.column()) {
        case RuleColumn: return static_cast<int>(rule.kind);
        case MinusColumn: return rule.minusPercent;
        case PlusColumn: return rule.plusPercent;
        default: return data(index, Qt::DisplayRole);
        }
    }
    if (role == Qt::ForegroundRole && rule.kind == RuleKind::Off && index.column() != ReferenceColumn)
        return QBrush(kUnknownText);
    if (role == Qt::TextAlignmentRole && index.column() >= MinusColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant SubstituteRulesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case TitleColumn: return QStringLiteral("Параметр");
    case ReferenceColumn: return QStringLiteral("Образец");
    case RuleColumn: return QStringLiteral("Правило");
    case MinusColumn: return QStringLiteral("−p");
    case PlusColumn: return QStringLiteral("+q");
    default: return {};
    }
}

Qt::ItemFlags SubstituteRulesModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool band = m_rules[static_cast<std::size_t>(index.row())].kind == RuleKind::Band;
    if (index.column() == RuleColumn || (band && index.column() >= MinusColumn))
        f |= Qt::ItemIsEditable;
    return f;
}

bool SubstituteRulesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    bool ok = false;
    const int v = value.toInt(&ok);
    if (!ok)
        return false;
    SubstituteRule rule = m_rules[static_cast<std::size_t>(index.row())];
    if (index.column() == RuleColumn) {
        const auto kinds = kindsOffered(index.row());
        const auto kind = static_cast<RuleKind>(v);
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
            return false;
        rule.kind = kind;
        // A band opened without spreads would only admit the reference's own value.
        if (kind == RuleKind::Band && rule.minusPercent == 0 && rule.plusPercent == 0)
            rule.minusPercent = rule.plusPercent = 10;
    } else if (index.column() == MinusColumn) {
        rule.minusPercent = std::clamp(v, 0, veltris::kMaxBandMinus);
    } else {
        rule.plusPercent = std::clamp(v, 0, veltris::kMaxBandPlus);
    }
    if (rule == m_rules[static_cast<std::size_t>(index.row())])
        return true;
    m_rules[static_cast<std::size_t>(index.row())] = rule;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    emit rulesEdited();
    return true;
}

// ---- results ----

SubstituteResultsModel::SubstituteResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void SubstituteResultsModel::setResults(veltris::FinderReport report, veltris::FinderQuery query,
                                        QStringList titles, const QString& openFile)
{
    beginResetModel();
    m_report = std::move(report);
    m_query = std::move(query);
    m_titles = std::move(titles);
    m_openFile = openFile;
    endResetModel();
}

void SubstituteResultsModel::clear()
{
    setResults({}, {}, {}, {});
}

QString SubstituteResultsModel::baseFile(int row) const
{
    return QString::fromStdString(m_report.baseFiles[static_cast<std::size_t>(match(row).base)]);
}

int SubstituteResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_report.matches.size());
}

int SubstituteResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FirstRuleColumn + static_cast<int>(m_query.rules.size());
}

QString SubstituteResultsModel::verdictText(const FinderMatch& m) const
{
    return m.fails == 0 ? QStringLiteral("подходит") : QStringLiteral("не подходит по %1").arg(m.fails);
}

QString SubstituteResultsModel::ruleHeader(std::size_t rule) const
{
    return m_titles.value(m_query.rules[rule].column - 1);
}

QString SubstituteResultsModel::ruleToolTip(const FinderMatch& m, std::size_t rule) const
{
    const veltris::ActiveRule& a = m_query.rules[rule];
    QStringList lines;
    lines << ruleHeader(rule) + QStringLiteral(": ") + substituteRuleLabel(a.rule);
    if (a.text) {
        lines << QStringLiteral("Требуется: равно образцу");
    } else if (a.needLow && a.needHigh) {
        lines << QStringLiteral("Требуется: от %1 до %2").arg(number(a.low), number(a.high));
    } else if (a.needLow) {
        lines << QStringLiteral("Требуется: не меньше %1").arg(number(a.low));
    } else {
        lines << QStringLiteral("Требуется: не больше %1").arg(number(a.high));
    }
    const Verdict v = m.verdict(rule);
    // Candidates of the reference's own base share its units, so their deviation means something.
    if (!a.text && v != Verdict::Unknown && a.reference > 0 &&
        m_report.baseFiles[static_cast<std::size_t>(m.base)] == m_openFile.toStdString()) {
        const veltris::CellMeaning c = veltris::cellMeaning(m.texts[rule]);
        double value = 0;
        if ((c.known & veltris::kKnownLow) && (c.known & veltris::kKnownHigh))
            value = std::sqrt(c.lo * c.hi);
        else
            value = (c.known & veltris::kKnownLow) ? c.lo : c.hi;
        if (value > 0) {
            const double percent = (value / a.reference - 1) * 100;
            lines << QStringLiteral("Отклонение от образца (%1): %2 %")
                         .arg(number(a.reference),
                              (percent >= 0 ? QStringLiteral("+") : QString()) +
                                  QLocale(QLocale::Russian).toString(percent, 'f', 1));
        }
    }
    lines << (v == Verdict::Pass            ? QStringLiteral("Подходит")
              : v == Verdict::Fail          ? QStringLiteral("Не подходит")
              : v == Verdict::NotGuaranteed ? QStringLiteral("Не гарантировано: обещанное значение слабее нужного")
                                            : QStringLiteral("Неизвестно: по записи нельзя судить"));
    return lines.join(QLatin1Char('\n'));
}

QVariant SubstituteResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const FinderMatch& m = match(index.row());
    const int col = index.column();
    if (col < FirstRuleColumn) {
        if (role == Qt::DisplayRole) {
            if (col == NameColumn)
                return cpToQString(m.name);
            if (col == BaseColumn) {
                const QString file = baseFile(index.row());
                return file.isEmpty() ? QStringLiteral("(открытая база)")
                                      : QFileInfo(file).fileName();
            }
            return verdictText(m);
        }
        if (role == Qt::ToolTipRole && col == BaseColumn)
            return baseFile(index.row());
        if (role == Qt::ToolTipRole && col == VerdictColumn && m.unknowns > 0)
            return QStringLiteral("Неизвестно по параметрам: %1 — по записи нельзя судить").arg(m.unknowns);
        if (role == Qt::ForegroundRole && col == VerdictColumn && m.fails > 0)
            return QBrush(kFailText);
        return {};
    }
    const auto rule = static_cast<std::size_t>(col - FirstRuleColumn);
    const Verdict v = m.verdict(rule);
    switch (role) {
    case Qt::DisplayRole: {
        const QString text = cpToQString(m.texts[rule]);
        return text.isEmpty() ? QStringLiteral("—") : text;
    }
    case Qt::ForegroundRole:
        if (v == Verdict::Fail || v == Verdict::NotGuaranteed)
            return QBrush(kFailText);
        return v == Verdict::Unknown ? QVariant(QBrush(kUnknownText)) : QVariant();
    case Qt::BackgroundRole:
        return v == Verdict::Fail || v == Verdict::NotGuaranteed ? QVariant(QBrush(kFailGround))
                                                                 : QVariant();
    case Qt::ToolTipRole: return ruleToolTip(m, rule);
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return {};
    }
}

QVariant SubstituteResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section < FirstRuleColumn) {
        if (role != Qt::DisplayRole)
            return {};
        return section == NameColumn   ? QStringLiteral("Имя")
               : section == BaseColumn ? QStringLiteral("База")
                                       : QStringLiteral("Итог");
    }
    const auto rule = static_cast<std::size_t>(section - FirstRuleColumn);
    if (rule >= m_query.rules.size())
        return {};
    if (role == Qt::DisplayRole)
        return ruleHeader(rule);
    if (role == Qt::ToolTipRole)
        return ruleHeader(rule) + QStringLiteral(": ") + substituteRuleLabel(m_query.rules[rule].rule);
    return {};
}

veltris::Table SubstituteResultsModel::exportTable() const
{
    const int cols = FirstRuleColumn + static_cast<int>(m_query.rules.size());
    veltris::Table t(rowCount() + 1, cols);
    for (int c = 0; c < cols; ++c) {
        QString head = headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        if (c >= FirstRuleColumn)
            head += QStringLiteral(" (") +
                    substituteRuleLabel(m_query.rules[static_cast<std::size_t>(c - FirstRuleColumn)].rule) +
                    QLatin1Char(')');
        t.setCell(0, c, qStringToCp(head));
    }
    for (int r = 0; r < rowCount(); ++r) {
        const FinderMatch& m = match(r);
        t.setCell(r + 1, NameColumn, m.name);
        t.setCell(r + 1, BaseColumn, qStringToCp(baseFile(r)));
        t.setCell(r + 1, VerdictColumn, qStringToCp(verdictText(m)));
        for (std::size_t j = 0; j < m.texts.size(); ++j)
            t.setCell(r + 1, FirstRuleColumn + static_cast<int>(j), m.texts[j]);
    }
    return t;
}
