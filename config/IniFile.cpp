#include "config/IniFile.h"

#include <cerrno>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

constexpr size_t MaxValueLen = 2047;

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string Trim(const std::string& S) {
  size_t B = 0, E = S.size();
  while (B < E && IsBlank(S[B])) ++B;
  while (E > B && IsBlank(S[E - 1])) --E;
  return S.substr(B, E - B);
}

// The section name of a header line "[Name]", or false.
bool HeaderName(const std::string& Line, std::string& Name) {
  const std::string T = Trim(Line);
  if (T.size() < 2 || T.front() != '[') return false;
  const size_t Close = T.find(']');
  if (Close == std::string::npos) return false;
  Name = Trim(T.substr(1, Close - 1));
  return true;
}

}  // namespace

bool ParseIniInteger(const std::string& Text, long long& Value) {
  size_t I = 0;
  while (I < Text.size() && IsBlank(Text[I])) ++I;
  bool Neg = false;
  if (I < Text.size() && (Text[I] == '+' || Text[I] == '-')) Neg = Text[I++] == '-';
  int Base = 10;
  if (I < Text.size() && (Text[I] == '$' || Text[I] == 'x' || Text[I] == 'X')) {
    Base = 16, ++I;
  } else if (I + 1 < Text.size() && Text[I] == '0' && (Text[I + 1] == 'x' || Text[I + 1] == 'X')) {
    Base = 16, I += 2;
  }
  if (I >= Text.size()) return false;
  unsigned long long V = 0;
  for (; I < Text.size(); ++I) {
    const int D = HexDigitValue(Text[I]);
    if (D < 0 || D >= Base) return false;
    // Saturate instead of wrapping: only zero or non-zero matters, and a huge
    // number must not wrap around to zero.
    V = V < (1ull << 58) ? V * unsigned(Base) + unsigned(D) : (1ull << 58);
  }
  Value = Neg ? -static_cast<long long>(V) : static_cast<long long>(V);
  return true;
}

TIniFile::TIniFile(std::string FileName) : Name(std::move(FileName)) {
  std::string Data;
  try {
    Data = ReadFileText(Name);
  } catch (const Exception&) {
    return;  // a missing or unreadable file reads as empty
  }
  size_t Start = 0;
  while (Start < Data.size()) {
    size_t End = Data.find_first_of("\r\n", Start);
    if (End == std::string::npos) {
      Lines.push_back(Data.substr(Start));
      break;
    }
    Lines.push_back(Data.substr(Start, End - Start));
    Start = End + ((Data[End] == '\r' && End + 1 < Data.size() && Data[End + 1] == '\n') ? 2 : 1);
  }
}

int TIniFile::FindSection(const std::string& Section) const {
  std::string H;
  for (size_t I = 0; I < Lines.size(); ++I)
    if (HeaderName(Lines[I], H) && SameText(H, Section)) return int(I);
  return -1;
}

int TIniFile::SectionEnd(int SecLine) const {
  std::string H;
  for (size_t I = size_t(SecLine) + 1; I < Lines.size(); ++I)
    if (HeaderName(Lines[I], H)) return int(I);
  return int(Lines.size());
}

int TIniFile::FindKey(int SecLine, const std::string& Key) const {
  const int End = SectionEnd(SecLine);
  for (int I = SecLine + 1; I < End; ++I) {
    const std::string& L = Lines[size_t(I)];
    const size_t Eq = L.find('=');
    if (Eq == std::string::npos) continue;
    if (SameText(Trim(L.substr(0, Eq)), Key)) return I;
  }
  return -1;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
  const int Sec = FindSection(Section);
  if (Sec < 0) return Default;
  const int K = FindKey(Sec, Key);
  if (K < 0) return Default;
  const std::string& L = Lines[size_t(K)];
  std::string V = Trim(L.substr(L.find('=') + 1));
  if (V.size() >= 2 && (V.front() == '"' || V.front() == '\'') && V.back() == V.front())
    V = V.substr(1, V.size() - 2);
  if (V.size() > MaxValueLen) V.resize(MaxValueLen);
  return V;
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Key, bool Default) const {
  long long V = 0;
  if (!ParseIniInteger(ReadString(Section, Key, ""), V)) return Default;
  return V != 0;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
  const std::string Line = Key + "=" + Value;
  int Sec = FindSection(Section);
  if (Sec < 0) {
    Lines.push_back("[" + Section + "]");
    Lines.push_back(Line);
    return;
  }
  const int K = FindKey(Sec, Key);
  if (K >= 0) {
    Lines[size_t(K)] = Line;
    return;
  }
  // After the section's last non-blank line, so a blank separator line
  // before the next section stays where it is.
  int At = SectionEnd(Sec);
  while (At > Sec + 1 && Trim(Lines[size_t(At - 1)]).empty()) --At;
  Lines.insert(Lines.begin() + At, Line);
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Key, bool Value) {
  WriteString(Section, Key, Value ? "1" : "0");
}

void TIniFile::UpdateFile() const {
  std::string Data;
  for (const std::string& L : Lines) Data += L + "\r\n";
  try {
    WriteFileAtomic(Name, Data);
  } catch (const Exception&) {
    throw Exception("Unable to write to " + Name);
  }
}

}  // namespace larkspan
