// zopfli (Debian's libzopfli) as pngout's strongest compressor, in process.
#pragma once

#include <string>
#include <vector>

#include "Plan.h"
#include "PngFile.h"

namespace larkspan::png {

// Compresses encoded's chosen rows again as plan says (plan.iterations > 0) and returns the
// picture with that IDAT when the stream is smaller than encoded's and inflates to the same
// rows, else "". zopfli gives the same stream for the same rows and iterations on every run;
// a split plan runs its two pieces on two threads (and libdeflate at final_level on the rest
// of the rows meanwhile). Cannot be interrupted: a caller that must stop in time runs it on a
// thread of its own. Throws std::bad_alloc when memory runs out.
std::string ZopfliPass(const Encoded& encoded, const ZopfliPlan& plan, int final_level);

// What zopfli makes of rows as plan says (at most 2 iterations), as a share of what libdeflate
// makes of them at level: measured on bands of kZopfliSampleBand bytes spread evenly over the
// rows, about an eighth of them (at least one band); on rows shorter than two bands, on all
// of them. The same rows and plan give the same share on every run.
double ZopfliShare(const std::vector<unsigned char>& rows, const ZopfliPlan& plan, int level);

}  // namespace larkspan::png
