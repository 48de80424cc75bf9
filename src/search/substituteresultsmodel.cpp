#include "search/substituteresultsmodel.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>
#include <QFont>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "search/celltext.h"
#include "search/verdictlook.h"
#include "widgets/apputil.h"

using veltris::FinderMatch;
using veltris::SubstituteRule;
using veltris::Verdict;

namespace {

QString number(double v)
{
    return QLocale(QLocale::Russian).toString(v, 'g', 6);
}

const QColor kStaleText(0xa0, 0xa0, 0xa0);

}  // namespace

QString substituteRuleLabel(const SubstituteRule& rule)
{
    return QString::fromStdString(veltris::ruleLabel(rule));
}

SubstituteResultsModel::SubstituteResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void SubstituteResultsModel::setResults(veltris::FinderReport report, veltris::FinderQuery query,
                                        std::vector<std::string> titles, const QString& openFile)
{
    beginResetModel();
    m_report = std::move(report);
    m_query = std::move(query);
    m_titles = std::move(titles);
    m_openFile = openFile;
    m_stale = false;
    endResetModel();
}

void SubstituteResultsModel::clear()
{
    setResults({}, {}, {}, {});
}

void SubstituteResultsModel::setStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
}

QString SubstituteResultsModel::baseFile(int row) const
{
    return QString::fromStdString(m_report.baseFiles[static_cast<std::size_t>(matchAt(row).base)]);
}

int SubstituteResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_report.matches.size());
}

int SubstituteResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FirstRuleColumn + static_cast<int>(m_query.rules.size());
}

QString SubstituteResultsModel::verdictText(int row) const
{
    return QString::fromStdString(veltris::matchVerdictText(m_query, matchAt(row), m_titles));
}

QString SubstituteResultsModel::ruleHeader(std::size_t rule) const
{
    const auto c = static_cast<std::size_t>(m_query.rules[rule].column);
    return c < m_titles.size() ? oneLineTitle(m_titles[c]) : QString();
}

QString SubstituteResultsModel::shownText(const FinderMatch& m, std::size_t rule) const
{
    return shownCellText(m_query.deviceType, m_query.rules[rule].column, m.texts[rule]);
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
                         .arg(number(a.reference), (percent >= 0 ? QStringLiteral("+") : QString()) +
                                                       QLocale(QLocale::Russian).toString(percent, 'f', 1));
        }
    }
    lines << verdictlook::explanation(v);
    if (v == Verdict::Unknown && m_query.unknownFails)
        lines << QStringLiteral("Считается несовпадением («Неизвестное считать несовпадением»)");
    if (a.gate() && v != Verdict::Pass && v != Verdict::Unknown)
        lines << QStringLiteral("Правило «обязательно равно»: такие приборы не показываются");
    return lines.join(QLatin1Char('\n'));
}

QString SubstituteResultsModel::verdictToolTip(const FinderMatch& m) const
{
    // The text itself first: the column may be too narrow for a long list of reasons.
    QStringList lines{QString::fromStdString(veltris::matchVerdictText(m_query, m, m_titles))};
    switch (veltris::matchClass(m)) {
    case veltris::MatchClass::Direct:
        lines << QStringLiteral("Прямая замена: все правила выполнены, корпус тот же, что у образца");
        break;
    case veltris::MatchClass::Full: lines << QStringLiteral("Замена: все правила выполнены"); break;
    case veltris::MatchClass::WithUnknown:
        lines << QStringLiteral(
            "Замена: ни одно правило не нарушено, но о названных параметрах по записи судить "
            "нельзя: значения нет или оно дано иначе, чем у образца (типовое против предельного, "
            "при других условиях)");
        break;
    case veltris::MatchClass::Near:
        lines << QStringLiteral("Близкая: не выполнено правил — %1; в скобках — отклонение от образца")
                     .arg(m.fails);
        break;
    }
    if (m.weakMask != 0)
        lines << verdictlook::explanation(Verdict::NotGuaranteed);
    if (m_query.unknownFails && m.unknowns > 0)
        lines << QStringLiteral("Неизвестное считается несовпадением");
    return lines.join(QLatin1Char('\n'));
}

QString SubstituteResultsModel::packageText(const FinderMatch& m) const
{
    switch (m.package) {
    case veltris::PackageMatch::Same: return QStringLiteral("как у образца");
    case veltris::PackageMatch::Other: return QStringLiteral("другой");
    case veltris::PackageMatch::Unknown: break;
    }
    return {};
}

QString SubstituteResultsModel::packageToolTip(const FinderMatch& m) const
{
    if (m_query.packageColumn == 0)
        return QStringLiteral("У образца не указан корпус (№ рисунка)");
    const QString drawing = number(m_query.referencePackage);
    switch (m.package) {
    case veltris::PackageMatch::Same:
        return QStringLiteral(
                   "Тот же чертёж корпуса, что у образца (рис. %1): такой прибор ставится "
                   "первым среди равных")
            .arg(drawing);
    case veltris::PackageMatch::Other:
        return QStringLiteral(
                   "Другой корпус, чем у образца (рис. %1) — не несовпадение, пока "
                   "правило корпуса не «равно»")
            .arg(drawing);
    case veltris::PackageMatch::Unknown: break;
    }
    return QStringLiteral("Корпус прибора не указан");
}

QVariant SubstituteResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const FinderMatch& m = matchAt(index.row());
    const int col = index.column();
    if (role == Qt::ForegroundRole && m_stale)
        return QBrush(kStaleText);
    if (role == MatchClassRole)
        return static_cast<int>(veltris::matchClass(m));
    if (col < FirstRuleColumn) {
        if (role == Qt::DisplayRole) {
            switch (col) {
            case NameColumn: return cpToQString(m.name);
            case BaseColumn: {
                const QString file = baseFile(index.row());
                return file.isEmpty() ? QStringLiteral("(открытая база)") : QFileInfo(file).fileName();
            }
            case VerdictColumn: return verdictText(index.row());
            default: return packageText(m);
            }
        }
        if (role == Qt::ToolTipRole) {
            if (m_stale)
                return QStringLiteral("Результаты устарели: правила или область поиска изменились");
            switch (col) {
            case BaseColumn: return baseFile(index.row());
            case VerdictColumn: return verdictToolTip(m);
            case PackageColumn: return packageToolTip(m);
            default: return {};
            }
        }
        if (role == Qt::ForegroundRole && col == VerdictColumn)
            return QBrush(verdictlook::classColour(veltris::matchClass(m), m.weakMask == m.failMask));
        if (role == Qt::ForegroundRole && col == PackageColumn && m.package == veltris::PackageMatch::Same)
            return QBrush(verdictlook::classColour(veltris::MatchClass::Direct, false));
        if (role == Qt::FontRole && col == VerdictColumn &&
            veltris::matchClass(m) == veltris::MatchClass::Direct) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    const auto rule = static_cast<std::size_t>(col - FirstRuleColumn);
    const Verdict v = m.verdict(rule);
    // An unknown counted as failing is a failure of the match: it gets the failure's ground.
    const bool failing =
        v == Verdict::Fail || v == Verdict::NotGuaranteed || (v == Verdict::Unknown && m_query.unknownFails);
    switch (role) {
    case Qt::DisplayRole: return shownText(m, rule);
    case VerdictRole: return static_cast<int>(v);
    case Qt::ForegroundRole: {
        const QColor c = verdictlook::textColour(v);
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    case Qt::BackgroundRole:
        if (m_stale || !failing)
            return {};
        return QBrush(verdictlook::groundColour(v == Verdict::Unknown ? Verdict::Fail : v));
    case Qt::ToolTipRole:
        return m_stale ? QStringLiteral("Результаты устарели: правила или область поиска изменились")
                       : ruleToolTip(m, rule);
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return {};
    }
}

QVariant SubstituteResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= rowCount())
            return {};
        switch (role) {
        case Qt::DisplayRole: return cpToQString(matchAt(section).name);
        case Qt::ToolTipRole:
            return QStringLiteral("%1. Двойной щелчок делает прибор текущей записью").arg(section + 1);
        case Qt::ForegroundRole: return m_stale ? QVariant(QBrush(kStaleText)) : QVariant();
        default: return {};
        }
    }
    if (section < FirstRuleColumn) {
        if (role == Qt::ToolTipRole && section == PackageColumn)
            return QStringLiteral("Корпус по сравнению с образцом (№ рисунка)");
        if (role != Qt::DisplayRole)
            return {};
        switch (section) {
        case NameColumn: return QStringLiteral("Имя");
        case BaseColumn: return QStringLiteral("База");
        case VerdictColumn: return QStringLiteral("Итог");
        default: return QStringLiteral("Корпус");
        }
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
        t.setCell(0, c, exportText(head));
    }
    for (int r = 0; r < rowCount(); ++r) {
        const FinderMatch& m = matchAt(r);
        t.setCell(r + 1, NameColumn, m.name);
        t.setCell(r + 1, BaseColumn, exportText(baseFile(r)));
        t.setCell(r + 1, VerdictColumn, exportText(verdictText(r)));
        t.setCell(r + 1, PackageColumn, exportText(packageText(m)));
        for (std::size_t j = 0; j < m.texts.size(); ++j)
            t.setCell(r + 1, FirstRuleColumn + static_cast<int>(j), exportText(shownText(m, j)));
    }
    return t;
}
