#include "search/verdictlook.h"

using veltris::MatchClass;
using veltris::Verdict;

namespace verdictlook {

namespace {

const QColor kFailText(0xb0, 0x00, 0x00);
const QColor kFailGround(0xff, 0xdc, 0xdc);
const QColor kWeakText(0x8a, 0x50, 0x00);
const QColor kWeakGround(0xff, 0xe6, 0xb8);
const QColor kUnknownText(0x80, 0x80, 0x80);
const QColor kUnknownGround(0xec, 0xec, 0xec);
const QColor kPassText(0x1e, 0x6e, 0x1e);
const QColor kPassGround(0xdf, 0xf2, 0xd8);
const QColor kNotJudgedGround(0xe3, 0xeb, 0xf7);

}  // namespace

QColor textColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Fail: return kFailText;
    case Verdict::NotGuaranteed: return kWeakText;
    case Verdict::Unknown: return kUnknownText;
    case Verdict::Pass: break;
    }
    return {};
}

QColor groundColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Fail: return kFailGround;
    case Verdict::NotGuaranteed: return kWeakGround;
    case Verdict::Unknown: return kUnknownGround;
    case Verdict::Pass: break;
    }
    return kPassGround;
}

QColor classColour(MatchClass matchClass, bool weakOnly)
{
    switch (matchClass) {
    case MatchClass::Direct:
    case MatchClass::Full: return kPassText;
    case MatchClass::WithUnknown: return kUnknownText;
    case MatchClass::Near: break;
    }
    return weakOnly ? kWeakText : kFailText;
}

QString explanation(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass: return QStringLiteral("Подходит");
    case Verdict::Fail: return QStringLiteral("Не подходит");
    case Verdict::NotGuaranteed:
        return QStringLiteral(
            "Не гарантировано: прибор обещает только одну границу (например, «>100»), и она слабее "
            "нужной образцу (например, «>900»). Настоящее значение может и подойти, но по "
            "справочнику это не обещано — считается несовпадением.");
    case Verdict::Unknown: return QStringLiteral("Неизвестно: по записи нельзя судить");
    }
    return {};
}

QColor notJudgedGround()
{
    return kNotJudgedGround;
}

QString legendHtml(bool comparison)
{
    const auto sample = [](const QColor& ground, const QColor& text, const QString& caption) {
        return QStringLiteral("<span style=\"background-color:%1; color:%2\">&nbsp;%3&nbsp;</span>")
            .arg(ground.name(), text.name(), caption);
    };
    const QString pass =
        comparison ? sample(kPassGround, kPassText, QStringLiteral("подходит")) + QStringLiteral("&nbsp; ")
                   : QString();
    return pass + sample(kFailGround, kFailText, QStringLiteral("не подходит")) + QStringLiteral("&nbsp; ") +
           sample(kWeakGround, kWeakText, QStringLiteral("не гарантировано")) + QStringLiteral("&nbsp; ") +
           (comparison ? sample(kUnknownGround, kUnknownText, QStringLiteral("неизвестно"))
                       : sample(QColor(Qt::white), kUnknownText, QStringLiteral("пусто — неизвестно"))) +
           (comparison ? QStringLiteral("&nbsp; ") + sample(kNotJudgedGround, QColor(Qt::black),
                                                            QStringLiteral("отличается, правило не судит"))
                       : QString());
}

}  // namespace verdictlook
