// The one-line progress display of larkspan-cli.
#pragma once

#include <string>

#include "engine/uWebFilesMgr.h"

namespace larkspan {

// "[ 412/993]  41%  0:12 ~0:17  css/site.css", at most Columns display
// columns wide (a CJK character takes two): the path loses its beginning
// first ("…" in its place), then the times. Elapsed and Left are seconds;
// Left < 0 means no estimate yet. Columns <= 0 means no limit.
std::string ProgressLine(const TRunStatus& Status, double Elapsed, double Left, int Columns);

// Seconds still needed at the pace so far, -1 until there is one (a few
// percent done and a second gone).
double EstimateLeft(const TRunStatus& Status, double Elapsed);

// Display columns of UTF-8 Text (a byte that is not UTF-8 counts one).
int DisplayColumns(const std::string& Text);

}  // namespace larkspan
