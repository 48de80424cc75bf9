#include "search/ruledelegate.h"

#include <QComboBox>
#include <QSpinBox>
#include <algorithm>
#include <utility>

#include "base/substitute/rules.h"
#include "search/substituterulesmodel.h"
#include "widgets/rangespinbox.h"

using veltris::RuleKind;

RuleDelegate::RuleDelegate(SubstituteRulesModel* model, std::function<void(const QString&)> report,
                           QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_report(std::move(report))
{}

QWidget* RuleDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    if (index.column() == SubstituteRulesModel::RuleColumn) {
        auto* combo = new QComboBox(parent);
        for (RuleKind kind : m_model->kindsOffered(index.row()))
            combo->addItem(QString::fromUtf8(veltris::ruleCaption(kind)), static_cast<int>(kind));
        // A choice takes effect at once, without leaving the cell first.
        connect(combo, &QComboBox::activated, this, [this, combo] {
            auto* self = const_cast<RuleDelegate*>(this);
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        return combo;
    }
    if (index.column() >= SubstituteRulesModel::MinusColumn) {
        RangeSpinBox* spin = spreadEditor(parent, index.column());
        connect(spin, &RangeSpinBox::outOfRange, this,
                [this, spin](const QString& typed) { m_report(spin->outOfRangeMessage(typed)); });
        return spin;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void RuleDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const int v = index.data(Qt::EditRole).toInt();
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        combo->setCurrentIndex(std::max(0, combo->findData(v)));
    else if (auto* spin = qobject_cast<QSpinBox*>(editor))
        spin->setValue(v);
}

void RuleDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, combo->currentData(), Qt::EditRole);
    } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->interpretText();  // the typed number, or the old value when it was out of range
        model->setData(index, spin->value(), Qt::EditRole);
    }
}

void RuleDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    if (!qobject_cast<QSpinBox*>(editor) || editor->width() >= editor->sizeHint().width())
        return;
    QRect r = editor->geometry();
    r.setWidth(editor->sizeHint().width());
    if (const QWidget* area = editor->parentWidget(); area && r.right() > area->width() - 1)
        r.moveRight(std::max(r.width() - 1, area->width() - 1));
    editor->setGeometry(r);
}

RangeSpinBox* RuleDelegate::spreadEditor(QWidget* parent, int column)
{
    auto* spin = new RangeSpinBox(parent);
    const bool minus = column == SubstituteRulesModel::MinusColumn;
    spin->setRange(0, minus ? veltris::kMaxBandMinus : veltris::kMaxBandPlus);
    spin->setPrefix(minus ? QStringLiteral("−") : QStringLiteral("+"));
    spin->setSuffix(QStringLiteral(" %"));
    spin->setAlignment(Qt::AlignRight);
    return spin;
}
