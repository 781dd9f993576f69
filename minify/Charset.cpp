#include "minify/Charset.h"

#include <cstdint>
#include <cstring>

namespace larkspan::minify {

namespace {

// Length of the valid UTF-8 sequence at I, or 0 when the bytes there are not
// one (overlong forms, surrogates and values above U+10FFFF included).
size_t Utf8SequenceLength(std::string_view B, size_t I) {
  const auto* P = reinterpret_cast<const unsigned char*>(B.data());
  const size_t Left = B.size() - I;
  const unsigned char C = P[I];
  if (C < 0x80) return 1;
  auto Cont = [&](size_t K) { return (P[I + K] & 0xC0) == 0x80; };
  if (C >= 0xC2 && C <= 0xDF) return (Left >= 2 && Cont(1)) ? 2 : 0;
  if (C >= 0xE0 && C <= 0xEF) {
    if (Left < 3 || !Cont(1) || !Cont(2)) return 0;
    if (C == 0xE0 && P[I + 1] < 0xA0) return 0;   // overlong
    if (C == 0xED && P[I + 1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (C >= 0xF0 && C <= 0xF4) {
    if (Left < 4 || !Cont(1) || !Cont(2) || !Cont(3)) return 0;
    if (C == 0xF0 && P[I + 1] < 0x90) return 0;   // overlong
    if (C == 0xF4 && P[I + 1] >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

void AppendUtf8(std::string& Out, uint32_t Cp) {
  if (Cp < 0x80) {
    Out += static_cast<char>(Cp);
  } else if (Cp < 0x800) {
    Out += static_cast<char>(0xC0 | (Cp >> 6));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else if (Cp < 0x10000) {
    Out += static_cast<char>(0xE0 | (Cp >> 12));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (Cp >> 18));
    Out += static_cast<char>(0x80 | ((Cp >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  }
}

void AppendUnit(std::string& Out, uint32_t U, bool BigEndian) {
  const char Hi = static_cast<char>(U >> 8), Lo = static_cast<char>(U & 0xFF);
  if (BigEndian) {
    Out += Hi;
    Out += Lo;
  } else {
    Out += Lo;
    Out += Hi;
  }
}

// A UTF-16 file without a byte-order mark: its zero bytes sit on one side of
// every pair while the text is mostly ASCII. 0 when neither side shows it.
int GuessUtf16Side(std::string_view B) {
  if (B.size() < 2 || B.size() % 2 != 0) return 0;
  size_t EvenZeros = 0, OddZeros = 0;
  const size_t N = B.size() < 4096 ? B.size() : 4096;
  for (size_t I = 0; I + 1 < N; I += 2) {
    EvenZeros += B[I] == 0;
    OddZeros += B[I + 1] == 0;
  }
  const size_t Pairs = N / 2;
  if (OddZeros * 4 >= Pairs && EvenZeros * 16 < Pairs) return 1;  // LE: "a\0"
  if (EvenZeros * 4 >= Pairs && OddZeros * 16 < Pairs) return 2;  // BE: "\0a"
  return 0;
}

}  // namespace

TCodePage DetectCodePage(std::string_view Bytes, TCodePage Setting) {
  const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
  if (Bytes.size() >= 3 && P[0] == 0xEF && P[1] == 0xBB && P[2] == 0xBF) return TCodePage::Utf8;
  if (Bytes.size() >= 2 && P[0] == 0xFF && P[1] == 0xFE) return TCodePage::Utf16LE;
  if (Bytes.size() >= 2 && P[0] == 0xFE && P[1] == 0xFF) return TCodePage::Utf16BE;
  // Without a mark, zero bytes on one side of every pair say UTF-16 whatever
  // the setting: read byte by byte, the low bytes of its characters would
  // pass for blanks and quotes.
  if (!Bytes.empty() && std::memchr(Bytes.data(), 0, Bytes.size()) != nullptr) {
    const int Side = GuessUtf16Side(Bytes);
    if (Side == 1) return TCodePage::Utf16LE;
    if (Side == 2) return TCodePage::Utf16BE;
  }
  const bool Utf16Setting = Setting == TCodePage::Utf16LE || Setting == TCodePage::Utf16BE;
  bool NonAscii = false;
  for (size_t I = 0; I < Bytes.size();) {
    if (P[I] < 0x80) {
      ++I;
      continue;
    }
    const size_t L = Utf8SequenceLength(Bytes, I);
    if (L == 0) return Setting;
    NonAscii = true;
    I += L;
  }
  // An ASCII file said to be UTF-16 is what it looks like.
  return (NonAscii || Utf16Setting) ? TCodePage::Utf8 : Setting;
}

size_t CharLength(TCodePage Page, std::string_view Bytes, size_t I) {
  const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
  const unsigned char C = P[I];
  if (C < 0x80) return 1;
  const size_t Left = Bytes.size() - I;
  switch (Page) {
    case TCodePage::Gbk: {
      if (C == 0x80 || C == 0xFF || Left < 2) return 1;
      const unsigned char T = P[I + 1];
      if (T >= 0x30 && T <= 0x39) {
        if (Left >= 4 && P[I + 2] >= 0x81 && P[I + 2] <= 0xFE && P[I + 3] >= 0x30 &&
            P[I + 3] <= 0x39)
          return 4;
        return 1;
      }
      return (T >= 0x40 && T != 0x7F && T != 0xFF) ? 2 : 1;
    }
    case TCodePage::Big5: {
      if (C == 0x80 || C == 0xFF || Left < 2) return 1;
      const unsigned char T = P[I + 1];
      return ((T >= 0x40 && T <= 0x7E) || (T >= 0xA1 && T <= 0xFE)) ? 2 : 1;
    }
    case TCodePage::Utf8: {
      const size_t L = Utf8SequenceLength(Bytes, I);
      return L == 0 ? 1 : L;
    }
    default:
      return 1;
  }
}

bool IsValidUtf8(std::string_view Bytes) {
  for (size_t I = 0; I < Bytes.size();) {
    const size_t L = Utf8SequenceLength(Bytes, I);
    if (L == 0) return false;
    I += L;
  }
  return true;
}

bool Utf16ToUtf8(std::string_view Bytes, bool BigEndian, std::string& Out) {
  Out.clear();
  if (Bytes.size() % 2 != 0) return false;
  const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
  const size_t Units = Bytes.size() / 2;
  auto Unit = [&](size_t K) -> uint32_t {
    return BigEndian ? (P[2 * K] << 8) | P[2 * K + 1] : (P[2 * K + 1] << 8) | P[2 * K];
  };
  Out.reserve(Bytes.size());
  size_t K = (Units > 0 && Unit(0) == 0xFEFF) ? 1 : 0;
  for (; K < Units; ++K) {
    uint32_t U = Unit(K);
    if (U >= 0xD800 && U <= 0xDBFF) {
      if (K + 1 >= Units) return false;
      const uint32_t L = Unit(K + 1);
      if (L < 0xDC00 || L > 0xDFFF) return false;
      U = 0x10000 + ((U - 0xD800) << 10) + (L - 0xDC00);
      ++K;
    } else if (U >= 0xDC00 && U <= 0xDFFF) {
      return false;
    }
    AppendUtf8(Out, U);
  }
  return true;
}

std::string Utf8ToUtf16(std::string_view Utf8, bool BigEndian, bool WithBom) {
  std::string Out;
  Out.reserve(Utf8.size() * 2 + 2);
  if (WithBom) AppendUnit(Out, 0xFEFF, BigEndian);
  const auto* P = reinterpret_cast<const unsigned char*>(Utf8.data());
  for (size_t I = 0; I < Utf8.size();) {
    const size_t L = Utf8SequenceLength(Utf8, I);
    uint32_t Cp;
    if (L == 0) {
      Cp = 0xFFFD;
      ++I;
    } else {
      Cp = L == 1 ? P[I] : L == 2 ? P[I] & 0x1F : L == 3 ? P[I] & 0x0F : P[I] & 0x07;
      for (size_t K = 1; K < L; ++K) Cp = (Cp << 6) | (P[I + K] & 0x3F);
      I += L;
    }
    if (Cp >= 0x10000) {
      Cp -= 0x10000;
      AppendUnit(Out, 0xD800 + (Cp >> 10), BigEndian);
      AppendUnit(Out, 0xDC00 + (Cp & 0x3FF), BigEndian);
    } else {
      AppendUnit(Out, Cp, BigEndian);
    }
  }
  return Out;
}

size_t Utf16LengthOfUtf8(std::string_view Utf8) {
  size_t N = 0;
  for (size_t I = 0; I < Utf8.size();) {
    const size_t L = Utf8SequenceLength(Utf8, I);
    N += L == 4 ? 2 : 1;
    I += L == 0 ? 1 : L;
  }
  return N;
}

}  // namespace larkspan::minify
