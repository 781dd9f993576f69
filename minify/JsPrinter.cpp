#include "minify/JsPrinter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "minify/JsSyntax.h"

namespace larkspan::minify {

namespace {

using K = TJsNodeKind;
using namespace jssyntax;

constexpr uint64_t Pc(const char* S) { return JsPunct(S); }
constexpr size_t kNone = ~size_t(0);

enum : unsigned { pForbidIn = 1, pForbidCall = 2 };

bool IsAsciiIdentifier(std::string_view S) {
  if (S.empty() || (S[0] >= '0' && S[0] <= '9')) return false;
  for (char C : S)
    if (!((C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_' ||
          C == '$'))
      return false;
  return true;
}

// Whether S is the canonical text of an integer that a number literal can
// stand for as a property key ("10", never "010", "1.0" or "-1").
bool IsIndexKey(std::string_view S) {
  if (S.empty() || S.size() > 15 || (S[0] == '0' && S.size() > 1)) return false;
  for (char C : S)
    if (C < '0' || C > '9') return false;
  return true;
}

const TJsNode* Unparen(const TJsNode* N) {
  while (N && N->Kind == K::Paren && N->A && N->A->Kind != K::Seq) N = N->A;
  return N;
}

// Whether a function or class without a name stands at N (through
// parentheses): assigned to a bare name, it takes that name.
bool IsAnonymousFunction(const TJsNode* N) {
  N = Unparen(N);
  return N && (N->Kind == K::Function || N->Kind == K::Class) && !N->A;
}

// Whether the assignment operator Op gives an anonymous function the name
// of its target ("=", "&&=", "||=", "??=").
bool NamesFunction(uint64_t Op) {
  return Op == Pc("=") || Op == Pc("&&=") || Op == Pc("||=") || Op == Pc("?\?=");
}

// Whether the chain of members and calls ending at N holds a "?.".
bool HasOptionalChain(const TJsNode* N) {
  while (N && (N->Kind == K::Dot || N->Kind == K::Index || N->Kind == K::Call)) {
    if (N->Flags & fOptional) return true;
    N = N->A;
  }
  return false;
}

std::string_view PunctText(uint64_t Code, char* Buf) {
  size_t N = 0;
  while (Code && N < 4) {
    Buf[N++] = char(Code & 0xFF);
    Code >>= 8;
  }
  return {Buf, N};
}

class TPrinter {
 public:
  TPrinter(const TJsProgram& P, std::string_view Text, bool Rewrite)
      : P(P), T(Text), Rewrite(Rewrite) {
    Out.reserve(Text.size() / 2 + 16);
  }
  std::string Run();

 private:
  const TJsProgram& P;
  std::string_view T;
  bool Rewrite;
  std::string Out;
  size_t NextKept = 0;
  bool NeedSemi = false;
  bool LastRegex = false;
  char LastPunctBuf[4] = {};
  std::string_view LastPunct;  // the last token when a punctuator (in LastPunctBuf), else empty
  size_t Emitted = 0;          // tokens written so far
  size_t StmtTok = kNone, ArrowTok = kNone, ExportTok = kNone, ForInitTok = kNone;

  std::string_view Src(const TJsNode* N) const { return T.substr(N->Begin, N->End - N->Begin); }
  std::string_view NameOf(const TJsNode* N) const {
    if (N->Sym && !N->Sym->NewName.empty()) return N->Sym->NewName;
    return Src(N);
  }
  bool Renamed(const TJsNode* N) const {
    return N && N->Kind == K::Ident && N->Sym && !N->Sym->NewName.empty() &&
           N->Sym->NewName != Src(N);
  }

  void Flush() {
    if (NeedSemi) {
      Out += ';';
      NeedSemi = false;
      LastPunct = ";";
      LastRegex = false;
    }
  }
  void Separate(unsigned char First);
  void Word(std::string_view W);
  void Punct(std::string_view S);
  void Punct(const char* S) { Punct(std::string_view(S)); }
  void Raw(std::string_view S, bool Regex = false);
  void CopyKeptBefore(size_t Offset);

  void Stmt(const TJsNode* N);
  void StmtControl(const TJsNode* N);
  void StmtList(const TJsNode* First);
  void BlockBody(const TJsNode* First) {
    Punct("{");
    StmtList(First);
    NeedSemi = false;
    Punct("}");
  }
  void VarDecl(const TJsNode* N, unsigned Flags);
  void ForStmt(const TJsNode* N);
  void TryStmt(const TJsNode* N);
  void ImportDecl(const TJsNode* N);
  void ExportDecl(const TJsNode* N);

  void Expr(const TJsNode* N, int Level, unsigned Flags);
  void ExprRest(const TJsNode* N, int Level, unsigned Flags, bool& Wrap);
  // ExprRest's share: operators, calls and the like.
  void ExprOperator(const TJsNode* N, int Level, unsigned Flags, bool& Wrap);
  // ExprOperator's share: calls, new, members, sequences, yield.
  void ExprAccess(const TJsNode* N, int Level, unsigned Flags, bool& Wrap);
  void Binary(const TJsNode* N, int Level, unsigned Flags);
  void Name(const TJsNode* N);
  // A module item's name as written: a word or a string.
  void ItemName(const TJsNode* N) {
    if (N->Kind == K::Str)
      Raw(Src(N));
    else
      Word(Src(N));
  }
  void Number(const TJsNode* N);
  void StringKey(const TJsNode* N, bool InClass);
  void Function(const TJsNode* F, unsigned Flags);
  void Params(const TJsNode* First);
  void Class(const TJsNode* C);
  void Property(const TJsNode* N, bool InClass);
  void List(const TJsNode* First, int Level);
  // Writes each node of the list from First by Write, "," between them.
  template <class TWrite>
  void Commas(const TJsNode* First, TWrite&& Write) {
    for (const TJsNode* X = First; X; X = X->Next) {
      if (X != First) Punct(",");
      Write(X);
    }
  }
  void Member(const TJsNode* N, unsigned Flags);
  // The output ends with a number literal of digits only ("1", "1_0"), which
  // a "." right after would join.
  bool EndsWithInteger() const {
    size_t I = Out.size();
    while (I > 0 && ((Out[I - 1] >= '0' && Out[I - 1] <= '9') || Out[I - 1] == '_')) --I;
    if (I == Out.size()) return false;
    if (I == 0) return true;
    const char C = Out[I - 1];
    return !(C == '.' || C == 'e' || C == 'E' || C == 'x' || C == 'X' || C == 'o' || C == 'O' ||
             C == 'b' || C == 'B');
  }
};

void TPrinter::Separate(unsigned char First) {
  Flush();
  ++Emitted;
  if (Out.empty()) return;
  const unsigned char Last = Out.back();
  bool Space = false;
  if (IsJsWordByte(First) && (IsJsWordByte(Last) || LastRegex)) Space = true;
  if ((Last == '+' || Last == '-') && First == Last) Space = true;
  if (Last == '/' && (First == '/' || First == '*')) Space = true;
  if (Last == '<' && (First == '!' || First == '/')) Space = true;
  if (Last == '-' && First == '>') Space = true;
  if (Space) Out += ' ';
}

void TPrinter::Word(std::string_view W) {
  Separate(static_cast<unsigned char>(W[0]));
  Out += W;
  LastRegex = false;
  LastPunct = {};
}

void TPrinter::Punct(std::string_view S) {
  Separate(static_cast<unsigned char>(S[0]));
  if (!LastPunct.empty() && Out.back() != ' ') {
    char Buf[8];
    size_t N = 0;
    for (char C : LastPunct) Buf[N++] = C;
    for (size_t I = 0; I < S.size() && N < sizeof Buf; ++I) Buf[N++] = S[I];
    if (JsPunctLength(std::string_view(Buf, N)) != LastPunct.size()) Out += ' ';
  }
  Out += S;
  LastRegex = false;
  const size_t N = std::min(S.size(), sizeof LastPunctBuf);
  std::memcpy(LastPunctBuf, S.data(), N);
  LastPunct = std::string_view(LastPunctBuf, N);
}

void TPrinter::Raw(std::string_view S, bool Regex) {
  Separate(static_cast<unsigned char>(S[0]));
  Out += S;
  LastRegex = Regex;
  LastPunct = {};
}

void TPrinter::CopyKeptBefore(size_t Offset) {
  while (NextKept < P.Kept.size() && P.Kept[NextKept].Begin < Offset) {
    const TJsKept& C = P.Kept[NextKept++];
    Flush();
    if (!Out.empty() && Out.back() == '/') Out += ' ';
    if (!Out.empty() && Out.back() == '<') Out += ' ';
    if (C.NewlineBefore && !Out.empty() && Out.back() != '\n') Out += '\n';
    Out += T.substr(C.Begin, C.End - C.Begin);
    if (C.Line) Out += '\n';
    LastPunct = {};
    LastRegex = false;
  }
}

// ---- Statements ----

void TPrinter::StmtList(const TJsNode* First) {
  for (const TJsNode* S = First; S; S = S->Next) {
    if (S->Kind == K::Empty) continue;
    CopyKeptBefore(S->Begin);
    Stmt(S);
  }
}

void TPrinter::VarDecl(const TJsNode* N, unsigned Flags) {
  Word(N->Op == kVarVar ? "var" : N->Op == kVarLet ? "let" : "const");
  Commas(N->A, [&](const TJsNode* D) {
    Expr(D->A, kLevelAssign, 0);
    if (D->B) {
      Punct("=");
      Expr(D->B, kLevelAssign, Flags);
    }
  });
}

void TPrinter::Stmt(const TJsNode* N) {
  switch (N->Kind) {
    case K::Block:
      BlockBody(N->A);
      return;
    case K::Empty:
      Punct(";");
      return;
    case K::Directive:
      Raw(Src(N));
      NeedSemi = true;
      return;
    case K::VarDecl:
      VarDecl(N, 0);
      NeedSemi = true;
      return;
    case K::ExprStmt: {
      const TJsNode* E = Unparen(N->A);
      Flush();
      StmtTok = Emitted;
      if (E->Kind == K::Str) {  // not a directive: keep it from reading as one
        Punct("(");
        Expr(E, kLevelLowest, 0);
        Punct(")");
      } else {
        Expr(N->A, kLevelLowest, 0);
      }
      NeedSemi = true;
      return;
    }
    case K::If:
      Word("if");
      Punct("(");
      Expr(N->A, kLevelLowest, 0);
      Punct(")");
      Stmt(N->B);
      if (N->C) {
        Word("else");
        Stmt(N->C);
      }
      return;
    default:
      StmtControl(N);
      return;
  }
}

// Stmt's share: loops, jumps, try, switch, labels and declarations.
void TPrinter::StmtControl(const TJsNode* N) {
  switch (N->Kind) {
    case K::For:
    case K::ForIn:
    case K::ForOf:
      ForStmt(N);
      return;
    case K::While:
      Word("while");
      Punct("(");
      Expr(N->A, kLevelLowest, 0);
      Punct(")");
      Stmt(N->D);
      return;
    case K::DoWhile:
      Word("do");
      Stmt(N->D);
      Word("while");
      Punct("(");
      Expr(N->A, kLevelLowest, 0);
      Punct(")");
      NeedSemi = true;
      return;
    case K::Return:
    case K::Throw:
      Word(N->Kind == K::Return ? "return" : "throw");
      if (N->A) Expr(N->A, kLevelLowest, 0);
      NeedSemi = true;
      return;
    case K::Break:
    case K::Continue:
      Word(N->Kind == K::Break ? "break" : "continue");
      if (N->End > N->Begin) Word(Src(N));
      NeedSemi = true;
      return;
    case K::Try:
      TryStmt(N);
      return;
    case K::Switch:
      Word("switch");
      Punct("(");
      Expr(N->A, kLevelLowest, 0);
      Punct(")");
      Punct("{");
      for (const TJsNode* C = N->B; C; C = C->Next) {
        if (C->A) {
          Word("case");
          Expr(C->A, kLevelLowest, 0);
        } else {
          Word("default");
        }
        Punct(":");
        StmtList(C->B);
      }
      NeedSemi = false;
      Punct("}");
      return;
    case K::Labeled:
      Word(Src(N));
      Punct(":");
      Stmt(N->A);
      return;
    case K::Debugger:
      Word("debugger");
      NeedSemi = true;
      return;
    case K::With:
      Word("with");
      Punct("(");
      Expr(N->A, kLevelLowest, 0);
      Punct(")");
      Stmt(N->D);
      return;
    case K::Function:
      Function(N, 0);
      return;
    case K::Class:
      Class(N);
      return;
    case K::Import:
      ImportDecl(N);
      return;
    case K::Export:
      ExportDecl(N);
      return;
    default:
      Expr(N, kLevelLowest, 0);
      NeedSemi = true;
      return;
  }
}

void TPrinter::ForStmt(const TJsNode* N) {
  Word("for");
  if (N->Kind == K::ForOf && (N->Flags & fAwait)) Word("await");
  Punct("(");
  Flush();
  ForInitTok = Emitted;
  if (N->A) {
    if (N->A->Kind == K::VarDecl) {
      VarDecl(N->A, N->Kind == K::For ? unsigned(pForbidIn) : 0U);
    } else if (N->Kind == K::ForOf && Unparen(N->A)->Kind == K::Ident &&
               Src(Unparen(N->A)) == "async" && !Renamed(Unparen(N->A))) {
      Punct("(");
      Name(Unparen(N->A));
      Punct(")");
    } else {
      Expr(N->A, N->Kind == K::For ? int(kLevelLowest) : int(kLevelPostfix),
           N->Kind == K::For ? unsigned(pForbidIn) : 0U);
    }
  }
  ForInitTok = kNone;
  if (N->Kind == K::For) {
    Punct(";");
    if (N->B) Expr(N->B, kLevelLowest, 0);
    Punct(";");
    if (N->C) Expr(N->C, kLevelLowest, 0);
  } else if (N->Kind == K::ForIn) {
    Word("in");
    Expr(N->B, kLevelLowest, 0);
  } else {
    Word("of");
    Expr(N->B, kLevelAssign, 0);
  }
  Punct(")");
  Stmt(N->D);
}

void TPrinter::TryStmt(const TJsNode* N) {
  Word("try");
  Stmt(N->A);
  if (N->C) {
    Word("catch");
    if (N->B) {
      Punct("(");
      Expr(N->B, kLevelAssign, 0);
      Punct(")");
    }
    Stmt(N->C);
  }
  if (N->D) {
    Word("finally");
    Stmt(N->D);
  }
}

void TPrinter::ImportDecl(const TJsNode* N) {
  Word("import");
  bool Any = false, Braces = false;
  for (const TJsNode* S = N->A; S; S = S->Next) {
    if (S->Flags & fDefault) {
      Name(S->B);
    } else if (S->Flags & fNamespace) {
      if (Any) Punct(",");
      Punct("*");
      Word("as");
      Name(S->B);
    } else {
      Punct(Braces ? "," : Any ? ",{" : "{");
      Braces = true;
      ItemName(S->A);
      if (S->A->Kind == K::Str || Src(S->A) != NameOf(S->B)) {
        Word("as");
        Name(S->B);
      }
    }
    Any = true;
  }
  if (Braces) Punct("}");
  if (N->A) Word("from");
  Raw(Src(N->B));
  if (N->C) {
    Word("with");
    Expr(N->C, kLevelLowest, 0);
  }
  NeedSemi = true;
}

void TPrinter::ExportDecl(const TJsNode* N) {
  Word("export");
  if (N->Flags & fAll) {
    Punct("*");
    if (N->A) {
      Word("as");
      ItemName(N->A);
    }
  } else if (N->Flags & fDefault) {
    Word("default");
    const TJsNode* D = N->A;
    if ((D->Kind == K::Function || D->Kind == K::Class) && (D->Flags & fDecl)) {
      Stmt(D);
      return;
    }
    Flush();
    ExportTok = Emitted;
    Expr(D, kLevelAssign, 0);
    ExportTok = kNone;
    NeedSemi = true;
    return;
  } else if (N->Flags & fDecl) {
    Stmt(N->A);
    return;
  } else {
    Punct("{");
    for (const TJsNode* S = N->A; S; S = S->Next) {
      if (S != N->A) Punct(",");
      const bool Local = !N->B && S->A->Kind == K::Ident;
      if (S->A->Kind == K::Str)
        Raw(Src(S->A));
      else if (Local)
        Name(S->A);
      else
        Word(Src(S->A));
      if (S->B) {
        Word("as");
        ItemName(S->B);
      } else if (Local && Renamed(S->A)) {
        Word("as");
        Word(Src(S->A));
      }
    }
    Punct("}");
  }
  if (N->B) {
    Word("from");
    Raw(Src(N->B));
  }
  if (N->C) {
    Word("with");
    Expr(N->C, kLevelLowest, 0);
  }
  NeedSemi = true;
}

// ---- Functions, classes, properties ----

void TPrinter::Params(const TJsNode* First) {
  Punct("(");
  List(First, kLevelAssign);
  Punct(")");
}

void TPrinter::Function(const TJsNode* F, unsigned Flags) {
  if (F->Flags & fArrow) {
    if (F->Flags & fAsync) Word("async");
    const TJsNode* Only = F->B;
    if (Only && !Only->Next && Only->Kind == K::Ident) {
      Name(Only);
    } else {
      Params(F->B);
    }
    Punct("=>");
    if (F->Flags & fExprBody) {
      Flush();
      const size_t Saved = ArrowTok;
      ArrowTok = Emitted;
      Expr(F->C, kLevelAssign, Flags & pForbidIn);
      ArrowTok = Saved;
    } else {
      BlockBody(F->C);
    }
    return;
  }
  if (!(F->Flags & fMethod)) {
    if (F->Flags & fAsync) Word("async");
    Word("function");
    if (F->Flags & fGenerator) Punct("*");
    if (F->A) Name(F->A);
  }
  Params(F->B);
  BlockBody(F->C);
}

void TPrinter::Class(const TJsNode* C) {
  Word("class");
  if (C->A) Name(C->A);
  if (C->B) {
    Word("extends");
    Expr(C->B, kLevelCall, 0);
  }
  Punct("{");
  for (const TJsNode* M = C->C; M; M = M->Next) Property(M, true);
  NeedSemi = false;
  Punct("}");
}

void TPrinter::StringKey(const TJsNode* N, bool InClass) {
  const std::string_view S = Src(N);
  const std::string_view Inner = S.substr(1, S.size() - 2);
  // In a class body a bare word of these could read as a modifier.
  const bool Modifier = InClass && (Inner == "static" || Inner == "get" || Inner == "set" ||
                                    Inner == "async" || Inner == "accessor");
  if (Rewrite && IsAsciiIdentifier(Inner) && !Modifier)
    Word(Inner);
  else if (Rewrite && IsIndexKey(Inner))
    Word(ShortestNumber(Inner));
  else
    Raw(S);
}

void TPrinter::Property(const TJsNode* N, bool InClass) {
  if (N->Kind == K::Spread) {
    Punct("...");
    Expr(N->A, kLevelAssign, 0);
    return;
  }
  const uint16_t F = N->Flags;
  if (F & fStatic) Word("static");
  if (F & fStaticBlock) {
    Stmt(N->B);
    return;
  }
  const TJsNode* Fn = (F & fMethodProp) ? N->B : nullptr;
  if (F & fGetter) Word("get");
  if (F & fSetter) Word("set");
  if (Fn && (Fn->Flags & fAsync)) Word("async");
  if (Fn && (Fn->Flags & fGenerator)) Punct("*");
  const TJsNode* Key = N->A;
  if (F & fShorthand) {
    const TJsNode* V = N->B;
    const TJsNode* Target = V->Kind == K::Assign ? V->A : V;
    if (Renamed(Target)) {
      Word(Src(Key));
      Punct(":");
      Expr(V, kLevelAssign, 0);
    } else {
      Name(Target);
      if (V->Kind == K::Assign) {
        Punct("=");
        Expr(V->B, kLevelAssign, 0);
      }
    }
    return;
  }
  if (F & fComputed) {
    Punct("[");
    Expr(Key, kLevelAssign, 0);
    Punct("]");
  } else if (Key->Kind == K::Str) {
    StringKey(Key, InClass);
  } else if (Key->Kind == K::Num) {
    Number(Key);
  } else {
    Word(Src(Key));
  }
  if (Fn) {
    Params(Fn->B);
    BlockBody(Fn->C);
  } else if (F & fField) {
    if (N->B) {
      Punct("=");
      Expr(N->B, kLevelAssign, 0);
    }
    NeedSemi = true;
  } else {
    Punct(":");
    Expr(N->B, kLevelAssign, 0);
  }
}

void TPrinter::List(const TJsNode* First, int Level) {
  Commas(First, [&](const TJsNode* E) { Expr(E, Level, 0); });
}

// ---- Expressions ----

void TPrinter::Name(const TJsNode* N) {
  const std::string_view W = NameOf(N);
  if ((Emitted == StmtTok || Emitted == ForInitTok) && W == "let") {
    Punct("(");
    Word(W);
    Punct(")");
    return;
  }
  Word(W);
}

void TPrinter::Number(const TJsNode* N) {
  const std::string_view Raw0 = Src(N);
  if (!Rewrite) {
    Word(Raw0);
    return;
  }
  const std::string S = ShortestNumber(Raw0);
  Word(S);
}

void TPrinter::Expr(const TJsNode* N, int Level, unsigned Flags) {
  if (!N) return;
  bool Wrap = false;
  ExprRest(N, Level, Flags, Wrap);
}

void TPrinter::Member(const TJsNode* N, unsigned Flags) {
  const unsigned Inner = Flags & pForbidCall;
  Expr(N->A, kLevelCall, Inner);
  if (N->Kind == K::Dot) {
    if (N->Flags & fOptional) {
      Punct("?.");
    } else {
      if (Unparen(N->A)->Kind == K::Num && EndsWithInteger()) Out += ' ';
      Punct(".");
    }
    Word(Src(N));
    return;
  }
  const TJsNode* Key = Unparen(N->B);
  if (Rewrite && Key->Kind == K::Str) {
    const std::string_view S = Src(Key);
    const std::string_view In = S.substr(1, S.size() - 2);
    if (IsAsciiIdentifier(In)) {
      if (!(N->Flags & fOptional) && Unparen(N->A)->Kind == K::Num && EndsWithInteger()) Out += ' ';
      Punct((N->Flags & fOptional) ? "?." : ".");
      Word(In);
      return;
    }
  }
  if (N->Flags & fOptional) Punct("?.");
  Punct("[");
  if (Rewrite && Key->Kind == K::Str && IsIndexKey(Src(Key).substr(1, Src(Key).size() - 2)))
    Word(ShortestNumber(Src(Key).substr(1, Src(Key).size() - 2)));
  else
    Expr(N->B, kLevelLowest, 0);
  Punct("]");
}

void TPrinter::Binary(const TJsNode* N, int Level, unsigned Flags) {
  const int L = BinaryLevel(N->Op);
  const bool Wrap = L < Level || (N->Op == kOpIn && (Flags & pForbidIn));
  if (Wrap) {
    Punct("(");
    Flags &= ~pForbidIn;
  }
  int LeftLevel = L, RightLevel = L + 1;
  if (N->Op == Pc("**")) {
    LeftLevel = kLevelPostfix;
    RightLevel = L;
  }
  auto IsLogical = [](const TJsNode* X) {
    X = Unparen(X);
    return X->Kind == K::Binary && (X->Op == Pc("||") || X->Op == Pc("&&"));
  };
  if (N->Op == Pc("??")) {
    if (IsLogical(N->A)) LeftLevel = kLevelBitOr;
    if (IsLogical(N->B)) RightLevel = kLevelBitOr;
  }
  Expr(N->A, LeftLevel, Flags & pForbidIn);
  char Buf[8];
  if (N->Op == kOpIn)
    Word("in");
  else if (N->Op == kOpInstanceof)
    Word("instanceof");
  else
    Punct(PunctText(N->Op, Buf));
  Expr(N->B, RightLevel, Flags & pForbidIn);
  if (Wrap) Punct(")");
}

void TPrinter::ExprRest(const TJsNode* N, int Level, unsigned Flags, bool& Wrap) {
  auto Open = [&](int Own) {
    Wrap = Own < Level;
    if (Wrap) {
      Punct("(");
      Flags &= ~pForbidIn;
    }
  };
  auto Close = [&] {
    if (Wrap) Punct(")");
  };
  switch (N->Kind) {
    case K::Ident:
      if (N->Flags & fVoidZero) {
        Open(kLevelPrefix);
        Word("void");
        Word("0");
        Close();
        return;
      }
      Name(N);
      return;
    case K::Literal:
      // true and false as !0 and !1.
      if (Rewrite && (Src(N) == "true" || Src(N) == "false")) {
        Open(kLevelPrefix);
        Punct("!");
        Word(Src(N) == "true" ? "0" : "1");
        Close();
        return;
      }
      Word(Src(N));
      return;
    case K::PrivateName:
    case K::This:
    case K::Super:
      Word(Src(N));
      return;
    case K::Num:
      Number(N);
      return;
    case K::Str:
      Raw(Src(N));
      return;
    case K::Regex:
      Raw(Src(N), true);
      return;
    case K::MetaProp:
      Word(T[N->Begin] == 'n' ? "new.target" : "import.meta");
      return;
    case K::Template:
      for (const TJsNode* X = N->A; X; X = X->Next) {
        if (X->Kind == K::TemplatePart)
          Raw(Src(X));
        else
          Expr(X, kLevelLowest, 0);
      }
      return;
    case K::TaggedTemplate:
      Open(kLevelCall);
      Expr(N->A, kLevelCall, Flags & pForbidCall);
      Expr(N->B, kLevelLowest, 0);
      Close();
      return;
    case K::Array:
      Punct("[");
      Commas(N->A, [&](const TJsNode* X) {
        if (X->Kind != K::Hole) Expr(X, kLevelAssign, 0);
        if (X->Kind == K::Hole && !X->Next) Punct(",");
      });
      if (N->Flags & fTrailingComma) Punct(",");  // kept: in a pattern it is an error
      Punct("]");
      return;
    case K::Hole:
      return;
    case K::Object: {
      const bool W = Emitted == StmtTok || Emitted == ArrowTok;
      if (W) Punct("(");
      Punct("{");
      Commas(N->A, [&](const TJsNode* X) { Property(X, false); });
      if (N->Flags & fTrailingComma) Punct(",");
      Punct("}");
      if (W) Punct(")");
      return;
    }
    case K::Function:
    case K::Class: {
      if (N->Kind == K::Function && (N->Flags & fArrow)) {
        Open(kLevelAssign);
        Function(N, Flags);
        Close();
        return;
      }
      const bool W = Emitted == StmtTok || Emitted == ExportTok;
      if (W) Punct("(");
      if (N->Kind == K::Function)
        Function(N, Flags);
      else
        Class(N);
      if (W) Punct(")");
      return;
    }
    default:
      ExprOperator(N, Level, Flags, Wrap);
      return;
  }
}

void TPrinter::ExprOperator(const TJsNode* N, int Level, unsigned Flags, bool& Wrap) {
  auto Open = [&](int Own) {
    Wrap = Own < Level;
    if (Wrap) {
      Punct("(");
      Flags &= ~pForbidIn;
    }
  };
  auto Close = [&] {
    if (Wrap) Punct(")");
  };
  char Buf[8];
  switch (N->Kind) {
    case K::Unary:
      Open(kLevelPrefix);
      if (N->Op == kOpTypeof)
        Word("typeof");
      else if (N->Op == kOpVoid)
        Word("void");
      else if (N->Op == kOpDelete)
        Word("delete");
      else
        Punct(PunctText(N->Op, Buf));
      Expr(N->A, kLevelPrefix, 0);
      Close();
      return;
    case K::Await:
      Open(kLevelPrefix);
      Word("await");
      Expr(N->A, kLevelPrefix, 0);
      Close();
      return;
    case K::Update:
      if (N->Flags & fPrefix) {
        Open(kLevelPrefix);
        Punct(PunctText(N->Op, Buf));
        Expr(N->A, kLevelPrefix, 0);
      } else {
        Open(kLevelPostfix);
        Expr(N->A, kLevelPostfix, 0);
        Punct(PunctText(N->Op, Buf));
      }
      Close();
      return;
    case K::Binary:
      Binary(N, Level, Flags);
      return;
    case K::Assign: {
      const TJsNode* Left = Unparen(N->A);
      Open(kLevelAssign);
      if (!Wrap && Left->Kind == K::Object && (Emitted == StmtTok || Emitted == ArrowTok)) {
        Wrap = true;
        Punct("(");
      }
      if (N->A->Kind == K::Paren && Left->Kind == K::Ident && NamesFunction(N->Op) &&
          IsAnonymousFunction(N->B)) {
        // (f) = function(){} leaves the function without a name; f = ... names it "f"
        Punct("(");
        Expr(Left, kLevelLowest, 0);
        Punct(")");
      } else {
        Expr(N->A, kLevelAssign + 1, Flags & pForbidIn);
      }
      Punct(PunctText(N->Op, Buf));
      Expr(N->B, kLevelAssign, Flags & pForbidIn);
      Close();
      return;
    }
    case K::Cond:
      Open(kLevelCond);
      Expr(N->A, kLevelNullish, Flags & pForbidIn);
      Punct("?");
      Expr(N->B, kLevelAssign, 0);
      Punct(":");
      Expr(N->C, kLevelAssign, Flags & pForbidIn);
      Close();
      return;
    default:
      ExprAccess(N, Level, Flags, Wrap);
      return;
  }
}

void TPrinter::ExprAccess(const TJsNode* N, int Level, unsigned Flags, bool& Wrap) {
  auto Open = [&](int Own) {
    Wrap = Own < Level;
    if (Wrap) {
      Punct("(");
      Flags &= ~pForbidIn;
    }
  };
  auto Close = [&] {
    if (Wrap) Punct(")");
  };
  switch (N->Kind) {
    case K::Call:
      Wrap = kLevelCall < Level || (Flags & pForbidCall);
      if (Wrap) Punct("(");
      Expr(N->A, kLevelCall, 0);
      if (N->Flags & fOptional) Punct("?.");
      Params(N->B);
      Close();
      return;
    case K::ImportCall:
      Wrap = Flags & pForbidCall;
      if (Wrap) Punct("(");
      Word("import");
      Punct("(");
      Expr(N->A, kLevelAssign, 0);
      if (N->B) {
        Punct(",");
        Expr(N->B, kLevelAssign, 0);
      }
      Punct(")");
      Close();
      return;
    case K::New: {
      Open((N->Flags & fHasArgs) ? kLevelMember : kLevelNew);
      Word("new");
      // A call anywhere in the callee's chain would take the arguments.
      bool Call = false;
      for (const TJsNode* X = N->A; X && !Call; X = X->A) {
        X = Unparen(X);
        Call = X->Kind == K::Call || X->Kind == K::ImportCall;
        if (X->Kind != K::Dot && X->Kind != K::Index && X->Kind != K::TaggedTemplate) break;
      }
      if (Call) {
        Punct("(");
        Expr(N->A, kLevelLowest, 0);
        Punct(")");
      } else {
        Expr(N->A, kLevelMember, 0);
      }
      if (N->Flags & fHasArgs) Params(N->B);
      Close();
      return;
    }
    case K::Dot:
    case K::Index:
      Open(kLevelMember);
      Member(N, Flags);
      Close();
      return;
    case K::Seq:
      Open(kLevelComma);
      Commas(N->A, [&](const TJsNode* X) { Expr(X, kLevelAssign, Flags & pForbidIn); });
      Close();
      return;
    case K::Spread:
      Punct("...");
      Expr(N->A, kLevelAssign, 0);
      return;
    case K::Yield:
      Open(kLevelAssign);
      Word("yield");
      if (N->Flags & fDelegate) Punct("*");
      if (N->A) Expr(N->A, kLevelYield, Flags & pForbidIn);
      Close();
      return;
    case K::Paren:
      if (HasOptionalChain(N->A)) {
        Punct("(");
        Expr(N->A, kLevelLowest, 0);
        Punct(")");
      } else {
        Expr(N->A, Level, Flags);
      }
      return;
    default:
      return;
  }
}

std::string TPrinter::Run() {
  if (P.HashbangEnd > 0) {
    Out.append(T.substr(0, P.HashbangEnd));
    Out += '\n';
  }
  StmtList(P.Root->A);
  // A script that ended with ";" keeps it: sites join scripts one after another.
  if (!P.FinalSemicolon) NeedSemi = false;
  Flush();
  CopyKeptBefore(T.size() + 1);
  return std::move(Out);
}

// Digits and exponent of a finite positive double: value = 0.D * 10^(E+1)
// read as D[0].D[1..] * 10^E.
void Decompose(double V, std::string& Digits, int& E) {
  char Buf[64];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V, std::chars_format::scientific);
  const std::string_view S(Buf, size_t(R.ptr - Buf));
  const size_t EPos = S.find('e');
  Digits.clear();
  for (char C : S.substr(0, EPos))
    if (C != '.') Digits += C;
  while (Digits.size() > 1 && Digits.back() == '0') Digits.pop_back();
  E = std::atoi(std::string(S.substr(EPos + 1)).c_str());
}

}  // namespace

// Whether every "_" of the numeric literal Raw stands between two digits (a
// literal that breaks the rule must stay as written: it is an error).
bool SeparatorsValid(std::string_view Raw) {
  const bool Hex = Raw.size() > 1 && Raw[0] == '0' && (Raw[1] | 0x20) == 'x';
  auto Digit = [&](char C) {
    return (C >= '0' && C <= '9') || (Hex && ((C | 0x20) >= 'a' && (C | 0x20) <= 'f'));
  };
  for (size_t I = 0; I < Raw.size(); ++I)
    if (Raw[I] == '_' &&
        (I == 0 || I + 1 >= Raw.size() || !Digit(Raw[I - 1]) || !Digit(Raw[I + 1])))
      return false;
  return true;
}

std::string ShortestNumber(std::string_view Raw) {
  if (!SeparatorsValid(Raw)) return std::string(Raw);
  std::string Clean;
  for (char C : Raw)
    if (C != '_') Clean += C;
  if (Clean.empty() || Clean.back() == 'n') return std::string(Raw);
  if (Clean.size() > 1 && Clean[0] == '0' && Clean[1] >= '0' && Clean[1] <= '9')
    return std::string(Raw);  // legacy octal or a decimal with a leading zero
  double V = 0;
  const char Prefix = Clean.size() > 2 && Clean[0] == '0' ? char(Clean[1] | 0x20) : '\0';
  if (Prefix == 'x' || Prefix == 'o' || Prefix == 'b') {
    const char P = Prefix;
    const int Base = P == 'x' ? 16 : P == 'o' ? 8 : 2;
    uint64_t U = 0;
    const auto R = std::from_chars(Clean.data() + 2, Clean.data() + Clean.size(), U, Base);
    if (R.ec != std::errc() || R.ptr != Clean.data() + Clean.size() || U > (uint64_t(1) << 53))
      return std::string(Raw);
    V = double(U);
  } else {
    const auto R = std::from_chars(Clean.data(), Clean.data() + Clean.size(), V);
    if (R.ec != std::errc() || R.ptr != Clean.data() + Clean.size() || !std::isfinite(V))
      return std::string(Raw);
  }
  std::string Best = Clean.size() < Raw.size() ? Clean : std::string(Raw);
  if (V == 0) return Best.size() <= 1 ? Best : "0";
  std::string D;
  int E = 0;
  Decompose(V, D, E);
  const int N = int(D.size());
  const int Last = E - (N - 1);  // power of ten of the last digit
  std::string Plain;
  if (Last >= 0) {
    if (Last < 25) Plain = D + std::string(size_t(Last), '0');
  } else if (E >= 0) {
    Plain = D.substr(0, size_t(E) + 1) + "." + D.substr(size_t(E) + 1);
  } else if (-E < 25) {
    Plain = "." + std::string(size_t(-E - 1), '0') + D;
  }
  const std::string Exp = Last == 0 ? D : D + "e" + std::to_string(Last);
  for (const std::string* C : {static_cast<const std::string*>(&Plain), &Exp}) {
    if (C->empty() || C->size() >= Best.size()) continue;
    double Back = 0;
    const auto R = std::from_chars(C->data(), C->data() + C->size(), Back);
    if (R.ec == std::errc() && Back == V) Best = *C;
  }
  return Best;
}

std::string PrintJs(const TJsProgram& Program, std::string_view Text, bool Rewrite) {
  return TPrinter(Program, Text, Rewrite).Run();
}

}  // namespace larkspan::minify
