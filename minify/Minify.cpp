#include "minify/Minify.h"

#include "platform/Text.h"

namespace larkspan::minify {

namespace {

TMinifyResult RunKind(TMinifyKind Kind, std::string_view Text, TCodePage Page,
                      const TMinifyOptions& Options) {
  switch (Kind) {
    case TMinifyKind::Page:
      return MinifyPage(Text, Page, Options);
    case TMinifyKind::Xml:
      return MinifyXml(Text, Page, Options);
    case TMinifyKind::Css:
      return MinifyCss(Text, Page, Options);
    case TMinifyKind::Js:
      return MinifyJs(Text, Page, Options, false);
    case TMinifyKind::JsModule:
      return MinifyJs(Text, Page, Options, true);
  }
  TMinifyResult R;
  R.Error = "unknown kind of file";
  return R;
}

TMinifyResult Failure(std::string Error, size_t Offset) {
  TMinifyResult R;
  R.Error = std::move(Error);
  R.Offset = Offset;
  return R;
}

// A kind's result made sure of its promise: no output when not Ok, and a
// position that lies inside Text.
void Settle(TMinifyResult& R, std::string_view Text) {
  if (R.Ok) {
    R.Offset = 0;
    R.Line = R.Column = 0;
    return;
  }
  R.Output.clear();
  if (R.Error.empty()) R.Error = "cannot be minified";
  if (R.Offset > Text.size()) R.Offset = Text.size();
  SetPosition(R, Text);
}

}  // namespace

TMinifyResult MinifyFile(TMinifyKind Kind, std::string_view Bytes, TCodePage Setting,
                         const TMinifyOptions& Options) {
  const TCodePage Page = DetectCodePage(Bytes, Setting);
  if (Page == TCodePage::Utf16LE || Page == TCodePage::Utf16BE) {
    const bool Big = Page == TCodePage::Utf16BE;
    const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
    const bool Bom = Bytes.size() >= 2 && ((Big && P[0] == 0xFE && P[1] == 0xFF) ||
                                           (!Big && P[0] == 0xFF && P[1] == 0xFE));
    std::string Utf8;
    if (!Utf16ToUtf8(Bytes, Big, Utf8)) {
      TMinifyResult R = Failure("not valid UTF-16", 0);
      R.Line = R.Column = 1;
      return R;
    }
    TMinifyResult R = RunKind(Kind, Utf8, TCodePage::Utf8, Options);
    Settle(R, Utf8);
    if (!R.Ok) {
      // Line and column count in the text; the offset counts file bytes.
      R.Offset = (Bom ? 2 : 0) + 2 * Utf16LengthOfUtf8(Utf8.substr(0, R.Offset));
      return R;
    }
    if (!IsValidUtf8(R.Output)) {
      R = Failure("the minified text is not valid UTF-16", 0);
      R.Line = R.Column = 1;
      return R;
    }
    R.Output = Utf8ToUtf16(R.Output, Big, Bom);
    return R;
  }
  const size_t Skip = (Bytes.size() >= 3 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) ? 3 : 0;
  const std::string_view Text = Bytes.substr(Skip);
  TMinifyResult R = RunKind(Kind, Text, Page, Options);
  Settle(R, Text);
  if (!R.Ok) {
    R.Offset += Skip;
    return R;
  }
  if (Skip) R.Output.insert(0, Bytes.substr(0, Skip));
  return R;
}

bool KindOfFile(std::string_view FileName, TMinifyKind& Kind) {
  const std::string Ext = ExtractFileExt(FileName);
  if (SameText(Ext, ".htm") || SameText(Ext, ".html")) {
    Kind = TMinifyKind::Page;
  } else if (SameText(Ext, ".xml")) {
    Kind = TMinifyKind::Xml;
  } else if (SameText(Ext, ".css")) {
    Kind = TMinifyKind::Css;
  } else if (SameText(Ext, ".js")) {
    Kind = TMinifyKind::Js;
  } else if (SameText(Ext, ".mjs")) {
    Kind = TMinifyKind::JsModule;
  } else {
    return false;
  }
  return true;
}

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
