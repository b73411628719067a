#pragma once
// The race's results as files: one CSV row per bird, a printable HTML sheet (A4 from a
// browser) and the JSON the command line prints, in the interface's language; every
// figure from the judgement.

#include <string>

#include "race/judgement.h"

namespace wing {

std::string RaceResultCsv(const RaceJudgement& judgement, unsigned langId);
std::string RaceResultHtml(const RaceJudgement& judgement, unsigned langId);
// {"race": ..., "birds": [...]}: the names scripts rely on (docs/race-file.md).
std::string RaceResultJson(const RaceJudgement& judgement);

}  // namespace wing
