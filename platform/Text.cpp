#include "platform/Text.h"

#include <algorithm>
#include <cstdio>

namespace larkspan {

char UpCaseAscii(char C) { return (C >= 'a' && C <= 'z') ? char(C - 'a' + 'A') : C; }

std::string UpperCaseAscii(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = UpCaseAscii(C);
  return R;
}

std::string LowerCaseAscii(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = LoCaseAscii(C);
  return R;
}

int CompareText(std::string_view A, std::string_view B) {
  const size_t N = A.size() < B.size() ? A.size() : B.size();
  for (size_t I = 0; I < N; ++I) {
    const unsigned char X = static_cast<unsigned char>(UpCaseAscii(A[I]));
    const unsigned char Y = static_cast<unsigned char>(UpCaseAscii(B[I]));
    if (X != Y) return X < Y ? -1 : 1;
  }
  if (A.size() == B.size()) return 0;
  return A.size() < B.size() ? -1 : 1;
}

bool SameText(std::string_view A, std::string_view B) {
  return A.size() == B.size() && CompareText(A, B) == 0;
}

bool StartsText(std::string_view Prefix, std::string_view S) {
  return S.size() >= Prefix.size() && SameText(S.substr(0, Prefix.size()), Prefix);
}

bool EndsText(std::string_view Suffix, std::string_view S) {
  return S.size() >= Suffix.size() && SameText(S.substr(S.size() - Suffix.size()), Suffix);
}

size_t FindText(std::string_view Haystack, std::string_view Needle, size_t From) {
  if (Needle.empty()) return From <= Haystack.size() ? From : std::string_view::npos;
  if (Haystack.size() < Needle.size()) return std::string_view::npos;
  const char First = UpCaseAscii(Needle[0]);
  for (size_t I = From; I + Needle.size() <= Haystack.size(); ++I) {
    if (UpCaseAscii(Haystack[I]) != First) continue;
    if (SameText(Haystack.substr(I, Needle.size()), Needle)) return I;
  }
  return std::string_view::npos;
}

std::string ExtractFileName(std::string_view Path) {
  const size_t P = Path.rfind(PathDelim);
  return std::string(P == std::string_view::npos ? Path : Path.substr(P + 1));
}

std::string ExtractFilePath(std::string_view Path) {
  const size_t P = Path.rfind(PathDelim);
  return P == std::string_view::npos ? std::string() : std::string(Path.substr(0, P + 1));
}

std::string ExtractFileExt(std::string_view Path) {
  const std::string Name = ExtractFileName(Path);
  const size_t P = Name.rfind('.');
  return P == std::string::npos ? std::string() : Name.substr(P);
}

std::string IncludeTrailingDelimiter(std::string_view Folder) {
  std::string R(Folder);
  if (R.empty() || R.back() != PathDelim) R += PathDelim;
  return R;
}

std::string ExcludeTrailingDelimiter(std::string_view Folder) {
  std::string R(Folder);
  if (!R.empty() && R.back() == PathDelim) R.pop_back();
  return R;
}

bool IsPathWithin(std::string_view Path, std::string_view Folder) {
  while (Folder.size() > 1 && Folder.back() == PathDelim) Folder.remove_suffix(1);
  while (Path.size() > 1 && Path.back() == PathDelim) Path.remove_suffix(1);
  if (Path.compare(0, Folder.size(), Folder) != 0 || Path.size() < Folder.size()) return false;
  return Path.size() == Folder.size() || Folder == "/" || Path[Folder.size()] == PathDelim;
}

size_t Utf8SequenceLength(std::string_view Text, size_t I) {
  const auto At = [&](size_t K) { return static_cast<unsigned char>(Text[K]); };
  const unsigned char C = At(I);
  if (C < 0x80) return 1;
  size_t Len;
  unsigned char Lo = 0x80, Hi = 0xBF;  // allowed range of the second byte
  if (C >= 0xC2 && C <= 0xDF) {
    Len = 2;
  } else if (C >= 0xE0 && C <= 0xEF) {
    Len = 3;
    if (C == 0xE0) Lo = 0xA0;
    if (C == 0xED) Hi = 0x9F;  // no surrogates
  } else if (C >= 0xF0 && C <= 0xF4) {
    Len = 4;
    if (C == 0xF0) Lo = 0x90;
    if (C == 0xF4) Hi = 0x8F;
  } else {
    return 0;
  }
  if (I + Len > Text.size()) return 0;
  if (At(I + 1) < Lo || At(I + 1) > Hi) return 0;
  for (size_t K = 2; K < Len; ++K)
    if ((At(I + K) & 0xC0) != 0x80) return 0;
  return Len;
}

bool IsValidUtf8(std::string_view Text) {
  for (size_t I = 0; I < Text.size();) {
    const size_t N = Utf8SequenceLength(Text, I);
    if (N == 0) return false;
    I += N;
  }
  return true;
}

std::string QuotedName(std::string_view Name) {
  auto IsControl = [](char C) { return static_cast<unsigned char>(C) < 0x20 || C == 0x7F; };
  if (std::none_of(Name.begin(), Name.end(), IsControl)) return std::string(Name);
  std::string R;
  bool Open = false;  // inside '...'
  for (const char C : Name) {
    if (IsControl(C)) {
      if (Open) R += '\'';
      Open = false;
      char Buf[8];
      if (C == '\n' || C == '\t' || C == '\r')
        std::snprintf(Buf, sizeof Buf, "\\%c", C == '\n' ? 'n' : C == '\t' ? 't' : 'r');
      else
        std::snprintf(Buf, sizeof Buf, "\\%03o", unsigned(static_cast<unsigned char>(C)));
      R += std::string("$'") + Buf + "'";
    } else if (C == '\'') {
      if (Open) R += '\'';
      Open = false;
      R += "\\'";
    } else {
      if (!Open) R += '\'';
      Open = true;
      R += C;
    }
  }
  if (Open) R += '\'';
  return R;
}

}  // namespace larkspan
