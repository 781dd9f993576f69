// Recursive descent with precedence climbing. The tokenizer is asked for one
// token at a time with "/" read as division; where the grammar wants an
// expression the parser reads the same bytes again as a regular expression
// (and a "}" again as the rest of a template). Parenthesised expressions are
// read as a cover that becomes arrow parameters when "=>" follows.
#include "minify/JsParser.h"

#include "minify/JsSyntax.h"

namespace larkspan::minify {

namespace {

using K = TJsNodeKind;
using namespace jssyntax;

constexpr uint64_t Pc(const char* S) { return JsPunct(S); }
constexpr int kMaxDepth = 1200;
constexpr uint16_t fCoverOnly = 0x100;  // Paren: only arrow parameters can be so

class TParser {
 public:
  TParser(std::string_view Text, TCodePage Page, bool Module, TJsProgram& Prog)
      : T(Text), Lex(Text, Page, Module), Prog(Prog), Ar(Prog.Arena), Module(Module) {}

  bool Run(std::string& Error, size_t& ErrorAt);

 private:
  std::string_view T;
  TJsLexer Lex;
  TJsProgram& Prog;
  TJsArena& Ar;
  bool Module;

  TJsToken Tok;
  TKw Kw = TKw::None;
  bool Eof = false;
  uint32_t PrevEnd = 0;
  std::vector<TJsKept> Gap;
  bool Bad = false;
  std::string Why;
  size_t WhyAt = 0;
  int Depth = 0;

  // Context of the function being read.
  bool Strict = false, InAsync = false, InGenerator = false, InFunction = false;
  bool NoIn = false;         // `in` is no operator here (a for statement's head)
  bool SpreadComma = false;  // the last arguments read end with "...x,"

  struct TContext {
    bool Strict, InAsync, InGenerator, InFunction, NoIn;
  };
  TContext Save() const { return {Strict, InAsync, InGenerator, InFunction, NoIn}; }
  void Restore(const TContext& C) {
    Strict = C.Strict;
    InAsync = C.InAsync;
    InGenerator = C.InGenerator;
    InFunction = C.InFunction;
    NoIn = C.NoIn;
  }

  // Tokens.
  void Fail(const char* Reason, size_t At) {
    if (!Bad) {
      Bad = true;
      Why = Reason;
      WhyAt = At;
    }
    Eof = true;
    Tok.Kind = TJsTok::Punct;
    Tok.Code = 0;
    Kw = TKw::None;
  }
  void Fail(const char* Reason) { Fail(Reason, Tok.Begin); }
  void Next();
  void ReadAgain(bool Regex, size_t TemplateBegin);
  TJsToken Peek(TKw& PeekKw);
  bool IsP(uint64_t Code) const { return Tok.Kind == TJsTok::Punct && Tok.Code == Code && !Eof; }
  bool Eat(uint64_t Code) {
    if (!IsP(Code)) return false;
    Next();
    return true;
  }
  void Expect(uint64_t Code) {
    if (!Eat(Code)) Fail("unexpected token");
  }
  bool IsName() const { return Tok.Kind == TJsTok::Name && !Eof; }
  bool IsIdent() const;  // a name that may be a binding or reference here
  void Semicolon();
  bool Enter() {
    if (++Depth > kMaxDepth) {
      Fail("nested too deeply");
      return false;
    }
    return true;
  }

  TJsNode* New(K Kind) { return Ar.Node(Kind, uint32_t(Tok.Begin), uint32_t(Tok.End)); }
  TJsNode* New(K Kind, uint32_t Begin) { return Ar.Node(Kind, Begin, PrevEnd); }
  TJsNode* Ident();

  // Statements.
  TJsNode* Body(bool FunctionBody, uint64_t Close, bool& SawStrict);
  TJsNode* StatementListItem();
  TJsNode* Statement();
  TJsNode* StatementRest();
  TJsNode* StatementOther(uint32_t Begin);
  TJsNode* BlockStatement();
  TJsNode* VarDecl(uint64_t Kind, bool ForHead);
  TJsNode* ForStatement();
  TJsNode* TryStatement();
  TJsNode* SwitchStatement();
  TJsNode* ImportDecl();
  TJsNode* ExportDecl();
  TJsNode* ModuleName();
  TJsNode* Attributes();
  bool LetStartsDecl();
  bool AsyncFunctionAhead();

  // Functions and classes.
  TJsNode* Function(uint32_t Begin, uint16_t Flags, bool NameRequired);
  void FunctionRest(TJsNode* F);
  TJsNode* Params();
  TJsNode* Class(bool Decl, bool NameRequired);
  TJsNode* Member(bool IsClass);
  TJsNode* PropertyKey(bool IsClass, uint16_t& Flags);
  TJsNode* ArrowFrom(TJsNode* Params, uint32_t Begin, bool Async);

  // Bindings.
  TJsNode* BindingTarget();
  TJsNode* BindingElement();

  // Expressions.
  TJsNode* Expression();
  TJsNode* Assign();
  TJsNode* Conditional();
  TJsNode* Binary(int MinLevel);
  TJsNode* Unary();
  TJsNode* Lhs();
  TJsNode* CallTail(TJsNode* E, bool NoCalls);
  TJsNode* Primary();
  TJsNode* ParenCover();
  TJsNode* ListLiteral(K Kind);
  TJsNode* TemplateLiteral();
  TJsNode* Arguments();
  TJsNode* Yield();
};

void TParser::Next() {
  if (Eof) return;
  PrevEnd = uint32_t(Tok.End);
  if (!Lex.SkipGap(Gap)) return Fail(Lex.Error().c_str(), Lex.ErrorAt());
  for (const TJsKept& G : Gap)
    if (G.Comment) Prog.Kept.push_back(G);
  if (Lex.AtEnd()) {
    Eof = true;
    Tok = TJsToken();
    Tok.Begin = Tok.End = T.size();
    Tok.NewlineBefore = true;
    Kw = TKw::None;
    return;
  }
  if (!Lex.Next(Tok, false, std::string_view::npos)) return Fail("bad token", Lex.ErrorAt());
  Kw = TKw::None;
  if (Tok.Kind == TJsTok::Name) {
    const std::string_view W = T.substr(Tok.Begin, Tok.End - Tok.Begin);
    if (W.find('\\') != std::string_view::npos) return Fail("escaped name");
    Kw = KeywordOf(W);
  } else if (Tok.Kind == TJsTok::Private &&
             T.substr(Tok.Begin, Tok.End - Tok.Begin).find('\\') != std::string_view::npos) {
    return Fail("escaped name");
  }
}

void TParser::ReadAgain(bool Regex, size_t TemplateBegin) {
  Lex.Rewind(Tok.Begin, Tok.NewlineBefore);
  const bool Newline = Tok.NewlineBefore;
  if (!Lex.Next(Tok, Regex, TemplateBegin)) return Fail("bad token", Lex.ErrorAt());
  Tok.NewlineBefore = Newline;
  Kw = TKw::None;
}

TJsToken TParser::Peek(TKw& PeekKw) {
  TJsLexer Copy = Lex;
  std::vector<TJsKept> G;
  TJsToken X;
  PeekKw = TKw::None;
  if (Eof || !Copy.SkipGap(G) || Copy.AtEnd() || !Copy.Next(X, false, std::string_view::npos)) {
    X = TJsToken();
    X.Begin = X.End = T.size();
    X.NewlineBefore = true;
    return X;
  }
  if (X.Kind == TJsTok::Name) PeekKw = KeywordOf(T.substr(X.Begin, X.End - X.Begin));
  return X;
}

bool TParser::IsIdent() const {
  if (!IsName()) return false;
  if (IsReserved(Kw)) return false;
  if (Kw == TKw::Yield) return !InGenerator && !Strict;
  if (Kw == TKw::Await) return !InAsync && !Module;
  if (Strict && (Kw == TKw::Let || Kw == TKw::Static || Kw == TKw::StrictReserved)) return false;
  return true;
}

void TParser::Semicolon() {
  if (Eat(Pc(";"))) return;
  if (Eof || IsP(Pc("}")) || Tok.NewlineBefore) return;
  Fail("missing ;");
}

TJsNode* TParser::Ident() {
  if (!IsIdent()) {
    Fail("name expected");
    return New(K::Ident);
  }
  TJsNode* N = New(K::Ident);
  Next();
  return N;
}

// ---- Statements ----

// A list of statements up to Close (0: the end of the text), directives
// first when FunctionBody.
TJsNode* TParser::Body(bool FunctionBody, uint64_t Close, bool& SawStrict) {
  TJsNode Head{};
  TJsNode* Last = &Head;
  bool Prologue = FunctionBody;
  SawStrict = false;
  while (!Eof && !(Close && IsP(Close))) {
    TJsNode* S = nullptr;
    if (Prologue && Tok.Kind == TJsTok::Str) {
      const TJsToken First = Tok;
      S = StatementListItem();
      if (S && S->Kind == K::ExprStmt && S->A && S->A->Kind == K::Str &&
          S->A->Begin == First.Begin) {
        S->Kind = K::Directive;
        S->Begin = uint32_t(First.Begin);
        S->End = uint32_t(First.End);
        const std::string_view D = T.substr(First.Begin + 1, First.End - First.Begin - 2);
        if (D == "use strict") {
          SawStrict = true;
          Strict = true;
        }
      } else {
        Prologue = false;
      }
    } else {
      Prologue = false;
      S = StatementListItem();
    }
    if (!S) break;
    Last->Next = S;
    Last = S;
  }
  return Head.Next;
}

bool TParser::LetStartsDecl() {
  TKw NK;
  const TJsToken X = Peek(NK);
  if (X.Kind == TJsTok::Punct) return X.Code == Pc("[") || X.Code == Pc("{");
  if (X.Kind != TJsTok::Name) return false;
  if (NK == TKw::In || NK == TKw::Instanceof || NK == TKw::Of) return false;
  return !X.NewlineBefore || !IsReserved(NK);
}

bool TParser::AsyncFunctionAhead() {
  if (Kw != TKw::Async) return false;
  TKw NK;
  const TJsToken X = Peek(NK);
  return NK == TKw::Function && !X.NewlineBefore;
}

TJsNode* TParser::StatementListItem() {
  switch (Kw) {
    case TKw::Function:
      return Function(uint32_t(Tok.Begin), fDecl, true);
    case TKw::Class:
      return Class(true, true);
    case TKw::Const:
      return VarDecl(kVarConst, false);
    case TKw::Let:
      if (LetStartsDecl()) return VarDecl(kVarLet, false);
      break;
    case TKw::Async:
      if (AsyncFunctionAhead()) {
        const uint32_t Begin = uint32_t(Tok.Begin);
        Next();
        return Function(Begin, fDecl | fAsync, true);
      }
      break;
    case TKw::Import: {
      TKw NK;
      const TJsToken X = Peek(NK);
      if (X.Kind == TJsTok::Punct && (X.Code == Pc("(") || X.Code == Pc("."))) break;
      if (!Module || InFunction) {
        Fail("import outside a module");
        return nullptr;
      }
      return ImportDecl();
    }
    case TKw::Export:
      if (!Module || InFunction) {
        Fail("export outside a module");
        return nullptr;
      }
      return ExportDecl();
    default:
      break;
  }
  return Statement();
}

TJsNode* TParser::BlockStatement() {
  TJsNode* N = New(K::Block);
  Expect(Pc("{"));
  bool Unused;
  N->A = Body(false, Pc("}"), Unused);
  Expect(Pc("}"));
  N->End = PrevEnd;
  return N;
}

TJsNode* TParser::Statement() {
  if (!Enter()) return nullptr;
  TJsNode* N = StatementRest();
  --Depth;
  return N;
}

TJsNode* TParser::StatementRest() {
  const uint32_t Begin = uint32_t(Tok.Begin);
  if (IsP(Pc("{"))) return BlockStatement();
  if (IsP(Pc(";"))) {
    TJsNode* N = New(K::Empty);
    Next();
    return N;
  }
  TJsNode* N = nullptr;
  switch (Kw) {
    case TKw::Var:
      return VarDecl(kVarVar, false);
    case TKw::If: {
      N = New(K::If);
      Next();
      Expect(Pc("("));
      N->A = Expression();
      Expect(Pc(")"));
      N->B = Statement();
      if (Kw == TKw::Else) {
        Next();
        N->C = Statement();
      }
      return N;
    }
    case TKw::For:
      return ForStatement();
    case TKw::While:
      N = New(K::While);
      Next();
      Expect(Pc("("));
      N->A = Expression();
      Expect(Pc(")"));
      N->D = Statement();
      return N;
    case TKw::Do:
      N = New(K::DoWhile);
      Next();
      N->D = Statement();
      if (Kw != TKw::While) Fail("while expected");
      Next();
      Expect(Pc("("));
      N->A = Expression();
      Expect(Pc(")"));
      Eat(Pc(";"));  // always optional after do-while
      return N;
    default:
      return StatementOther(Begin);
  }
}

// StatementRest's share: jumps, with, switch, throw, try, and expression
// and labelled statements.
TJsNode* TParser::StatementOther(uint32_t Begin) {
  TJsNode* N = nullptr;
  switch (Kw) {
    case TKw::Continue:
    case TKw::Break:
      N = New(Kw == TKw::Break ? K::Break : K::Continue);
      Next();
      N->Begin = N->End = 0;
      if (IsName() && !Tok.NewlineBefore && !IsReserved(Kw)) {
        N->Begin = uint32_t(Tok.Begin);
        N->End = uint32_t(Tok.End);
        Next();
      }
      Semicolon();
      return N;
    case TKw::Return:
      N = New(K::Return);
      Next();
      if (!IsP(Pc(";")) && !IsP(Pc("}")) && !Eof && !Tok.NewlineBefore) N->A = Expression();
      Semicolon();
      return N;
    case TKw::With:
      if (Strict) Fail("with in strict code");
      Prog.HasWith = true;
      N = New(K::With);
      Next();
      Expect(Pc("("));
      N->A = Expression();
      Expect(Pc(")"));
      N->D = Statement();
      return N;
    case TKw::Switch:
      return SwitchStatement();
    case TKw::Throw:
      N = New(K::Throw);
      Next();
      if (Tok.NewlineBefore) Fail("line break after throw");
      N->A = Expression();
      Semicolon();
      return N;
    case TKw::Try:
      return TryStatement();
    case TKw::Debugger:
      N = New(K::Debugger);
      Next();
      Semicolon();
      return N;
    case TKw::Function:
      // Sloppy code allows a function declaration as an if's branch or a label's statement.
      return Function(Begin, fDecl, true);
    case TKw::Class:
    case TKw::Const:
    case TKw::Enum:
      Fail("declaration not allowed here");
      return nullptr;
    case TKw::Async:
      if (AsyncFunctionAhead()) {
        Fail("declaration not allowed here");
        return nullptr;
      }
      break;
    default:
      break;
  }
  if (Kw == TKw::Let && !Strict) {
    TKw NK;
    const TJsToken X = Peek(NK);
    if (X.Kind == TJsTok::Punct && X.Code == Pc("[")) {
      Fail("let [ cannot start a statement");
      return nullptr;
    }
  }
  TJsNode* E = Expression();
  if (E && E->Kind == K::Ident && IsP(Pc(":")) && E->End == PrevEnd) {
    Next();
    N = Ar.Node(K::Labeled, E->Begin, E->End);
    N->A = Statement();
    return N;
  }
  N = Ar.Node(K::ExprStmt, Begin, PrevEnd);
  N->A = E;
  Semicolon();
  return N;
}

TJsNode* TParser::VarDecl(uint64_t Kind, bool ForHead) {
  TJsNode* N = New(K::VarDecl);
  N->Op = Kind;
  Next();
  TJsNode Head{};
  TJsNode* Last = &Head;
  do {
    TJsNode* D = New(K::Declarator);
    D->A = BindingTarget();
    if (Eat(Pc("="))) D->B = Assign();
    D->End = PrevEnd;
    Last->Next = D;
    Last = D;
  } while (Eat(Pc(",")));
  N->A = Head.Next;
  if (!ForHead) Semicolon();
  N->End = PrevEnd;
  return N;
}

TJsNode* TParser::ForStatement() {
  TJsNode* N = New(K::For);
  Next();
  bool Await = false;
  if (Kw == TKw::Await) {
    Await = true;
    Next();
  }
  Expect(Pc("("));
  TJsNode* Init = nullptr;
  const bool WasNoIn = NoIn;
  NoIn = true;
  if (IsP(Pc(";"))) {
  } else if (Kw == TKw::Var) {
    Init = VarDecl(kVarVar, true);
  } else if (Kw == TKw::Const) {
    Init = VarDecl(kVarConst, true);
  } else if (Kw == TKw::Let && LetStartsDecl()) {
    Init = VarDecl(kVarLet, true);
  } else {
    const bool StartsLet = Kw == TKw::Let;
    const bool StartsAsync = Kw == TKw::Async && !Await;
    Init = Expression();
    // `for (let.x of a)` and `for (async of a)` are errors the printer's
    // parentheses would repair.
    if (Kw == TKw::Of && (StartsLet || (StartsAsync && Init && Init->Kind == K::Ident)))
      Fail("for-of cannot begin with let or async");
  }
  NoIn = WasNoIn;
  if (Kw == TKw::Of || Kw == TKw::In) {
    N->Kind = Kw == TKw::Of ? K::ForOf : K::ForIn;
    if (Await) N->Flags |= fAwait;
    const bool Of = Kw == TKw::Of;
    if (Init && Init->Kind == K::Paren && Init->A &&
        (Init->A->Kind == K::Object || Init->A->Kind == K::Array))
      Fail("a parenthesised pattern cannot be assigned to");
    Next();
    N->A = Init;
    N->B = Of ? Assign() : Expression();
    Expect(Pc(")"));
    N->D = Statement();
    return N;
  }
  if (Await) Fail("for await needs of");
  N->A = Init;
  Expect(Pc(";"));
  if (!IsP(Pc(";"))) N->B = Expression();
  Expect(Pc(";"));
  if (!IsP(Pc(")"))) N->C = Expression();
  Expect(Pc(")"));
  N->D = Statement();
  return N;
}

TJsNode* TParser::TryStatement() {
  TJsNode* N = New(K::Try);
  Next();
  N->A = BlockStatement();
  if (Kw == TKw::Catch) {
    Next();
    if (Eat(Pc("("))) {
      N->B = BindingTarget();
      Expect(Pc(")"));
    }
    N->C = BlockStatement();
  }
  if (Kw == TKw::Finally) {
    Next();
    N->D = BlockStatement();
  }
  if (!N->C && !N->D) Fail("catch or finally expected");
  return N;
}

TJsNode* TParser::SwitchStatement() {
  TJsNode* N = New(K::Switch);
  Next();
  Expect(Pc("("));
  N->A = Expression();
  Expect(Pc(")"));
  Expect(Pc("{"));
  TJsNode Head{};
  TJsNode* Last = &Head;
  while (!Eof && !IsP(Pc("}"))) {
    TJsNode* C = New(K::Case);
    if (Kw == TKw::Case) {
      Next();
      C->A = Expression();
    } else if (Kw == TKw::Default) {
      Next();
    } else {
      Fail("case expected");
      break;
    }
    Expect(Pc(":"));
    TJsNode BHead{};
    TJsNode* BLast = &BHead;
    while (!Eof && !IsP(Pc("}")) && Kw != TKw::Case && Kw != TKw::Default) {
      TJsNode* S = StatementListItem();
      if (!S) break;
      BLast->Next = S;
      BLast = S;
    }
    C->B = BHead.Next;
    Last->Next = C;
    Last = C;
  }
  N->B = Head.Next;
  Expect(Pc("}"));
  return N;
}

TJsNode* TParser::ModuleName() {
  if (Tok.Kind != TJsTok::Str || Eof) {
    Fail("module name expected");
    return nullptr;
  }
  TJsNode* S = New(K::Str);
  Next();
  return S;
}

TJsNode* TParser::Attributes() {
  if (Kw != TKw::With || Tok.NewlineBefore) return nullptr;
  Next();
  return ListLiteral(K::Object);
}

TJsNode* TParser::ImportDecl() {
  TJsNode* N = New(K::Import);
  Next();
  if (Tok.Kind == TJsTok::Str) {
    N->B = ModuleName();
    N->C = Attributes();
    Semicolon();
    return N;
  }
  TJsNode Head{};
  TJsNode* Last = &Head;
  auto Add = [&](TJsNode* S) {
    Last->Next = S;
    Last = S;
  };
  if (IsName() && !IsP(Pc("*"))) {
    TJsNode* S = New(K::ImportItem);
    S->Flags = fDefault;
    S->B = Ident();
    Add(S);
    if (!Eat(Pc(","))) goto From;
  }
  if (IsP(Pc("*"))) {
    TJsNode* S = New(K::ImportItem);
    S->Flags = fNamespace;
    Next();
    if (Kw != TKw::As) Fail("as expected");
    Next();
    S->B = Ident();
    Add(S);
  } else if (Eat(Pc("{"))) {
    while (!Eof && !IsP(Pc("}"))) {
      TJsNode* S = New(K::ImportItem);
      if (Tok.Kind == TJsTok::Str || IsName()) {
        S->A = New(Tok.Kind == TJsTok::Str ? K::Str : K::Ident);
        const bool Plain = Tok.Kind == TJsTok::Name;
        Next();
        if (Kw == TKw::As) {
          Next();
          S->B = Ident();
        } else if (Plain) {
          S->B = Ar.Node(K::Ident, S->A->Begin, S->A->End);  // {a}: a is also the local name
        } else {
          Fail("as expected");
        }
      } else {
        Fail("name expected");
      }
      Add(S);
      if (!IsP(Pc("}"))) Expect(Pc(","));
    }
    Expect(Pc("}"));
  }
From:
  N->A = Head.Next;
  if (Kw != TKw::From) Fail("from expected");
  Next();
  N->B = ModuleName();
  N->C = Attributes();
  Semicolon();
  return N;
}

TJsNode* TParser::ExportDecl() {
  TJsNode* N = New(K::Export);
  Next();
  if (Eat(Pc("*"))) {
    N->Flags = fAll;
    if (Kw == TKw::As) {
      Next();
      if (Tok.Kind != TJsTok::Str && !IsName()) Fail("name expected");
      N->A = New(Tok.Kind == TJsTok::Str ? K::Str : K::Ident);
      Next();
    }
    if (Kw != TKw::From) Fail("from expected");
    Next();
    N->B = ModuleName();
    N->C = Attributes();
    Semicolon();
    return N;
  }
  if (Kw == TKw::Default) {
    N->Flags = fDefault;
    Next();
    if (Kw == TKw::Function) {
      N->A = Function(uint32_t(Tok.Begin), fDecl, false);
    } else if (AsyncFunctionAhead()) {
      const uint32_t Begin = uint32_t(Tok.Begin);
      Next();
      N->A = Function(Begin, fDecl | fAsync, false);
    } else if (Kw == TKw::Class) {
      N->A = Class(true, false);
    } else {
      N->A = Assign();
      Semicolon();
    }
    return N;
  }
  if (Eat(Pc("{"))) {
    TJsNode Head{};
    TJsNode* Last = &Head;
    while (!Eof && !IsP(Pc("}"))) {
      TJsNode* S = New(K::ExportItem);
      if (Tok.Kind != TJsTok::Str && !IsName()) Fail("name expected");
      S->A = New(Tok.Kind == TJsTok::Str ? K::Str : K::Ident);
      Next();
      if (Kw == TKw::As) {
        Next();
        if (Tok.Kind != TJsTok::Str && !IsName()) Fail("name expected");
        S->B = New(Tok.Kind == TJsTok::Str ? K::Str : K::Ident);
        Next();
      }
      Last->Next = S;
      Last = S;
      if (!IsP(Pc("}"))) Expect(Pc(","));
    }
    Expect(Pc("}"));
    N->A = Head.Next;
    if (Kw == TKw::From) {
      Next();
      N->B = ModuleName();
      N->C = Attributes();
    }
    Semicolon();
    return N;
  }
  N->Flags = fDecl;
  if (Kw == TKw::Var || Kw == TKw::Let || Kw == TKw::Const) {
    N->A = VarDecl(Kw == TKw::Var ? kVarVar : Kw == TKw::Let ? kVarLet : kVarConst, false);
  } else if (Kw == TKw::Function || Kw == TKw::Class || AsyncFunctionAhead()) {
    N->A = StatementListItem();
  } else {
    Fail("declaration expected");
  }
  return N;
}

// ---- Functions and classes ----

TJsNode* TParser::Function(uint32_t Begin, uint16_t Flags, bool NameRequired) {
  Next();  // function
  TJsNode* F = Ar.Node(K::Function, Begin, Begin);
  F->Flags = Flags;
  if (Eat(Pc("*"))) F->Flags |= fGenerator;
  const TContext Outer = Save();
  if (!(Flags & fDecl)) {
    // The name of a function expression is read in the function's own context.
    InAsync = Flags & fAsync;
    InGenerator = F->Flags & fGenerator;
  }
  if (IsName() && !IsP(Pc("("))) {
    F->A = Ident();
  } else if (NameRequired) {
    Fail("function name expected");
  }
  InAsync = F->Flags & fAsync;
  InGenerator = F->Flags & fGenerator;
  InFunction = true;
  NoIn = false;
  FunctionRest(F);
  Restore(Outer);
  return F;
}

// Parameters and body of F, in F's context (set by the caller).
void TParser::FunctionRest(TJsNode* F) {
  if (!Enter()) return;
  F->B = Params();
  Expect(Pc("{"));
  bool SawStrict;
  F->C = Body(true, Pc("}"), SawStrict);
  if (Strict) F->Flags |= fStrict;
  Expect(Pc("}"));
  F->End = PrevEnd;
  --Depth;
}

TJsNode* TParser::Params() {
  Expect(Pc("("));
  TJsNode Head{};
  TJsNode* Last = &Head;
  while (!Eof && !IsP(Pc(")"))) {
    TJsNode* P;
    const bool Rest = IsP(Pc("..."));
    if (Rest) {
      P = New(K::Spread);
      Next();
      P->A = BindingTarget();
    } else {
      P = BindingElement();
    }
    Last->Next = P;
    Last = P;
    if (Rest && !IsP(Pc(")"))) Fail("a rest parameter must come last");
    if (!IsP(Pc(")"))) Expect(Pc(","));
  }
  Expect(Pc(")"));
  return Head.Next;
}

TJsNode* TParser::Class(bool Decl, bool NameRequired) {
  TJsNode* C = New(K::Class);
  if (Decl) C->Flags |= fDecl;
  Next();
  const TContext Outer = Save();
  Strict = true;
  if (IsName() && Kw != TKw::Extends) {
    C->A = Ident();
  } else if (NameRequired) {
    Fail("class name expected");
  }
  if (Kw == TKw::Extends) {
    Next();
    C->B = Lhs();
  }
  Expect(Pc("{"));
  TJsNode Head{};
  TJsNode* Last = &Head;
  while (!Eof && !IsP(Pc("}"))) {
    if (Eat(Pc(";"))) continue;
    TJsNode* M = Member(true);
    Last->Next = M;
    Last = M;
  }
  C->C = Head.Next;
  Expect(Pc("}"));
  C->End = PrevEnd;
  Restore(Outer);
  return C;
}

// A property key; Flags gets fComputed. Any name (keywords too) is a key.
TJsNode* TParser::PropertyKey(bool IsClass, uint16_t& Flags) {
  if (Eat(Pc("["))) {
    const bool WasNoIn = NoIn;
    NoIn = false;
    TJsNode* E = Assign();
    NoIn = WasNoIn;
    Expect(Pc("]"));
    Flags |= fComputed;
    return E;
  }
  TJsNode* Key = nullptr;
  if (Tok.Kind == TJsTok::Name) {
    Key = New(K::Ident);
  } else if (Tok.Kind == TJsTok::Str) {
    Key = New(K::Str);
  } else if (Tok.Kind == TJsTok::Num) {
    Key = New(K::Num);
  } else if (Tok.Kind == TJsTok::Private && IsClass) {
    Key = New(K::PrivateName);
  } else {
    Fail("property name expected");
    return New(K::Ident);
  }
  Next();
  return Key;
}

TJsNode* TParser::Member(bool IsClass) {
  TJsNode* P = New(K::Property);
  if (!Enter()) return P;
  uint16_t Flags = 0;
  uint16_t FnFlags = fMethod;
  // Modifiers are names too: one is a modifier only when a key follows it.
  auto KeyFollows = [&] {
    if (Eof || IsP(Pc("(")) || IsP(Pc("=")) || IsP(Pc(";")) || IsP(Pc("}")) || IsP(Pc(",")) ||
        IsP(Pc(":")))
      return false;
    // A line break after static, get or set does not end a field: `get\n x() {}`
    // is a getter (after async it does; that is checked there).
    return true;
  };
  TJsNode* Key = nullptr;
  if (IsClass && Kw == TKw::Static) {
    Key = PropertyKey(IsClass, Flags);
    if (IsP(Pc("{"))) {
      P->Flags = fStaticBlock | fStatic;
      const TContext Outer = Save();
      InFunction = true;
      InAsync = InGenerator = false;
      P->B = BlockStatement();
      Restore(Outer);
      P->End = PrevEnd;
      --Depth;
      return P;
    }
    if (KeyFollows()) {
      Flags |= fStatic;
      Key = nullptr;
    }
  }
  if (!Key && Kw == TKw::Async) {
    Key = PropertyKey(IsClass, Flags);
    if (KeyFollows() && !Tok.NewlineBefore) {
      FnFlags |= fAsync;
      Key = nullptr;
    }
  }
  if (!Key && Eat(Pc("*"))) FnFlags |= fGenerator;
  if (!Key && (Kw == TKw::Get || Kw == TKw::Set) && !(FnFlags & (fAsync | fGenerator))) {
    const bool Get = Kw == TKw::Get;
    Key = PropertyKey(IsClass, Flags);
    if (KeyFollows()) {
      Flags |= Get ? fGetter : fSetter;
      Key = nullptr;
    }
  }
  if (!Key) Key = PropertyKey(IsClass, Flags);
  P->A = Key;
  if (IsP(Pc("("))) {
    Flags |= fMethodProp;
    TJsNode* F = Ar.Node(K::Function, uint32_t(Tok.Begin), uint32_t(Tok.Begin));
    F->Flags = FnFlags;
    const TContext Outer = Save();
    InAsync = FnFlags & fAsync;
    InGenerator = FnFlags & fGenerator;
    InFunction = true;
    NoIn = false;
    FunctionRest(F);
    Restore(Outer);
    P->B = F;
  } else if (FnFlags != fMethod || (Flags & (fGetter | fSetter))) {
    Fail("( expected");
  } else if (IsClass) {
    Flags |= fField;
    if (Eat(Pc("="))) {
      const TContext Outer = Save();
      InFunction = true;
      InAsync = InGenerator = false;
      NoIn = false;
      P->B = Assign();
      Restore(Outer);
    }
    Semicolon();
  } else if (Eat(Pc(":"))) {
    P->B = Assign();
  } else if (Key->Kind == K::Ident && !(Flags & fComputed)) {
    Flags |= fShorthand;
    TJsNode* Value = Ar.Node(K::Ident, Key->Begin, Key->End);
    if (IsP(Pc("="))) {  // {a = 1}: only a pattern may hold it
      Next();
      TJsNode* A = Ar.Node(K::Assign, Key->Begin, Key->End);
      A->Op = Pc("=");
      A->A = Value;
      A->B = Assign();
      Value = A;
    }
    P->B = Value;
  } else {
    Fail(": expected");
  }
  P->Flags = Flags;
  P->End = PrevEnd;
  --Depth;
  return P;
}

// Whether N, read as an expression, can be a binding pattern as written (a
// parenthesised one cannot: the printer would drop the parentheses).
bool IsBindingPattern(const TJsNode* N, bool Element) {
  if (!N) return false;
  switch (N->Kind) {
    case K::Ident:
      return true;
    case K::Assign:
      return Element && N->Op == Pc("=") && IsBindingPattern(N->A, false);
    case K::Array:
      for (const TJsNode* X = N->A; X; X = X->Next)
        if (X->Kind != K::Hole && !IsBindingPattern(X, true)) return false;
      return !(N->Flags & fTrailingComma);
    case K::Object:
      for (const TJsNode* X = N->A; X; X = X->Next) {
        const TJsNode* V = X->Kind == K::Spread ? X : X->B;
        if ((X->Flags & fMethodProp) || (X->Flags & (fGetter | fSetter)) ||
            !IsBindingPattern(V, true))
          return false;
      }
      return !(N->Flags & fTrailingComma);
    case K::Spread:
      return Element && !N->Next && IsBindingPattern(N->A, false);
    default:
      return false;
  }
}

TJsNode* TParser::ArrowFrom(TJsNode* Params, uint32_t Begin, bool Async) {
  // Tok is "=>".
  if (Tok.NewlineBefore) Fail("line break before =>");
  for (const TJsNode* P = Params; P; P = P->Next)
    if (!IsBindingPattern(P, true)) Fail("bad arrow parameters");
  Next();
  TJsNode* F = Ar.Node(K::Function, Begin, Begin);
  F->Flags = fArrow | (Async ? fAsync : 0);
  F->B = Params;
  if (!Enter()) return F;
  const TContext Outer = Save();
  InAsync = Async;
  InGenerator = false;
  InFunction = true;
  if (IsP(Pc("{"))) {
    NoIn = false;
    Next();
    bool SawStrict;
    F->C = Body(true, Pc("}"), SawStrict);
    Expect(Pc("}"));
  } else {
    F->Flags |= fExprBody;
    F->C = Assign();
  }
  if (Strict) F->Flags |= fStrict;
  Restore(Outer);
  --Depth;
  F->End = PrevEnd;
  return F;
}

// ---- Bindings ----

TJsNode* TParser::BindingTarget() {
  if (IsP(Pc("["))) return ListLiteral(K::Array);
  if (IsP(Pc("{"))) return ListLiteral(K::Object);
  return Ident();
}

TJsNode* TParser::BindingElement() {
  TJsNode* T0 = BindingTarget();
  if (!IsP(Pc("="))) return T0;
  TJsNode* A = New(K::Assign);
  A->Begin = T0->Begin;
  A->Op = Pc("=");
  Next();
  A->A = T0;
  A->B = Assign();
  return A;
}

// ---- Expressions ----

TJsNode* TParser::Expression() {
  TJsNode* E = Assign();
  if (!IsP(Pc(","))) return E;
  TJsNode* S = Ar.Node(K::Seq, E ? E->Begin : 0, 0);
  S->A = E;
  TJsNode* Last = E;
  while (Eat(Pc(",")) && Last) {
    TJsNode* X = Assign();
    Last->Next = X;
    Last = X;
  }
  S->End = PrevEnd;
  return S;
}

// Whether N can be assigned to: a name or member (through parentheses), or
// an unparenthesised object or array pattern when Plain ("=", not a compound
// operator). A call is let through: assigning to one fails when it runs, as
// browsers have it.
bool IsAssignTarget(const TJsNode* N, bool Plain) {
  if (N->Kind == K::Object || N->Kind == K::Array) return Plain;
  while (N->Kind == K::Paren && N->A && N->A->Kind != K::Seq) N = N->A;
  if (N->Kind == K::Ident || N->Kind == K::Call) return true;
  if (N->Kind != K::Dot && N->Kind != K::Index) return false;
  // Not part of an optional chain (a?.b = 1); parentheses end a chain
  for (const TJsNode* X = N; X && (X->Kind == K::Dot || X->Kind == K::Index || X->Kind == K::Call);
       X = X->A)
    if (X->Flags & fOptional) return false;
  return true;
}

// Whether a line terminator stands between At and the next "(" of Text,
// where only white space and comments can stand (a line comment ends in one).
bool LineBreakBeforeParen(std::string_view Text, size_t At) {
  for (size_t I = At; I < Text.size() && Text[I] != '('; ++I) {
    const char C = Text[I];
    if (C == '\n' || C == '\r') return true;
    if (C == '/' && I + 1 < Text.size() && Text[I + 1] == '/') return true;
    if (C == '/' && I + 1 < Text.size() && Text[I + 1] == '*') {
      const size_t E = Text.find("*/", I + 2);
      const std::string_view Body = Text.substr(I + 2, E == std::string_view::npos ? E : E - I - 2);
      if (Body.find_first_of("\n\r") != std::string_view::npos ||
          Body.find("\xE2\x80\xA8") != std::string_view::npos ||
          Body.find("\xE2\x80\xA9") != std::string_view::npos)
        return true;
      if (E == std::string_view::npos) return false;
      I = E + 1;
      continue;
    }
    // U+2028 and U+2029 (in a UTF-8 file)
    if (C == '\xE2' && Text.substr(I, 2) == "\xE2\x80" && I + 2 < Text.size() &&
        (Text[I + 2] == '\xA8' || Text[I + 2] == '\xA9'))
      return true;
  }
  return false;
}

TJsNode* TParser::Assign() {
  if (!Enter()) return New(K::Ident);
  TJsNode* R = nullptr;
  if (Kw == TKw::Yield && InGenerator) {
    R = Yield();
    --Depth;
    return R;
  }
  const uint32_t Begin = uint32_t(Tok.Begin);
  if (Kw == TKw::Async && !Eof) {
    TKw NK;
    const TJsToken X = Peek(NK);
    if (X.Kind == TJsTok::Name && !X.NewlineBefore && NK != TKw::Function) {
      Next();
      TJsNode* P = Ident();
      R = IsP(Pc("=>")) ? ArrowFrom(P, Begin, true) : (Fail("=> expected"), P);
      --Depth;
      return R;
    }
  }
  TJsNode* Left = Conditional();
  if (IsP(Pc("=>")) && Left && Tok.NewlineBefore) Fail("a line break before =>");
  if (IsP(Pc("=>")) && Left) {
    if (Left->Kind == K::Ident) {
      R = ArrowFrom(Left, Begin, false);
    } else if (Left->Kind == K::Paren && Left->Begin == Begin) {
      TJsNode* Inner = Left->A;
      R = ArrowFrom(Inner && Inner->Kind == K::Seq ? Inner->A : Inner, Begin, false);
    } else if (Left->Kind == K::Call && !(Left->Flags & (fOptional | fTrailingComma)) &&
               Left->A->Kind == K::Ident &&
               T.substr(Left->A->Begin, Left->A->End - Left->A->Begin) == "async" &&
               Left->Begin == Begin) {
      if (LineBreakBeforeParen(T, Left->A->End)) Fail("no line break may follow async here");
      R = ArrowFrom(Left->B, Begin, true);
    } else {
      Fail("bad arrow parameters");
      R = Left;
    }
  } else if (Left && Left->Kind == K::Paren && (Left->Flags & fCoverOnly)) {
    Fail("=> expected");
    R = Left;
  } else if (Tok.Kind == TJsTok::Punct && IsJsAssignOp(Tok.Code) && !Eof) {
    if (Left && Left->Kind == K::Paren && Left->A &&
        (Left->A->Kind == K::Object || Left->A->Kind == K::Array))
      Fail("a parenthesised pattern cannot be assigned to");
    else if (Left && !IsAssignTarget(Left, Tok.Code == Pc("=")))
      Fail("this cannot be assigned to");
    R = New(K::Assign);
    R->Begin = Begin;
    R->Op = Tok.Code;
    Next();
    R->A = Left;
    R->B = Assign();
    R->End = PrevEnd;
  } else {
    R = Left;
  }
  --Depth;
  return R;
}

TJsNode* TParser::Yield() {
  TJsNode* Y = New(K::Yield);
  Next();
  if (IsP(Pc("*")) && !Tok.NewlineBefore) {
    Y->Flags |= fDelegate;
    Next();
    Y->A = Assign();
  } else if (!Eof && !Tok.NewlineBefore &&
             !(Tok.Kind == TJsTok::Punct &&
               (Tok.Code == Pc(")") || Tok.Code == Pc("]") || Tok.Code == Pc("}") ||
                Tok.Code == Pc(",") || Tok.Code == Pc(";") || Tok.Code == Pc(":") ||
                Tok.Code == Pc("?") || Tok.Code == Pc("=>"))) &&
             !(Tok.Kind == TJsTok::Template && T[Tok.Begin] == '}') && Kw != TKw::In &&
             Kw != TKw::Of) {
    Y->A = Assign();
  }
  Y->End = PrevEnd;
  return Y;
}

TJsNode* TParser::Conditional() {
  const uint32_t Begin = uint32_t(Tok.Begin);
  TJsNode* Test = Binary(1);
  if (!IsP(Pc("?"))) return Test;
  TJsNode* C = Ar.Node(K::Cond, Begin, 0);
  Next();
  C->A = Test;
  const bool WasNoIn = NoIn;
  NoIn = false;
  C->B = Assign();
  NoIn = WasNoIn;
  Expect(Pc(":"));
  C->C = Assign();
  C->End = PrevEnd;
  return C;
}

TJsNode* TParser::Binary(int MinLevel) {
  const uint32_t Begin = uint32_t(Tok.Begin);
  TJsNode* Left;
  if (Tok.Kind == TJsTok::Private && !Eof) {  // #x in obj
    Left = New(K::PrivateName);
    Next();
    if (Kw != TKw::In) Fail("in expected");
  } else {
    Left = Unary();
  }
  int Chain = 0;
  for (;;) {
    uint64_t Op = 0;
    if (Tok.Kind == TJsTok::Punct && !Eof) {
      Op = Tok.Code;
    } else if (Kw == TKw::In && !NoIn) {
      Op = kOpIn;
    } else if (Kw == TKw::Instanceof) {
      Op = kOpInstanceof;
    }
    const int Level = Op ? BinaryLevel(Op) : 0;
    if (Level == 0 || Level < MinLevel) break;
    if (++Chain + Depth > kMaxDepth) {
      Fail("nested too deeply");
      break;
    }
    Next();
    TJsNode* N = Ar.Node(K::Binary, Begin, 0);
    N->Op = Op;
    N->A = Left;
    // -a ** b is an error (the printer would write (-a)**b)
    if (Op == Pc("**") && (Left->Kind == K::Unary || Left->Kind == K::Await))
      Fail("a unary operator before ** needs parentheses");
    N->B = Level == kLevelExponent ? Binary(Level) : Binary(Level + 1);
    N->End = PrevEnd;
    // "??" never mixes with "||" or "&&" without parentheses (a Paren node
    // stands for written ones).
    auto Logical = [](const TJsNode* X, bool Nullish) {
      return X && X->Kind == K::Binary &&
             (Nullish ? X->Op == Pc("??") : (X->Op == Pc("||") || X->Op == Pc("&&")));
    };
    const bool IsNullish = Op == Pc("??");
    if ((IsNullish || Op == Pc("||") || Op == Pc("&&")) &&
        (Logical(N->A, !IsNullish) || Logical(N->B, !IsNullish)))
      Fail("?? mixed with || or &&");
    Left = N;
  }
  return Left;
}

TJsNode* TParser::Unary() {
  if (!Enter()) return New(K::Ident);
  TJsNode* N = nullptr;
  uint64_t Op = 0;
  if (Tok.Kind == TJsTok::Punct && !Eof &&
      (Tok.Code == Pc("!") || Tok.Code == Pc("~") || Tok.Code == Pc("+") || Tok.Code == Pc("-")))
    Op = Tok.Code;
  else if (Kw == TKw::Typeof)
    Op = kOpTypeof;
  else if (Kw == TKw::Void)
    Op = kOpVoid;
  else if (Kw == TKw::Delete)
    Op = kOpDelete;
  if (Op) {
    N = New(K::Unary);
    N->Op = Op;
    Next();
    N->A = Unary();
  } else if (IsP(Pc("++")) || IsP(Pc("--"))) {
    N = New(K::Update);
    N->Op = Tok.Code;
    N->Flags = fPrefix;
    Next();
    N->A = Unary();
  } else if (Kw == TKw::Await && (InAsync || (Module && !InFunction))) {
    N = New(K::Await);
    Next();
    N->A = Unary();
  } else {
    N = Lhs();
    if ((IsP(Pc("++")) || IsP(Pc("--"))) && !Tok.NewlineBefore) {
      TJsNode* U = Ar.Node(K::Update, N ? N->Begin : 0, uint32_t(Tok.End));
      U->Op = Tok.Code;
      U->A = N;
      Next();
      N = U;
    }
  }
  if (N) N->End = PrevEnd;
  --Depth;
  return N;
}

TJsNode* TParser::Arguments() {
  SpreadComma = false;
  Expect(Pc("("));
  TJsNode Head{};
  TJsNode* Last = &Head;
  const bool WasNoIn = NoIn;
  NoIn = false;
  while (!Eof && !IsP(Pc(")"))) {
    TJsNode* A;
    if (IsP(Pc("..."))) {
      A = New(K::Spread);
      Next();
      A->A = Assign();
      A->End = PrevEnd;
    } else {
      A = Assign();
    }
    if (!A) break;
    Last->Next = A;
    Last = A;
    if (!IsP(Pc(")"))) {
      Expect(Pc(","));
      if (A->Kind == K::Spread && IsP(Pc(")"))) SpreadComma = true;
    }
  }
  NoIn = WasNoIn;
  Expect(Pc(")"));
  return Head.Next;
}

TJsNode* TParser::Lhs() {
  const uint32_t Begin = uint32_t(Tok.Begin);
  if (Kw == TKw::New) {
    if (!Enter()) return New(K::Ident);
    Next();
    TJsNode* N;
    if (IsP(Pc("."))) {
      Next();
      if (Tok.Kind != TJsTok::Name || T.substr(Tok.Begin, Tok.End - Tok.Begin) != "target")
        Fail("new.target expected");
      Next();
      N = Ar.Node(K::MetaProp, Begin, PrevEnd);
    } else {
      N = Ar.Node(K::New, Begin, 0);
      TJsNode* Callee = Kw == TKw::New ? Lhs() : Primary();
      if (Callee && Callee->Kind == K::ImportCall) Fail("new import()");
      N->A = CallTail(Callee, true);
      if (IsP(Pc("("))) {
        N->Flags |= fHasArgs;
        N->B = Arguments();
      }
      N->End = PrevEnd;
    }
    --Depth;
    return CallTail(N, false);
  }
  return CallTail(Primary(), false);
}

// Member accesses, calls and tagged templates after E. NoCalls: a `new`
// callee, which ends at the first "(".
TJsNode* TParser::CallTail(TJsNode* E, bool NoCalls) {
  int Chain = 0;
  const uint32_t Begin = E ? E->Begin : 0;
  bool InChain = false;  // an optional chain runs
  while (!Eof && E) {
    if (++Chain + Depth > kMaxDepth) {
      Fail("nested too deeply");
      break;
    }
    TJsNode* N = nullptr;
    bool Optional = false;
    if (IsP(Pc("?."))) {
      if (NoCalls) {
        Fail("?. in a new callee");
        break;
      }
      Optional = InChain = true;
      Next();
    }
    if (Optional || IsP(Pc("."))) {
      if (!Optional) Next();
      if (Optional && IsP(Pc("("))) {
        N = Ar.Node(K::Call, Begin, 0);
        N->B = Arguments();
      } else if (Optional && IsP(Pc("["))) {
        goto IndexAccess;
      } else if (Tok.Kind == TJsTok::Name || Tok.Kind == TJsTok::Private) {
        N = Ar.Node(K::Dot, uint32_t(Tok.Begin), uint32_t(Tok.End));
        if (Tok.Kind == TJsTok::Private) N->Flags |= fPrivate;
        Next();
      } else {
        Fail("name expected after .");
        break;
      }
    } else if (IsP(Pc("["))) {
    IndexAccess:
      Next();
      N = Ar.Node(K::Index, Begin, 0);
      const bool WasNoIn = NoIn;
      NoIn = false;
      N->B = Expression();
      NoIn = WasNoIn;
      Expect(Pc("]"));
    } else if (IsP(Pc("(")) && !NoCalls) {
      N = Ar.Node(K::Call, Begin, 0);
      N->B = Arguments();
      if (SpreadComma) N->Flags |= fTrailingComma;
    } else if (Tok.Kind == TJsTok::Template && T[Tok.Begin] == '`') {
      if (InChain) {
        Fail("tagged template in an optional chain");
        break;
      }
      N = Ar.Node(K::TaggedTemplate, Begin, 0);
      N->B = TemplateLiteral();
    } else {
      break;
    }
    if (Optional) N->Flags |= fOptional;
    N->A = E;
    if (N->Kind != K::Dot) N->End = PrevEnd;
    if (N->Kind == K::Call && E->Kind == K::Ident && !Optional &&
        T.substr(E->Begin, E->End - E->Begin) == "eval") {
      N->Flags |= fDirectEval;
      Prog.HasDirectEval = true;
    }
    E = N;
  }
  return E;
}

TJsNode* TParser::TemplateLiteral() {
  TJsNode* N = New(K::Template);
  const size_t Begin = Tok.Begin;
  TJsNode* Part = New(K::TemplatePart);
  N->A = Part;
  TJsNode* Last = Part;
  const bool WasNoIn = NoIn;
  NoIn = false;
  while (!Eof && T[Tok.End - 1] == '{') {
    Next();
    TJsNode* E = Expression();
    if (!IsP(Pc("}")) || !E) {
      Fail("} expected in template");
      break;
    }
    ReadAgain(false, Begin);
    if (Tok.Kind != TJsTok::Template) {
      Fail("template expected");
      break;
    }
    Part = New(K::TemplatePart);
    Last->Next = E;
    E->Next = Part;
    Last = Part;
  }
  NoIn = WasNoIn;
  Next();
  N->End = PrevEnd;
  return N;
}

// "[" ... "]" (Kind Array) or "{" ... "}" (Kind Object): elements or
// properties and spreads, a "," after each but the last; a "," after a last
// spread is flagged (in a pattern it is an error).
TJsNode* TParser::ListLiteral(K Kind) {
  const bool IsArray = Kind == K::Array;
  const uint64_t Close = IsArray ? Pc("]") : Pc("}");
  TJsNode* N = New(Kind);
  Next();
  TJsNode Head{};
  TJsNode* Last = &Head;
  const bool WasNoIn = NoIn;
  NoIn = false;
  while (!Eof && !IsP(Close)) {
    TJsNode* E;
    if (IsArray && IsP(Pc(","))) {
      E = New(K::Hole);
    } else if (IsP(Pc("..."))) {
      E = New(K::Spread);
      Next();
      E->A = Assign();
      E->End = PrevEnd;
    } else {
      E = IsArray ? Assign() : Member(false);
    }
    if (!E) break;
    Last->Next = E;
    Last = E;
    if (!IsP(Close)) {
      Expect(Pc(","));
      if (E->Kind == K::Spread && IsP(Close)) N->Flags |= fTrailingComma;
    }
  }
  NoIn = WasNoIn;
  N->A = Head.Next;
  Expect(Close);
  N->End = PrevEnd;
  return N;
}

// "(" ... ")": a parenthesised expression or arrow parameters.
TJsNode* TParser::ParenCover() {
  TJsNode* P = New(K::Paren);
  Next();
  const bool WasNoIn = NoIn;
  NoIn = false;
  TJsNode Head{};
  TJsNode* Last = &Head;
  int Count = 0;
  while (!Eof && !IsP(Pc(")"))) {
    TJsNode* E;
    if (IsP(Pc("..."))) {
      E = New(K::Spread);
      Next();
      E->A = BindingTarget();
      E->End = PrevEnd;
      P->Flags |= fCoverOnly;
    } else {
      E = Assign();
    }
    if (!E) break;
    ++Count;
    Last->Next = E;
    Last = E;
    if (IsP(Pc(")"))) break;
    Expect(Pc(","));
    if (E->Kind == K::Spread) Fail("a rest parameter must come last");
    if (IsP(Pc(")"))) P->Flags |= fCoverOnly;  // a trailing comma
  }
  NoIn = WasNoIn;
  Expect(Pc(")"));
  if (Count == 0) P->Flags |= fCoverOnly;
  if (Count <= 1) {
    P->A = Head.Next;
  } else {
    TJsNode* S = Ar.Node(K::Seq, Head.Next->Begin, Last->End);
    S->A = Head.Next;
    P->A = S;
  }
  P->End = PrevEnd;
  return P;
}

TJsNode* TParser::Primary() {
  if (Eof) {
    Fail("unexpected end");
    return nullptr;
  }
  const uint32_t Begin = uint32_t(Tok.Begin);
  TJsNode* N = nullptr;
  switch (Tok.Kind) {
    case TJsTok::Num:
      N = New(K::Num);
      Next();
      return N;
    case TJsTok::Str:
      N = New(K::Str);
      Next();
      return N;
    case TJsTok::Template:
      if (T[Tok.Begin] != '`') break;
      return TemplateLiteral();
    case TJsTok::Regex:
    case TJsTok::Private:
      break;
    case TJsTok::Punct:
      if (Tok.Code == Pc("(")) return ParenCover();
      if (Tok.Code == Pc("[")) return ListLiteral(K::Array);
      if (Tok.Code == Pc("{")) return ListLiteral(K::Object);
      if (Tok.Code == Pc("/") || Tok.Code == Pc("/=")) {
        ReadAgain(true, std::string_view::npos);
        if (Tok.Kind != TJsTok::Regex) break;
        N = New(K::Regex);
        Next();
        return N;
      }
      break;
    case TJsTok::Name:
      switch (Kw) {
        case TKw::This:
          N = New(K::This);
          Next();
          return N;
        case TKw::Super:
          N = New(K::Super);
          Next();
          return N;
        case TKw::Null:
        case TKw::True:
        case TKw::False:
          N = New(K::Literal);
          Next();
          return N;
        case TKw::Function:
          return Function(Begin, 0, false);
        case TKw::Class:
          return Class(false, false);
        case TKw::Import:
          Next();
          if (Eat(Pc("."))) {
            if (Tok.Kind != TJsTok::Name || T.substr(Tok.Begin, Tok.End - Tok.Begin) != "meta" ||
                !Module)
              Fail("import.meta expected");
            Next();
            return Ar.Node(K::MetaProp, Begin, PrevEnd);
          }
          N = Ar.Node(K::ImportCall, Begin, 0);
          Expect(Pc("("));
          N->A = Assign();
          if (Eat(Pc(",")) && !IsP(Pc(")"))) {
            N->B = Assign();
            Eat(Pc(","));
          }
          Expect(Pc(")"));
          N->End = PrevEnd;
          return N;
        case TKw::Async:
          if (AsyncFunctionAhead()) {
            Next();
            return Function(Begin, fAsync, false);
          }
          return Ident();
        default:
          return Ident();
      }
  }
  Fail("unexpected token");
  return nullptr;
}

bool TParser::Run(std::string& Error, size_t& ErrorAt) {
  Prog.Module = Module;
  Prog.HashbangEnd = Lex.SkipHashbang();
  Strict = Module;
  Tok.End = Prog.HashbangEnd;
  Next();
  TJsNode* Root = Ar.Node(K::Program, 0, uint32_t(T.size()));
  bool SawStrict;
  Root->A = Body(true, 0, SawStrict);
  if (Strict) Root->Flags |= fStrict;
  if (Module) Root->Flags |= fModule;
  if (!Bad && !Eof) Fail("unexpected token");
  if (Bad) {
    Error = Why;
    ErrorAt = WhyAt;
    return false;
  }
  Prog.Root = Root;
  Prog.FinalSemicolon = PrevEnd > 0 && T[PrevEnd - 1] == ';';
  return true;
}

}  // namespace

bool ParseJs(std::string_view Text, TCodePage Page, bool Module, TJsProgram& Program,
             std::string& Error, size_t& ErrorAt) {
  if (Text.size() >= (size_t(1) << 31)) {
    Error = "too large";
    ErrorAt = 0;
    return false;
  }
  return TParser(Text, Page, Module, Program).Run(Error, ErrorAt);
}

}  // namespace larkspan::minify
