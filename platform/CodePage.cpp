#include "platform/CodePage.h"

#include "platform/Text.h"

namespace larkspan {

namespace {

// Name with ASCII letters lowered and the separators users type at will
// ("-", "_", " ", ".") left out: "ISO-8859-1", "iso8859_1", "Latin 1".
std::string Fold(std::string_view Name) {
  std::string S;
  S.reserve(Name.size());
  for (char C : Name) {
    if (C == '-' || C == '_' || C == ' ' || C == '.' || C == '\t') continue;
    S += LoCaseAscii(C);
  }
  return S;
}

bool StartsWith(const std::string& S, std::string_view P) { return S.rfind(P, 0) == 0; }

bool IsGbkName(const std::string& S) {
  return S == "gb2312" || S == "gbk" || S == "gb18030" || S == "cp936" || S == "ms936" ||
         S == "windows936" || S == "euccn" || S == "xeuccn" || S == "xgbk" || S == "chinese" ||
         S == "csgb2312" || S == "isoir58" || S == "gb231280" || S == "936";
}

bool IsBig5Name(const std::string& S) {
  return StartsWith(S, "big5") || S == "cp950" || S == "ms950" || S == "windows950" ||
         S == "csbig5" || S == "xxbig5" || S == "950";
}

bool IsSingleByteName(const std::string& S) {
  return S == "latin1" || S == "l1" || S == "ascii" || S == "usascii" || S == "us" ||
         StartsWith(S, "iso8859") || StartsWith(S, "windows125") || StartsWith(S, "cp125") ||
         StartsWith(S, "koi8") || S == "cp437" || S == "cp850" || S == "macintosh" ||
         S == "macroman" || StartsWith(S, "latin");
}

}  // namespace

std::optional<TCodePage> ParseCodePage(std::string_view Name) {
  const std::string S = Fold(Name);
  if (S == "utf8" || S == "unicode11utf8" || S == "utf8bom") return TCodePage::Utf8;
  if (S == "utf16be" || S == "unicodefffe" || S == "ucs2be") return TCodePage::Utf16BE;
  if (S == "utf16" || S == "utf16le" || S == "unicode" || S == "ucs2" || S == "ucs2le")
    return TCodePage::Utf16LE;
  if (IsGbkName(S)) return TCodePage::Gbk;
  if (IsBig5Name(S)) return TCodePage::Big5;
  if (IsSingleByteName(S)) return TCodePage::Single;
  return std::nullopt;
}

std::string AcceptedCodePageNames() {
  return "GB2312, GBK, GB18030, Big5, Big5-HKSCS, UTF-8, UTF-16, UTF-16LE, UTF-16BE, UCS-2, "
         "Unicode, ISO-8859-x, windows-125x, KOI8-x, US-ASCII, Latin1 (ASCII case ignored)";
}

const char* CodePageName(TCodePage Page) {
  switch (Page) {
    case TCodePage::Utf8:
      return "UTF-8";
    case TCodePage::Gbk:
      return "GB2312";
    case TCodePage::Big5:
      return "Big5";
    case TCodePage::Single:
      return "ISO-8859-1";
    case TCodePage::Utf16LE:
      return "UTF-16";
    case TCodePage::Utf16BE:
      return "UTF-16BE";
  }
  return "GB2312";
}

}  // namespace larkspan
