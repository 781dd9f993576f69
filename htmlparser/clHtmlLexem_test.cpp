#include "htmlparser/clHtmlLexem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace larkspan {
namespace {

std::string Answers(const std::string& Bytes) {
  TclTagLexemChecker Checker;
  Checker.AddLexemPair("<!--", "-->");
  std::string Out;
  for (unsigned char C : Bytes) Out += static_cast<char>('0' + Checker.CheckChar(C));
  return Out;
}

TEST(TclTagLexemCheckerTest, CommentMarkersDoNotRetryAMismatchingByte) {
  struct Case {
    const char* Bytes;
    const char* Expected;
  } Cases[] = {
      {"<!--", "0001"},
      {"<!-- -->", "00010002"},
      {"<!-->", "00012"},      // the closing lexeme already holds the two dashes
      {"<!---->", "0001000"},  // the third dash breaks the match for good
      {"<!--->", "000100"},
      {"--->", "0000"},
      {"a-->", "0002"},
      {"<<!--", "00000"},  // the second "<" is not tried as a first byte
      {"<!<!--", "000000"},
      {"-->-->", "002000"},  // the byte after a completed lexeme is not retried
  };
  for (const auto& C : Cases) EXPECT_EQ(Answers(C.Bytes), C.Expected) << C.Bytes;
}

TEST(TclTagLexemCheckerTest, MatchedIndexNamesTheCompletedPair) {
  TclTagLexemChecker Checker;
  Checker.AddLexemPair("<?", "?>");
  Checker.AddLexemPair("<!--", "-->");
  int Last = 0;
  for (unsigned char C : std::string("<!--")) Last = Checker.CheckChar(C);
  EXPECT_EQ(Last, 1);
  EXPECT_EQ(Checker.MatchedIndex, 1);
  EXPECT_EQ(Checker.CheckChar('x'), 0);
  EXPECT_EQ(Checker.MatchedIndex, -1);
  Checker.CheckChar('?');
  EXPECT_EQ(Checker.CheckChar('>'), 2);
  EXPECT_EQ(Checker.MatchedIndex, 0);
}

// The scanner skips runs of bytes that occur in no lexeme with ResetMatches;
// that must be the same as feeding them one by one.
TEST(TclTagLexemCheckerTest, ResetMatchesEqualsFeedingABytesOutsideTheLexemes) {
  std::mt19937 Random(7);
  const std::string Alphabet = "<!->x ";
  for (int Round = 0; Round < 2000; ++Round) {
    TclTagLexemChecker Fed, Reset;
    Fed.AddLexemPair("<!--", "-->");
    Reset.AddLexemPair("<!--", "-->");
    for (int I = 0; I < 12; ++I) {
      const unsigned char C = Alphabet[Random() % Alphabet.size()];
      if (!Fed.IsLexemByte(C)) {
        ASSERT_EQ(Fed.CheckChar(C), 0);
        Reset.ResetMatches();
      } else {
        ASSERT_EQ(Fed.CheckChar(C), Reset.CheckChar(C));
      }
      for (size_t L = 0; L < Fed.StartLexems.size(); ++L) {
        ASSERT_EQ(Fed.StartLexems[L].second, Reset.StartLexems[L].second);
        ASSERT_EQ(Fed.CloseLexems[L].second, Reset.CloseLexems[L].second);
      }
    }
  }
}

TEST(TclHtmlTagStackTest, PopOnEmptyAnswersNullAndChangesNothing) {
  TclHtmlTagStack Stack;
  EXPECT_TRUE(Stack.IsEmpty());
  EXPECT_EQ(Stack.Pop(), nullptr);
  EXPECT_EQ(Stack.Top(), nullptr);
  auto* A = reinterpret_cast<TclHtmlTag*>(0x10);  // never dereferenced
  auto* B = reinterpret_cast<TclHtmlTag*>(0x20);
  EXPECT_EQ(Stack.Push(A), A);
  EXPECT_EQ(Stack.Push(B), B);
  EXPECT_EQ(Stack.Top(), B);
  EXPECT_EQ(Stack.Pop(), B);
  EXPECT_EQ(Stack.Top(), A);
  EXPECT_EQ(Stack.Pop(), A);
  EXPECT_TRUE(Stack.IsEmpty());
}

TEST(CharClassTest, ClassesAndLineBreakFilter) {
  EXPECT_EQ(CharClass('"'), 1);
  EXPECT_EQ(CharClass('\''), 1);
  EXPECT_EQ(CharClass('='), 2);
  for (unsigned char C : {'\t', '\n', '\r', ' '}) EXPECT_EQ(CharClass(C), 3);
  for (unsigned char C : {'\v', '\f', 'a', '<', '>', '/', '\0', '\x81', '\xff'})
    EXPECT_EQ(CharClass(C), 0) << int(C);

  EXPECT_EQ(StripLineBreaks("\t\r\n\r\n"), "");
  EXPECT_EQ(StripLineBreaks("img  src=\"a b\"\v"), "img  src=\"a b\"\v");
  EXPECT_EQ(StripLineBreaks("img\r\nsrc=\ta"), "imgsrc=a");

  EXPECT_TRUE(HtmlSameText("TITLE", "title"));
  EXPECT_FALSE(HtmlSameText("title", "titl"));
  EXPECT_FALSE(HtmlSameText("\xC4", "\xE4"));  // only ASCII letters fold
}

}  // namespace
}  // namespace larkspan

namespace larkspan {
namespace {

// Character starts found the slow way: stepping from the first byte.
std::vector<bool> NaiveStarts(const std::string& Text) {
  std::vector<bool> Starts(Text.size() + 1, false);
  size_t I = 0;
  while (I < Text.size()) {
    Starts[I] = true;
    I += IsLeadByte(static_cast<unsigned char>(Text[I])) ? 2 : 1;
  }
  if (I == Text.size()) Starts[I] = true;
  return Starts;
}

TEST(TclCharBoundaryTest, StepsAndSkipsAgreeWithSteppingFromTheStart) {
  std::mt19937 Random(3);
  const std::string Alphabet = "a</>\x81\xfe\xff\x80";
  for (int Round = 0; Round < 5000; ++Round) {
    std::string Text(Random() % 24, ' ');
    for (char& C : Text) C = Alphabet[Random() % Alphabet.size()];
    const auto Starts = NaiveStarts(Text);
    const auto* Bytes = reinterpret_cast<const unsigned char*>(Text.data());
    TclCharBoundary Boundary;
    size_t K = 0;
    while (K < Text.size()) {
      ASSERT_EQ(Boundary.CurrentIsStart(), Starts[K]) << Round << " at " << K;
      if (K > 0) {
        ASSERT_EQ(Boundary.PreviousIsStart(), Starts[K - 1]) << Round << " at " << K;
      }
      const size_t Run = 1 + Random() % 5;
      const size_t End = std::min(Text.size(), K + Run);
      if (Random() % 2) {
        Boundary.Skip(Bytes, K, End);
      } else {
        for (size_t I = K; I < End; ++I) Boundary.Step(Bytes[I]);
      }
      K = End;
    }
  }
}

}  // namespace
}  // namespace larkspan
