// The script minifier: one pass over the bytes that copies every token as it
// stands and decides, between two tokens, whether nothing, a space or a line
// break must stay. Nothing is parsed into a tree; what a `/`, a `}` or a line
// break means is told from the tokens before it and from a stack of the
// brackets still open (block, object literal, function or class body,
// template substitution, statement or expression parentheses).
#include <string>
#include <vector>

#include "minify/JsParser.h"
#include "minify/JsPrinter.h"
#include "minify/JsRename.h"
#include "minify/JsScope.h"
#include "minify/JsSimplify.h"
#include "minify/JsTokens.h"
#include "minify/Minify.h"

namespace larkspan::minify {
namespace {

using namespace jskey;
using TTok = TJsTok;

// Codes compare as integers: Pc("=>") is the code of "=>".
constexpr uint64_t Pc(const char* S) { return JsPunct(S); }

// What an open bracket is. FuncStat / FuncExpr stand from `function` or
// `class` up to the end of its body.
enum class TCtx {
  Block,      // statement block, function body, method body
  Object,     // object literal or any other brace in an expression
  Arrow,      // arrow function body: a statement inside, an expression after
  ClassBody,  // class body: a line break after any name may end a field
  Template,   // ${ ... } of a template literal
  ParenStat,  // ( ) of if, for, while, with
  ParenExpr,  // any other ( )
  FuncStat,
  FuncExpr,
};

struct TFrame {
  TCtx Kind;
  bool Generator = false;  // FuncStat / FuncExpr: function*; Block: a *method's body
  bool Method = false;     // Block: the body of a method
  bool IsClass = false;    // FuncStat / FuncExpr: opened by `class`
  int Ternary = 0;         // `?` seen here whose `:` is still to come
  size_t Begin = 0;        // Template: where its template literal starts
};

bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }

class TJsMinifier {
 public:
  TJsMinifier(std::string_view Text, TCodePage Page, bool Module)
      : T(Text), Module(Module), Lexer(Text, Page, Module) {
    Stack.push_back({TCtx::Block});
  }

  TMinifyResult Run();

 private:
  using TToken = TJsToken;

  std::string_view T;
  bool Module;
  TJsLexer Lexer;
  std::string Out;
  std::vector<TFrame> Stack;
  std::vector<TJsKept> Kept;  // of the gap before the next token

  // The previous token and what follows from it.
  bool AnyToken = false;
  TTok PrevKind = TTok::Punct;
  std::string_view Prev;       // its text
  uint64_t PrevCode = 0;       // its code
  uint64_t PrevPrevCode = 0;   // the code of the token before it
  bool PrevIsTernary = false;  // Prev is the `:` of a conditional expression
  bool StarMethod = false;     // a `*` that starts a generator method was seen
  bool ExprAllowed = true;     // a `/` here starts a regular expression
  bool PrevCanEnd = false;     // a statement may end right after Prev
  bool SawNewline = false;     // a line terminator since Prev (also inside comments)
  bool ForceNewline = false;   // a line comment or hashbang was copied: a break must follow
  bool SepWritten = false;     // a kept comment or U+FEFF already separates Prev from what follows

  void CopyKept(const TJsKept& K);
  void WriteSeparator(const TToken& Tok);
  void Advance(const TToken& Tok);
  // Advance's share for names (keywords open function and class frames).
  void AdvanceName(const TToken& Tok, bool WasExprAllowed, bool& CanEnd);
  // Advance's share for brackets and the other punctuators.
  void AdvancePunct(const TToken& Tok, bool WasExprAllowed, bool& CanEnd, bool& Ternary);
  void CloseBrace(bool& CanEnd);

  bool InGenerator() const;
  // Before: ExprAllowed as it stood after the token before the brace.
  bool BraceIsBlock(bool Before) const;
};

void TJsMinifier::CopyKept(const TJsKept& K) {
  if (!K.Comment) {
    Out.append(T.substr(K.Begin, K.End - K.Begin));  // U+FEFF stays where it is
    SepWritten = true;
    return;
  }
  if (AnyToken && K.NewlineBefore && !Out.empty() && Out.back() != '\n') Out += '\n';
  if (!Out.empty() && Out.back() == '/') Out += ' ';
  if (!Out.empty() && Out.back() == '<') Out += ' ';  // never </ in an inline script
  Out.append(T.substr(K.Begin, K.End - K.Begin));
  if (K.Line) ForceNewline = true;
  SepWritten = true;
}

// Whether a `{` that follows Prev opens a statement block (or a body) rather
// than an expression.
bool TJsMinifier::BraceIsBlock(bool Before) const {
  const TFrame& Top = Stack.back();
  if (Top.Kind == TCtx::FuncStat || Top.Kind == TCtx::FuncExpr) return true;
  const bool StatementParent =
      Top.Kind == TCtx::Block || Top.Kind == TCtx::Arrow || Top.Kind == TCtx::ClassBody;
  if (!AnyToken) return true;
  if (PrevKind == TTok::Punct) {
    if (PrevCode == Pc(":")) return !PrevIsTernary && StatementParent;
    if (PrevCode == Pc(";") || PrevCode == Pc(")") || PrevCode == Pc("=>")) return true;
    if (PrevCode == Pc("{")) return Top.Kind == TCtx::Block || Top.Kind == TCtx::Arrow;
    if (PrevCode == Pc("}")) return true;
    return !Before;
  }
  if (PrevKind == TTok::Name) {
    if (PrevCode == kElse || PrevCode == kDo || PrevCode == kTry || PrevCode == kFinally)
      return true;
    if (PrevCode == kReturn || PrevCode == kYield) return SawNewline;
    // After a plain name a brace on the next line can only start a block
    // (automatic semicolon), except for the pattern of `let {a} = b`.
    if (PrevCode == 0 && !Before && Prev != "let") return SawNewline;
    return false;
  }
  return !Before;
}

// Whether a member name of an object or class may follow the token of Code
// and Kind (get, set, static and the like are plain names).
bool StartsMember(uint64_t Code, TTok Kind) {
  return Code == Pc("{") || Code == Pc(",") || Code == Pc(";") || Code == Pc("}") ||
         Code == Pc("*") || (Kind == TTok::Name && Code == 0);
}

bool TJsMinifier::InGenerator() const {
  for (size_t I = Stack.size(); I-- > 0;) {
    const TFrame& F = Stack[I];
    if (F.Kind == TCtx::ClassBody) return true;  // class code is strict: yield is a keyword
    if (F.Kind == TCtx::Block && F.Method) return F.Generator;
    if ((F.Kind == TCtx::FuncStat || F.Kind == TCtx::FuncExpr) && !F.IsClass) return F.Generator;
  }
  return Module;
}

// Keywords after which a statement cannot end: a line break after them never
// matters.
bool CannotEndAfter(uint64_t Code) {
  switch (Code) {
    case kElse:
    case kDo:
    case kTypeof:
    case kNew:
    case kDelete:
    case kVoid:
    case kIn:
    case kInstanceof:
    case kCase:
    case kVar:
    case kConst:
    case kFunction:
    case kClass:
    case kExtends:
    case kTry:
    case kFinally:
    case kIf:
    case kFor:
    case kWhile:
    case kWith:
    case kSwitch:
    case kCatch:
    case kImport:
    case kExport:
    case kDefault:
      return true;
    default:
      return false;
  }
}

// Keywords after which an expression may start (a `/` is a regular expression).
bool BeforeExpression(uint64_t Code) {
  switch (Code) {
    case kReturn:
    case kCase:
    case kDelete:
    case kDo:
    case kElse:
    case kIn:
    case kInstanceof:
    case kNew:
    case kTypeof:
    case kVoid:
    case kThrow:
    case kExtends:
    case kDefault:
    case kAwait:
      return true;
    default:
      return false;
  }
}

// Punctuators that cannot begin a statement, so a line break before them can
// never end one.
bool CannotStart(uint64_t Code) {
  // "/=" may be the start of a regular expression.
  if (IsJsAssignOp(Code) && Code != Pc("/=")) return true;
  switch (Code) {
    case Pc(")"):
    case Pc("]"):
    case Pc("}"):
    case Pc(","):
    case Pc(";"):
    case Pc(":"):
    case Pc("."):
    case Pc("?."):
    case Pc("?"):
    case Pc("=="):
    case Pc("==="):
    case Pc("!="):
    case Pc("!=="):
    case Pc("<"):
    case Pc(">"):
    case Pc("<="):
    case Pc(">="):
    case Pc("<<"):
    case Pc(">>"):
    case Pc(">>>"):
    case Pc("&"):
    case Pc("|"):
    case Pc("^"):
    case Pc("&&"):
    case Pc("||"):
    case Pc("??"):
    case Pc("**"):
    case Pc("%"):
      return true;
    default:
      return false;
  }
}

void TJsMinifier::WriteSeparator(const TToken& Tok) {
  const std::string_view Cur = T.substr(Tok.Begin, Tok.End - Tok.Begin);
  if (!AnyToken) {
    if (!Out.empty() && (ForceNewline || SawNewline) && Out.back() != '\n') Out += '\n';
    ForceNewline = false;
    SepWritten = false;
    return;
  }
  const bool CurCannotStart = (Tok.Kind == TTok::Punct && CannotStart(Tok.Code)) ||
                              (Tok.Kind == TTok::Template && Cur[0] == '}');
  const bool KeepBreak = SawNewline && PrevCanEnd && !CurCannotStart;
  if (ForceNewline || KeepBreak || (SawNewline && SepWritten)) {
    if (Out.back() != '\n') Out += '\n';
    ForceNewline = false;
    SepWritten = false;
    return;
  }
  if (SepWritten) {
    SepWritten = false;
    // A kept comment sits between; only a `/` right before it could merge.
    return;
  }
  const unsigned char Last = Out.back();
  const unsigned char First = Cur[0];
  bool Space = false;
  const bool PrevEndsWord =
      PrevKind == TTok::Name || PrevKind == TTok::Private || PrevKind == TTok::Num;
  const bool CurStartsWord =
      Tok.Kind == TTok::Name || Tok.Kind == TTok::Private || Tok.Kind == TTok::Num;
  if (PrevEndsWord && CurStartsWord) Space = true;
  if (PrevKind == TTok::Regex && (CurStartsWord || IsJsWordByte(First))) Space = true;
  if (PrevKind == TTok::Num && First == '.') {
    bool AllDigits = true;
    for (unsigned char C : Prev)
      if (!IsDigit(C) && C != '_') AllDigits = false;
    if (AllDigits) Space = true;
  }
  if (Last == '/' && (First == '/' || First == '*')) Space = true;
  if (Last == '<' && (First == '!' || First == '/')) Space = true;
  if (Last == '-' && First == '>') Space = true;
  // "# x" is no private name: joined, a script that must not parse would.
  if (Last == '#' && IsJsWordByte(First)) Space = true;
  if (PrevKind == TTok::Punct && !Space) {
    char Buf[8];
    size_t N = 0;
    for (char C : Prev) Buf[N++] = C;
    for (size_t K = 0; K < Cur.size() && N < sizeof Buf; ++K) Buf[N++] = Cur[K];
    if (JsPunctLength(std::string_view(Buf, N)) != Prev.size()) Space = true;
    if (Last == '.' && (First == '.' || IsDigit(First)) && PrevCode != Pc("...")) Space = true;
  }
  if (Space) Out += ' ';
}

// After every token: the bracket stack and the expression flags it leaves.
void TJsMinifier::Advance(const TToken& Tok) {
  const std::string_view Cur = T.substr(Tok.Begin, Tok.End - Tok.Begin);
  const bool WasExprAllowed = ExprAllowed;
  bool CanEnd = true;
  bool Ternary = false;
  switch (Tok.Kind) {
    case TTok::Num:
    case TTok::Str:
    case TTok::Regex:
    case TTok::Private:
      ExprAllowed = false;
      break;
    case TTok::Template: {
      // From "`" or the "}" of a substitution, to "`" or "${".
      size_t Begin = Tok.Begin;
      if (Cur[0] == '}') {
        Begin = Stack.back().Begin;
        Stack.pop_back();
      }
      ExprAllowed = Cur.back() == '{';
      if (ExprAllowed) {
        TFrame F{TCtx::Template};
        F.Begin = Begin;
        Stack.push_back(F);
      }
      CanEnd = !ExprAllowed;
      break;
    }
    case TTok::Name:
      AdvanceName(Tok, WasExprAllowed, CanEnd);
      break;
    case TTok::Punct:
      AdvancePunct(Tok, WasExprAllowed, CanEnd, Ternary);
      break;
  }
  PrevPrevCode = PrevCode;
  PrevCode = Tok.Code;
  Prev = Cur;
  PrevKind = Tok.Kind;
  PrevIsTernary = Ternary;
  PrevCanEnd = CanEnd;
  AnyToken = true;
  SawNewline = false;
}

void TJsMinifier::AdvanceName(const TToken& Tok, bool WasExprAllowed, bool& CanEnd) {
  const uint64_t Code = Tok.Code;
  ExprAllowed = false;
  if (Code == 0) return;  // a plain name, or a property name
  if (BeforeExpression(Code)) ExprAllowed = true;
  if (Code == kYield && InGenerator()) ExprAllowed = true;
  if (Code == kOf && !WasExprAllowed) ExprAllowed = true;
  if (Stack.back().Kind != TCtx::ClassBody && CannotEndAfter(Code)) CanEnd = false;
  if (Code != kFunction && Code != kClass) return;
  // A property or method named so is not a function.
  size_t I = Tok.End;
  while (I < T.size() && (T[I] == ' ' || T[I] == '\t')) ++I;
  const char Next = I < T.size() ? T[I] : ';';
  if (Next == ':' || Next == ',' || Next == '}' || Next == '=' || Next == ';' ||
      (Next == '(' && (Stack.back().Kind == TCtx::Object || Stack.back().Kind == TCtx::ClassBody) &&
       (StartsMember(PrevCode, PrevKind) ||
        (PrevCode == kAsync && StartsMember(PrevPrevCode, TTok::Name)))))
    return;
  // Expression or declaration, told from the token before (before `async`
  // for an async function).
  uint64_t Before = PrevCode;
  bool BeforeExprAllowed = WasExprAllowed;
  bool BeforeTernary = PrevIsTernary;
  if (PrevCode == kAsync) {
    Before = PrevPrevCode;
    BeforeTernary = false;
    BeforeExprAllowed = Before != 0 && Before != Pc(")") && Before != Pc("]") &&
                        Before != Pc("}") && Before != Pc(";") && Before != Pc("{");
  }
  bool Expr = AnyToken && BeforeExprAllowed;
  if (Before == kElse || Before == kDo) Expr = false;
  if (Before == kReturn && SawNewline) Expr = false;
  if (Before == Pc(";") && Stack.back().Kind != TCtx::ParenStat) Expr = false;
  if ((Before == Pc("{") || (Before == Pc(":") && !BeforeTernary)) &&
      Stack.back().Kind != TCtx::Object && Stack.back().Kind != TCtx::ParenExpr &&
      Stack.back().Kind != TCtx::ParenStat && Stack.back().Kind != TCtx::Template)
    Expr = false;
  if (Before == Pc("}") || Before == Pc(")")) Expr = false;
  TFrame F{Expr ? TCtx::FuncExpr : TCtx::FuncStat};
  F.IsClass = Code == kClass;
  Stack.push_back(F);
}

void TJsMinifier::AdvancePunct(const TToken& Tok, bool WasExprAllowed, bool& CanEnd,
                               bool& Ternary) {
  ExprAllowed = true;
  CanEnd = false;
  switch (Tok.Code) {
    case Pc("("): {
      const bool Stat = PrevCode == kIf || PrevCode == kFor || PrevCode == kWhile ||
                        PrevCode == kWith || (PrevCode == kAwait && PrevPrevCode == kFor);
      Stack.push_back({Stat ? TCtx::ParenStat : TCtx::ParenExpr});
      break;
    }
    case Pc(")"): {
      TCtx K = TCtx::ParenExpr;
      if (Stack.size() > 1 &&
          (Stack.back().Kind == TCtx::ParenStat || Stack.back().Kind == TCtx::ParenExpr)) {
        K = Stack.back().Kind;
        Stack.pop_back();
      }
      ExprAllowed = K == TCtx::ParenStat;
      CanEnd = K != TCtx::ParenStat;
      break;
    }
    case Pc("{"): {
      TCtx K;
      const TFrame& Top = Stack.back();
      if ((Top.Kind == TCtx::FuncStat || Top.Kind == TCtx::FuncExpr) && Top.IsClass)
        K = TCtx::ClassBody;
      else if (PrevCode == Pc("=>"))
        K = TCtx::Arrow;
      else
        K = BraceIsBlock(WasExprAllowed) ? TCtx::Block : TCtx::Object;
      TFrame F{K};
      if (PrevCode == Pc(")") && (Top.Kind == TCtx::Object || Top.Kind == TCtx::ClassBody)) {
        F.Method = true;
        F.Generator = StarMethod;
        StarMethod = false;
      }
      Stack.push_back(F);
      break;
    }
    case Pc("}"):
      CloseBrace(CanEnd);
      break;
    case Pc("]"):
      ExprAllowed = false;
      CanEnd = true;
      break;
    case Pc("++"):
    case Pc("--"):
      ExprAllowed = WasExprAllowed;
      CanEnd = true;
      break;
    case Pc("?"):
      ++Stack.back().Ternary;
      break;
    case Pc(":"):
      if (Stack.back().Ternary > 0) {
        --Stack.back().Ternary;
        Ternary = true;
      }
      break;
    case Pc("*"):
      if ((Stack.back().Kind == TCtx::Object || Stack.back().Kind == TCtx::ClassBody) &&
          (PrevCode == Pc("{") || PrevCode == Pc(",") || PrevCode == Pc(";") ||
           PrevCode == Pc("}") || PrevCode == kAsync || Prev == "static"))
        StarMethod = true;
      if (PrevCode == kFunction &&
          (Stack.back().Kind == TCtx::FuncStat || Stack.back().Kind == TCtx::FuncExpr))
        Stack.back().Generator = true;
      break;
    default:
      break;
  }
}

// A "}" that closes no template substitution: whatever it closes, and what
// may follow.
void TJsMinifier::CloseBrace(bool& CanEnd) {
  TCtx K = TCtx::Block;
  if (Stack.size() > 1) {
    K = Stack.back().Kind;
    Stack.pop_back();
    // Parentheses left open inside the braces: close them too.
    while (Stack.size() > 1 && (K == TCtx::ParenExpr || K == TCtx::ParenStat)) {
      K = Stack.back().Kind;
      Stack.pop_back();
    }
  }
  if ((K == TCtx::Block || K == TCtx::ClassBody) && Stack.size() > 1 &&
      (Stack.back().Kind == TCtx::FuncStat || Stack.back().Kind == TCtx::FuncExpr)) {
    K = Stack.back().Kind;
    Stack.pop_back();
  }
  switch (K) {
    case TCtx::Block:
    case TCtx::FuncStat:
    case TCtx::ClassBody:
      ExprAllowed = true;
      CanEnd = false;
      break;
    case TCtx::Arrow:
      ExprAllowed = true;
      CanEnd = true;
      break;
    default:
      ExprAllowed = false;
      CanEnd = true;
  }
}

TMinifyResult TJsMinifier::Run() {
  Out.reserve(T.size());
  if (const size_t End = Lexer.SkipHashbang(); End > 0) {
    Out.append(T.substr(0, End));
    ForceNewline = true;
  }
  while (true) {
    const bool Ok = Lexer.SkipGap(Kept);
    for (const TJsKept& K : Kept) CopyKept(K);
    if (!Ok || Lexer.AtEnd()) break;
    const bool InSubstitution = Stack.size() > 1 && Stack.back().Kind == TCtx::Template;
    TToken Tok;
    if (!Lexer.Next(Tok, ExprAllowed, InSubstitution ? Stack.back().Begin : std::string_view::npos))
      break;
    SawNewline = Tok.NewlineBefore;
    WriteSeparator(Tok);
    Out.append(T.substr(Tok.Begin, Tok.End - Tok.Begin));
    Advance(Tok);
  }
  TMinifyResult R;
  if (Lexer.Failed()) {
    R.Error = Lexer.Error();
    R.Offset = Lexer.ErrorAt();
    SetPosition(R, T);
    return R;
  }
  R.Ok = true;
  R.Output = std::move(Out);
  return R;
}

// Comments that old engines read as code (conditional compilation): a
// parsed script would move them, so such a script stays with the token
// minifier.
bool HasConditionalComment(const TJsProgram& P, std::string_view Text) {
  for (const TJsKept& K : P.Kept) {
    const std::string_view C = Text.substr(K.Begin, K.End - K.Begin);
    if (C.substr(0, 3) == "/*@" || C.substr(0, 3) == "//@") return true;
  }
  return false;
}

int LineOf(std::string_view Text, size_t Offset) {
  int Line = 1;
  for (size_t I = 0; I < Offset && I < Text.size(); ++I) Line += Text[I] == '\n';
  return Line;
}

}  // namespace

TMinifyResult MinifyJs(std::string_view Text, TCodePage Page, const TMinifyOptions& Options,
                       bool Module) {
  if (Options.Level == TMinifyLevel::Spaces) return TJsMinifier(Text, Page, Module).Run();
  TJsProgram Program;
  std::string Error;
  size_t ErrorAt = 0;
  if (ParseJs(Text, Page, Module, Program, Error, ErrorAt)) {
    if (!HasConditionalComment(Program, Text)) {
      TJsScopeInfo Info;
      std::vector<std::string> Names;
      const bool Scoped = Options.Level == TMinifyLevel::Smallest;
      if (Scoped) BuildJsScopes(Program, Text, Info);
      SimplifyJs(Program, Text, Scoped && !Program.HasWith && !Program.HasDirectEval);
      // New names take the letters the output holds most; a second run on
      // the output then picks the same names again.
      if (Scoped) RenameJsLocals(Program, PrintJs(Program, Text, true), Info, Names);
      TMinifyResult R;
      R.Ok = true;
      R.Output = PrintJs(Program, Text, true);
      return R;
    }
    Error = "conditional compilation comment";
    ErrorAt = 0;
  }
  // What the parser cannot read the token minifier still may: that file
  // keeps every token, and the note says where the parser stopped.
  TMinifyResult R = TJsMinifier(Text, Page, Module).Run();
  if (R.Ok)
    R.Note = "script minified at level spaces only (line " + std::to_string(LineOf(Text, ErrorAt)) +
             ": " + Error + ")";
  return R;
}

}  // namespace larkspan::minify
