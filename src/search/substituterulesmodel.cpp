#include "search/substituterulesmodel.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <algorithm>

#include "widgets/apputil.h"

using veltris::RuleKind;
using veltris::SubstituteRule;

namespace {

const QColor kOffText(0x90, 0x90, 0x90);

}  // namespace

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
    return veltris::ruleKindsFor(m_deviceType, row + 1);
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
    const bool minus = veltris::ruleTakesMinus(rule.kind);
    const bool plus = veltris::ruleTakesPlus(rule.kind);
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TitleColumn: return title(index.row() + 1);
        case ReferenceColumn: return m_reference.value(index.row());
        case RuleColumn: return QString::fromUtf8(veltris::ruleCaption(rule.kind));
        // A tolerance of 0 is shown too: the cell can take one.
        case MinusColumn:
            return !minus                   ? QString()
                   : rule.minusPercent == 0 ? QStringLiteral("0 %")
                                            : QStringLiteral("−%1 %").arg(rule.minusPercent);
        case PlusColumn:
            return !plus                   ? QString()
                   : rule.plusPercent == 0 ? QStringLiteral("0 %")
                                           : QStringLiteral("+%1 %").arg(rule.plusPercent);
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
    if (role == Qt::ToolTipRole) {
        if (index.column() == RuleColumn)
            return ruleToolTip(rule.kind);
        if (index.column() == MinusColumn && minus)
            return rule.kind == RuleKind::Band
                       ? QStringLiteral("Нижняя граница: значение образца минус столько процентов")
                       : QStringLiteral(
                             "Допуск: прибор проходит, если его значение не меньше %1 % "
                             "значения образца")
                             .arg(100 - rule.minusPercent);
        if (index.column() == PlusColumn && plus)
            return rule.kind == RuleKind::Band
                       ? QStringLiteral("Верхняя граница: значение образца плюс столько процентов")
                       : QStringLiteral(
                             "Допуск: прибор проходит, если его значение не больше %1 % "
                             "значения образца")
                             .arg(100 + rule.plusPercent);
        return {};
    }
    if (role == Qt::ForegroundRole && index.column() != ReferenceColumn) {
        if (rule.kind == RuleKind::Off)
            return QBrush(kOffText);
        // A tolerance of 0 is a place to type one, not a setting to read.
        if ((index.column() == MinusColumn && minus && rule.minusPercent == 0 &&
             rule.kind != RuleKind::Band) ||
            (index.column() == PlusColumn && plus && rule.plusPercent == 0 && rule.kind != RuleKind::Band))
            return QBrush(kOffText);
    }
    if (role == Qt::TextAlignmentRole && index.column() >= MinusColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QString SubstituteRulesModel::ruleToolTip(RuleKind kind)
{
    switch (kind) {
    case RuleKind::Off: return QStringLiteral("Параметр не проверяется");
    case RuleKind::AtLeast:
        return QStringLiteral("Значение прибора не меньше, чем у образца, с допуском −p %");
    case RuleKind::AtMost:
        return QStringLiteral("Значение прибора не больше, чем у образца, с допуском +q %");
    case RuleKind::Equal: return QStringLiteral("Значение прибора в пределах значения образца");
    case RuleKind::Band: return QStringLiteral("От значения образца −p % до +q %");
    case RuleKind::Gate:
        return QStringLiteral(
            "Обязательно равно: прибор с другим значением не показывается совсем, "
            "даже среди близких");
    }
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
    const RuleKind kind = m_rules[static_cast<std::size_t>(index.row())].kind;
    if (index.column() == RuleColumn || (index.column() == MinusColumn && veltris::ruleTakesMinus(kind)) ||
        (index.column() == PlusColumn && veltris::ruleTakesPlus(kind)))
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
        if (kind != rule.kind) {
            // The percents mean something else under another kind: a band's spread is no
            // tolerance. A new band starts at ±10 % (without spreads it would only admit the
            // reference's own value), a new tolerance at none.
            rule.kind = kind;
            rule.minusPercent = kind == RuleKind::Band ? 10 : 0;
            rule.plusPercent = kind == RuleKind::Band ? 10 : 0;
        }
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
