#pragma once
// What each event of a run adds to its trend, the same whether it comes live from the console
// or from a row of a run log: a pressure to the curve, a setpoint to its steps, a command, a
// lost line, a safety stop or the operator's mark as a mark with its words.

#include "control/record/trendseries.h"
#include "control/runlog/runevents.h"
#include "control/runlog/runlogreader.h"

namespace trendrows {

void add(TrendSeries &series, const RunEvent &event);
void add(TrendSeries &series, const runlog::RowView &row);

} // namespace trendrows
