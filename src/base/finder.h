#pragma once
// The substitute finder: replacement parts for a reference component, judged parameter by
// parameter by engineering rules (gate, not less, not more, equal, within a band, each with its
// tolerance), ranked by closeness, with near misses, over one base or every base of the same
// device type in the library. Its pieces live in base/substitute/, one idea a file:
//   rules.h, ruledefaults.h   the rules, their texts and defaults
//   guarantee.h               what a cell promises and how guarantees compare
//   cellmeaning.h             what a cell's text promises; the LED colour code
//   unitscale.h               the unit of a column title, the factor between two units
//   namelookup.h              finding a part by the name a user types
//   source.h                  the source snapshot of a base and its adapters
//   query.h                   the reference, its active rules and targets
//   match.h, ranking.h        a candidate, its order, the ranking
//   verdicttext.h             the texts of the verdicts
//   find.h                    the entry points: judge a snapshot, a base, the library
// and, inside the engine: storedform.h (a stored cell's meaning), cellreaders.h and
// storecells.h (the cell readers), judgeplan.h and judge.h (the judge), valuetexts.h (a text
// cache); base/recordcells.h reads the cells of base records straight from a file's bytes.
#include "base/substitute/cellmeaning.h"
#include "base/substitute/find.h"
#include "base/substitute/guarantee.h"
#include "base/substitute/match.h"
#include "base/substitute/namelookup.h"
#include "base/substitute/query.h"
#include "base/substitute/ranking.h"
#include "base/substitute/ruledefaults.h"
#include "base/substitute/rules.h"
#include "base/substitute/source.h"
#include "base/substitute/unitscale.h"
#include "base/substitute/verdicttext.h"
