#include "engine/uRunReport.h"

#include <cmath>
#include <cstdio>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {
std::string TrimControl(const std::string& S) {
  size_t B = 0, E = S.size();
  while (B < E && static_cast<unsigned char>(S[B]) <= 32) ++B;
  while (E > B && static_cast<unsigned char>(S[E - 1]) <= 32) --E;
  return S.substr(B, E - B);
}

std::string OneDecimal(double V, const char* Unit) {
  // std::round rounds half away from zero; printf alone would round the
  // binary value half to even (1.25 -> "1.2").
  const double Scaled = std::round(V * 10.0);
  char Buf[64];
  std::snprintf(Buf, sizeof Buf, "%.1f%s", Scaled / 10.0, Unit);
  return Buf;
}
}  // namespace

bool FoldersOverlap(const std::string& RootPath, const std::string& OutputPath) {
  const std::string R = TrimControl(RootPath);
  const std::string O = TrimControl(OutputPath);
  if (R.size() < O.size()) return SameText(R, O.substr(0, R.size()));
  return SameText(O, R.substr(0, O.size()));
}

bool FoldersConflict(const std::string& RootPath, const std::string& OutputPath) {
  if (RootPath.empty() || OutputPath.empty()) return true;
  const std::string R = ResolvePath(RootPath);
  const std::string O = ResolvePath(OutputPath);
  if (R.empty() || O.empty()) return true;
  return IsPathWithin(O, R) || IsPathWithin(R, O);
}

std::string FormatSavedSize(int64_t Bytes) {
  const double M = double(Bytes) / (1024.0 * 1024.0);
  if (M > 1.0) return OneDecimal(M, "MB");
  return OneDecimal(double(Bytes) / 1024.0, "KB");
}

std::string SuccessReport(bool IsReducePic, int DuplicateCount, int64_t SavedBytes) {
  const std::string Size = FormatSavedSize(SavedBytes);
  if (IsReducePic)
    return "任务已完成：共" + std::to_string(DuplicateCount) + "个文件出现重复，为您省下" + Size +
           "的空间！";
  return "任务已完成：为您省下" + Size + "的空间！";
}

std::string SkippedReport(size_t SkippedCount) {
  if (SkippedCount == 0) return std::string();
  return "有 " + std::to_string(SkippedCount) + " 个项目未读取（特殊文件、失效或循环的链接）";
}

std::string FailureReport(const std::string& ErrorText) { return "任务执行失败：" + ErrorText; }

}  // namespace larkspan
