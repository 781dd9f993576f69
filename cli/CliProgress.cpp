#include "cli/CliProgress.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/Text.h"

namespace larkspan {

namespace {

// Length of the UTF-8 sequence starting at Text[I] and its code point; a
// byte that starts no valid sequence is one character of one column.
size_t NextChar(const std::string& Text, size_t I, unsigned& Code) {
  const auto B = static_cast<unsigned char>(Text[I]);
  size_t Len = B < 0x80 ? 1 : (B >> 5) == 6 ? 2 : (B >> 4) == 14 ? 3 : (B >> 3) == 30 ? 4 : 0;
  if (Len == 0 || I + Len > Text.size()) {
    Code = B;
    return 1;
  }
  Code = Len == 1 ? B : Len == 2 ? B & 0x1F : Len == 3 ? B & 0x0F : B & 0x07;
  for (size_t K = 1; K < Len; ++K) {
    const auto C = static_cast<unsigned char>(Text[I + K]);
    if ((C >> 6) != 2) {
      Code = B;
      return 1;
    }
    Code = Code << 6 | (C & 0x3F);
  }
  return Len;
}

int CharColumns(unsigned Code) {
  const bool Wide = (Code >= 0x1100 && Code <= 0x115F) || (Code >= 0x2E80 && Code <= 0xA4CF) ||
                    (Code >= 0xAC00 && Code <= 0xD7A3) || (Code >= 0xF900 && Code <= 0xFAFF) ||
                    (Code >= 0xFE30 && Code <= 0xFE4F) || (Code >= 0xFF00 && Code <= 0xFF60) ||
                    (Code >= 0xFFE0 && Code <= 0xFFE6) || (Code >= 0x20000 && Code <= 0x3FFFD);
  return Wide ? 2 : 1;
}

// The end of Text that fits in Columns, whole characters only.
std::string TailFitting(const std::string& Text, int Columns) {
  std::vector<std::pair<size_t, int>> Chars;  // start, columns
  for (size_t I = 0; I < Text.size();) {
    unsigned Code = 0;
    const size_t Len = NextChar(Text, I, Code);
    Chars.emplace_back(I, CharColumns(Code));
    I += Len;
  }
  int Used = 0;
  size_t Start = Text.size();
  for (size_t K = Chars.size(); K-- > 0;) {
    if (Used + Chars[K].second > Columns) break;
    Used += Chars[K].second;
    Start = Chars[K].first;
  }
  return Text.substr(Start);
}

std::string Clock(double Seconds) {
  const long S = std::lround(Seconds);
  char Buf[32];
  if (S >= 3600)
    std::snprintf(Buf, sizeof Buf, "%ld:%02ld:%02ld", S / 3600, S / 60 % 60, S % 60);
  else
    std::snprintf(Buf, sizeof Buf, "%ld:%02ld", S / 60, S % 60);
  return Buf;
}

}  // namespace

int DisplayColumns(const std::string& Text) {
  int Columns = 0;
  for (size_t I = 0; I < Text.size();) {
    unsigned Code = 0;
    I += NextChar(Text, I, Code);
    Columns += CharColumns(Code);
  }
  return Columns;
}

double EstimateLeft(const TRunStatus& Status, double Elapsed) {
  double Done = Status.Percent / 100.0;
  if (Status.TotalCost > 0) Done = double(Status.DoneCost) / double(Status.TotalCost);
  if (Done < 0.03 || Elapsed < 1.0 || Done >= 1.0) return -1;
  return Elapsed * (1.0 - Done) / Done;
}

std::string ProgressLine(const TRunStatus& Status, double Elapsed, double Left, int Columns,
                         TReportLang Lang) {
  const bool Zh = Lang == TReportLang::Zh;
  const std::string Total = std::to_string(Status.TotalFiles);
  char Head[96];
  std::snprintf(Head, sizeof Head,
                Zh ? "[%*d/%s 个文件] 工作量 %3d%%" : "[%*d/%s files] work %3d%%",
                int(Total.size()), Status.DoneFiles, Total.c_str(), Status.Percent);
  std::string Times = "  " + Clock(Elapsed);
  if (Left >= 0) Times += Zh ? " 剩余约" + Clock(Left) : " ~" + Clock(Left) + " left";
  const std::string Name = QuotedName(Status.CurrentFile);
  const std::string Path = Name.empty() ? "" : "  " + Name;
  if (Columns <= 0) return Head + Times + Path;
  std::string Line = Head;
  if (DisplayColumns(Line) > Columns) return TailFitting(Line, Columns);
  if (DisplayColumns(Line + Times) <= Columns) Line += Times;
  const int Room = Columns - DisplayColumns(Line);
  if (Path.empty() || Room < 8) return Line;  // "  …" and a few characters at least
  if (DisplayColumns(Path) <= Room) return Line + Path;
  return Line + "  …" + TailFitting(Name, Room - 3);
}

}  // namespace larkspan
