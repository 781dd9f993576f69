#include "minify/Minify.h"

namespace larkspan::minify {

TMinifyResult MinifyFile(TMinifyKind Kind, std::string_view Bytes, std::string_view CharSet,
                         const TMinifyOptions& Options) {
  const TCodePage Page = DetectCodePage(Bytes, CodePageByName(CharSet));
  switch (Kind) {
    case TMinifyKind::Page: return MinifyPage(Bytes, Page, Options);
    case TMinifyKind::Xml: return MinifyXml(Bytes, Page, Options);
    case TMinifyKind::Css: return MinifyCss(Bytes, Page, Options);
    case TMinifyKind::Js: return MinifyJs(Bytes, Page, Options, false);
    case TMinifyKind::JsModule: return MinifyJs(Bytes, Page, Options, true);
  }
  return {};
}

bool KindOfFile(std::string_view, TMinifyKind&) { return false; }

void SetPosition(TMinifyResult& R, std::string_view Text) {
  R.Line = 1;
  R.Column = 1;
  for (size_t I = 0; I < R.Offset && I < Text.size(); ++I) {
    if (Text[I] == '\n') {
      ++R.Line;
      R.Column = 1;
    } else {
      ++R.Column;
    }
  }
}

}  // namespace larkspan::minify
