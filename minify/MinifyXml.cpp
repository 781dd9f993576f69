#include "minify/Minify.h"

namespace larkspan::minify {

TMinifyResult MinifyXml(std::string_view Text, TCodePage, const TMinifyOptions&) {
  TMinifyResult R;
  R.Error = "not available yet";
  return R;
}

}  // namespace larkspan::minify
