#pragma once
// The colours of the finder's verdicts, the same in the results of the page «Замена» and in the
// comparison window: a plain failure red, a guarantee too weak amber (a failure of its own kind),
// an unknown grey, a pass green where it is marked at all.
#include <QColor>
#include <QString>

#include "base/substitute/guarantee.h"
#include "base/substitute/ranking.h"

namespace verdictlook {

QColor textColour(veltris::Verdict verdict);    // invalid where the normal text colour stays
QColor groundColour(veltris::Verdict verdict);  // a pale ground for a marked cell

// The colour of a match's class in «Итог»; `weakOnly`: every failure is a guarantee too weak.
QColor classColour(veltris::MatchClass matchClass, bool weakOnly);

// One line telling what a verdict means, for tool tips.
QString explanation(veltris::Verdict verdict);

// The ground of a cell that differs from the reference where no rule judges it.
QColor notJudgedGround();

// The legend under a table of verdicts, as rich text with a sample of each colour;
// `comparison` adds the green of a pass and the blue of a difference no rule judges (the
// comparison window marks those) and shows an unknown on its grey ground.
QString legendHtml(bool comparison);

}  // namespace verdictlook
