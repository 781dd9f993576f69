#include "minify/Minify.h"

namespace larkspan::minify {

TMinifyResult MinifyJs(std::string_view Text, TCodePage, const TMinifyOptions&, bool) {
  TMinifyResult R;
  R.Error = "not available yet";
  return R;
}

}  // namespace larkspan::minify
