// Lexical pieces of the HTML parser: the lexeme checker that watches the byte
// stream for comment markers, the tag stack, the character classes and small
// byte-text helpers. Nothing here knows HTML beyond what each contract states.
#ifndef LARKSPAN_HTMLPARSER_CLHTMLLEXEM_H
#define LARKSPAN_HTMLPARSER_CLHTMLLEXEM_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace larkspan {

class TclHtmlTag;

// Character class of a byte, as the scanner and the attribute tokenizer test
// them: 0 ordinary (everything else, VT, FF and bytes >= 128 included),
// 1 quote (" and '), 2 equals sign, 3 white space (TAB, LF, CR, blank).
inline int CharClass(unsigned char C) {
  // Inline: the scanner and the tokenizer ask for every byte of every tag.
  switch (C) {
    case '"':
    case '\'':
      return 1;
    case '=':
      return 2;
    case '\t':
    case '\n':
    case '\r':
    case ' ':
      return 3;
    default:
      return 0;
  }
}

// A copy of Text without its TAB, CR and LF bytes; every other byte keeps its
// place and order.
std::string StripLineBreaks(std::string_view Text);

// ASCII-only case folding: A-Z become a-z, every other byte stays.
inline unsigned char LowerAscii(unsigned char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<unsigned char>(C + 32) : C;
}

// True when A and B are equal once the ASCII letters are folded.
inline bool HtmlSameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I) {
    if (LowerAscii(static_cast<unsigned char>(A[I])) !=
        LowerAscii(static_cast<unsigned char>(B[I])))
      return false;
  }
  return true;
}

// Watches a stream of bytes for opening and closing lexemes ("<!--", "-->").
// A match state is the 1-based position, within its lexeme, of the byte the
// lexeme expects next; length + 1 means it was completed by the last byte.
// A mismatching byte resets the state to 1 and is NOT retried as the first
// byte of the lexeme: "<<!--" does not complete "<!--", "--->" does not
// complete "-->".
class TclTagLexemChecker {
 public:
  using TLexem = std::pair<std::string, int>;  // lexeme and its match state

  std::vector<TLexem> StartLexems;
  std::vector<TLexem> CloseLexems;  // entry i belongs to StartLexems entry i
  int MatchedIndex = -1;

  // Appends an opening and its closing lexeme, each with match state 1.
  void AddLexemPair(const std::string& StartLexem, const std::string& CloseLexem);

  // Steps every lexeme with byte C. Answers 2 when a closing lexeme was
  // completed (closing ones win), 1 when an opening one was, else 0;
  // MatchedIndex names the completed lexeme, else -1.
  int CheckChar(unsigned char C);

  // One step of lexeme L with byte C: advance on a match, else back to 1.
  static void AdvanceMatch(unsigned char C, const std::string& L, int& State);

  // True when C occurs in some lexeme. Feeding any byte that occurs in none
  // puts every state back to 1 and answers 0, which lets the scanner skip a run
  // of such bytes with one call to ResetMatches.
  bool IsLexemByte(unsigned char C) const { return FLexemBytes[C]; }
  void ResetMatches();

 private:
  std::array<bool, 256> FLexemBytes{};
};

// A byte from 129 to 254 starts a double-byte (GBK) character together with
// the byte after it.
inline bool IsLeadByte(unsigned char C) { return C >= 129 && C <= 254; }

// Follows the character boundaries of the double-byte code page while a text
// is scanned from its first byte, so that "the character before the current
// byte" is known without looking back to the start. Start with the first byte
// current; call Step or Skip to move past bytes.
class TclCharBoundary {
 public:
  // True when the current byte starts a character.
  bool CurrentIsStart() const { return FCurIsStart; }
  // True when the byte before the current one starts a character; a
  // character that starts there and is no lead byte is then the whole
  // character before the current byte. False at the first byte.
  bool PreviousIsStart() const { return FPrevIsStart; }
  // Moves past the current byte C.
  void Step(unsigned char C) {
    FPrevIsStart = FCurIsStart;
    FCurIsStart = !(FCurIsStart && IsLeadByte(C));
  }
  // Moves past Bytes[Begin, End) at once (Begin being the current byte);
  // looks only at the run of lead bytes at its end.
  void Skip(const unsigned char* Bytes, size_t Begin, size_t End);

 private:
  bool FPrevIsStart = false;
  bool FCurIsStart = true;
};

// A stack of tags held by reference (never owned), bottom first.
class TclHtmlTagStack {
 public:
  bool IsEmpty() const { return FItems.empty(); }
  TclHtmlTag* Top() const { return FItems.empty() ? nullptr : FItems.back(); }
  TclHtmlTag* Push(TclHtmlTag* Tag) {
    FItems.push_back(Tag);
    return Tag;
  }
  // Removes and answers the top tag; nullptr and no change when empty.
  TclHtmlTag* Pop();
  int Count() const { return static_cast<int>(FItems.size()); }

 private:
  std::vector<TclHtmlTag*> FItems;
};

}  // namespace larkspan

#endif  // LARKSPAN_HTMLPARSER_CLHTMLLEXEM_H
