// The one-line progress display of larkspan-cli.
#pragma once

#include <string>

#include "engine/uProgressCost.h"
#include "engine/uRunReport.h"

namespace larkspan {

// "[412/993 files] work  41%  0:12 ~0:17 left  css/site.css": the files
// done of all, the share of the work done (the files weighed by what each
// is expected to cost: the engine's percentage), the time so far and the
// time left at that pace. At most Columns display columns wide (a CJK
// character takes two): the path loses its beginning first ("…" in its
// place), then the times. Elapsed and Left are seconds; Left < 0 means no
// estimate yet. Columns <= 0 means no limit.
// In Chinese with Lang Zh: "[412/993 个文件] 工作量  41%  0:12 剩余约0:17 ...".
std::string ProgressLine(const TRunStatus& Status, double Elapsed, double Left, int Columns,
                         TReportLang Lang = TReportLang::En);

// Seconds still needed at the pace so far, by the same cost model as the
// percentage (Status's DoneCost of TotalCost, or Percent where the costs
// are not given), so that the two agree; -1 until there is an estimate (a
// few percent done and a second gone) and once all is done.
double EstimateLeft(const TRunStatus& Status, double Elapsed);

// Display columns of UTF-8 Text (a byte that is not UTF-8 counts one).
int DisplayColumns(const std::string& Text);

}  // namespace larkspan
