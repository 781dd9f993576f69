#include "minify/JsSimplify.h"

#include <algorithm>

#include "minify/JsSyntax.h"

namespace larkspan::minify {

namespace {

using K = TJsNodeKind;

constexpr uint64_t Pc(const char* S) { return JsPunct(S); }

// A declaration that is scoped to the block it stands in: such a block keeps
// its braces.
bool IsLexical(const TJsNode* S) {
  while (S->Kind == K::Labeled) S = S->A;
  switch (S->Kind) {
    case K::VarDecl:
      return S->Op != kVarVar;
    case K::Function:
    case K::Class:
      return true;
    default:
      return false;
  }
}

bool AnyLexical(const TJsNode* First) {
  for (const TJsNode* S = First; S; S = S->Next)
    if (IsLexical(S)) return true;
  return false;
}

// Whether statement S ends in an `if` without `else`, which an `else`
// written after S would join.
bool EndsInOpenIf(const TJsNode* S) {
  for (;;) {
    switch (S->Kind) {
      case K::If:
        if (!S->C) return true;
        S = S->C;
        break;
      case K::For:
      case K::ForIn:
      case K::ForOf:
      case K::While:
      case K::With:
        S = S->D;
        break;
      case K::Labeled:
        S = S->A;
        break;
      default:
        return false;
    }
  }
}

bool IsNot(const TJsNode* N) { return N->Kind == K::Unary && N->Op == Pc("!"); }

class TSimplifier {
 public:
  TSimplifier(TJsProgram& P, std::string_view Text, bool GlobalUndefined)
      : P(P), T(Text), GlobalUndefined(GlobalUndefined) {}
  void Run() { P.Root->A = List(P.Root->A, false); }

 private:
  TJsProgram& P;
  std::string_view T;
  bool GlobalUndefined;

  TJsNode* Make(K Kind, const TJsNode* At) { return P.Arena.Node(Kind, At->Begin, At->End); }
  TJsNode* Wrap(K Kind, TJsNode* A, const TJsNode* At) {
    TJsNode* N = Make(Kind, At);
    N->A = A;
    A->Next = nullptr;
    return N;
  }
  TJsNode* Seq(TJsNode* First, TJsNode* Second);
  TJsNode* Logical(TJsNode* Test, TJsNode* Then, const TJsNode* At);
  TJsNode* Choice(TJsNode* Test, TJsNode* Then, TJsNode* Else, const TJsNode* At);
  TJsNode* Negate(TJsNode* Test);

  TJsNode* List(TJsNode* First, bool FunctionBody);
  bool Join(TJsNode*& Prev, TJsNode* X);
  TJsNode* Stmt(TJsNode* N);
  TJsNode* Loop(TJsNode* N);
  TJsNode* Body(TJsNode* N);
  TJsNode* If(TJsNode* N);
  void Decls(TJsNode* N);

  void Expr(TJsNode* N);
  void Children(TJsNode* N);
  void Value(TJsNode* N);
  void Function(TJsNode* F);
  void Class(TJsNode* C);
  bool IsUndefined(const TJsNode* N) const { return N->Kind == K::Ident && (N->Flags & fVoidZero); }
};

// The sequence inside parentheses, else N.
TJsNode* SeqOf(TJsNode* N) {
  return N->Kind == K::Paren && N->A && N->A->Kind == K::Seq ? N->A : N;
}

TJsNode* TSimplifier::Seq(TJsNode* First, TJsNode* Second) {
  First = SeqOf(First);
  Second = SeqOf(Second);
  TJsNode* S = First;
  if (S->Kind != K::Seq) S = Wrap(K::Seq, First, First);
  TJsNode* Last = S->A;
  while (Last->Next) Last = Last->Next;
  Last->Next = Second->Kind == K::Seq ? Second->A : Second;
  S->End = Second->End;
  return S;
}

// `if (Test) Then`: `Test && Then`, or `x || Then` when Test is `!x`.
TJsNode* TSimplifier::Logical(TJsNode* Test, TJsNode* Then, const TJsNode* At) {
  TJsNode* N = Make(K::Binary, At);
  if (IsNot(Test)) {
    N->Op = Pc("||");
    N->A = Test->A;
  } else {
    N->Op = Pc("&&");
    N->A = Test;
  }
  N->B = Then;
  N->A->Next = N->B->Next = nullptr;
  return N;
}

// `Test ? Then : Else`, the branches swapped for a test `!x`.
TJsNode* TSimplifier::Choice(TJsNode* Test, TJsNode* Then, TJsNode* Else, const TJsNode* At) {
  TJsNode* N = Make(K::Cond, At);
  if (IsNot(Test)) {
    N->A = Test->A;
    N->B = Else;
    N->C = Then;
  } else {
    N->A = Test;
    N->B = Then;
    N->C = Else;
  }
  N->A->Next = N->B->Next = N->C->Next = nullptr;
  return N;
}

TJsNode* TSimplifier::Negate(TJsNode* Test) {
  if (IsNot(Test)) return Test->A;
  TJsNode* N = Wrap(K::Unary, Test, Test);
  N->Op = Pc("!");
  return N;
}

// Simplifies every statement of a list and joins neighbours; returns the
// new first statement.
TJsNode* TSimplifier::List(TJsNode* First, bool FunctionBody) {
  TJsNode* Head = nullptr;
  TJsNode** PrevSlot = nullptr;  // where the last statement kept is linked from
  auto Append = [&](TJsNode* X) {
    if (X->Kind == K::Empty) return;
    if (PrevSlot && Join(*PrevSlot, X)) return;
    TJsNode** Slot = PrevSlot ? &(*PrevSlot)->Next : &Head;
    *Slot = X;
    PrevSlot = Slot;
  };
  for (TJsNode* S = First; S;) {
    TJsNode* Next = S->Next;
    S->Next = nullptr;
    S = Stmt(S);
    if (S->Kind == K::Block && !AnyLexical(S->A)) {
      for (TJsNode* X = S->A; X;) {
        TJsNode* XNext = X->Next;
        X->Next = nullptr;
        Append(X);
        X = XNext;
      }
    } else {
      Append(S);
    }
    S = Next;
  }
  // A function ends with a return of nothing anyway.
  if (FunctionBody && PrevSlot && (*PrevSlot)->Kind == K::Return && !(*PrevSlot)->A)
    *PrevSlot = nullptr;
  return Head;
}

// Joins statement X into the statement before it where one statement does
// the same; Prev may be replaced. False when they stay apart.
bool TSimplifier::Join(TJsNode*& Prev, TJsNode* X) {
  // A kept comment between them stays between them.
  const auto Kept = std::lower_bound(P.Kept.begin(), P.Kept.end(), Prev->End,
                                     [](const TJsKept& C, size_t At) { return C.Begin < At; });
  if (Kept != P.Kept.end() && Kept->Begin < X->Begin) return false;
  if (Prev->Kind == K::ExprStmt) {
    switch (X->Kind) {
      case K::ExprStmt:
        Prev->A = Seq(Prev->A, X->A);
        Prev->End = X->End;
        return true;
      case K::Return:
      case K::Throw:
        if (!X->A) return false;
        X->A = Seq(Prev->A, X->A);
        break;
      case K::For:
        if (X->A) return false;
        X->A = Prev->A;
        break;
      default:
        return false;
    }
    X->Begin = Prev->Begin;
    Prev = X;
    return true;
  }
  if (Prev->Kind == K::VarDecl && X->Kind == K::VarDecl && Prev->Op == X->Op) {
    TJsNode* Last = Prev->A;
    while (Last->Next) Last = Last->Next;
    Last->Next = X->A;
    Prev->End = X->End;
    return true;
  }
  if (Prev->Kind == K::VarDecl && Prev->Op == kVarVar && X->Kind == K::For && !X->A) {
    X->A = Prev;
    X->Begin = Prev->Begin;
    Prev = X;
    return true;
  }
  // if (a) return b; return c  ->  return a ? b : c
  if (Prev->Kind == K::If && !Prev->C && Prev->B->Kind == K::Return && Prev->B->A &&
      X->Kind == K::Return && X->A) {
    X->A = Choice(Prev->A, Prev->B->A, X->A, X);
    X->Begin = Prev->Begin;
    Prev = X;
    return true;
  }
  return false;
}

// A statement in a place that holds one statement: a block of one
// statement that is no lexical declaration stands for that statement, an
// empty block for an empty statement.
TJsNode* TSimplifier::Body(TJsNode* N) {
  N = Stmt(N);
  if (N->Kind != K::Block) return N;
  if (!N->A) return Make(K::Empty, N);
  if (!N->A->Next && !IsLexical(N->A)) return N->A;
  return N;
}

TJsNode* TSimplifier::If(TJsNode* N) {
  Expr(N->A);
  N->B = Body(N->B);
  if (N->C) {
    N->C = Body(N->C);
    if (N->C->Kind == K::Empty) N->C = nullptr;
  }
  if (N->B->Kind == K::Empty) {
    if (!N->C) return Wrap(K::ExprStmt, N->A, N);
    N->A = Negate(N->A);
    N->B = N->C;
    N->C = nullptr;
  }
  TJsNode* Then = N->B;
  TJsNode* Else = N->C;
  if (Then->Kind == K::ExprStmt && !Else) return Wrap(K::ExprStmt, Logical(N->A, Then->A, N), N);
  if (Then->Kind == K::ExprStmt && Else && Else->Kind == K::ExprStmt)
    return Wrap(K::ExprStmt, Choice(N->A, Then->A, Else->A, N), N);
  if (Then->Kind == K::Return && Then->A && Else && Else->Kind == K::Return && Else->A)
    return Wrap(K::Return, Choice(N->A, Then->A, Else->A, N), N);
  // Braces that kept a later `else` off an inner `if` come back.
  if (Else && EndsInOpenIf(Then)) N->B = Wrap(K::Block, Then, Then);
  return N;
}

void TSimplifier::Decls(TJsNode* N) {
  for (TJsNode* D = N->A; D; D = D->Next) {
    Expr(D->A);
    if (D->B) Value(D->B);
  }
}

TJsNode* TSimplifier::Stmt(TJsNode* N) {
  switch (N->Kind) {
    case K::Block:
      N->A = List(N->A, false);
      return N;
    case K::ExprStmt:
      Expr(N->A);
      return N;
    case K::VarDecl:
      Decls(N);
      return N;
    case K::If:
      return If(N);
    case K::Return:
      if (N->A) {
        Value(N->A);
        const TJsNode* A = N->A;
        // `return undefined` and `return void 0` return what `return` does.
        if (IsUndefined(A) || (A->Kind == K::Unary && A->Op == kOpVoid && A->A->Kind == K::Num))
          N->A = nullptr;
      }
      return N;
    case K::Throw:
      Expr(N->A);
      return N;
    case K::Try:
      N->A->A = List(N->A->A, false);
      Expr(N->B);
      if (N->C) N->C->A = List(N->C->A, false);
      if (N->D) N->D->A = List(N->D->A, false);
      return N;
    case K::Switch:
      Expr(N->A);
      for (TJsNode* C = N->B; C; C = C->Next) {
        Expr(C->A);
        C->B = List(C->B, false);
      }
      return N;
    case K::Labeled:
      N->A = Body(N->A);
      return N;
    case K::Function:
      Function(N);
      return N;
    case K::Class:
      Class(N);
      return N;
    case K::Export: {
      if (!(N->Flags & (fDecl | fDefault))) return N;
      const K A = N->A->Kind;
      if (A == K::Function || A == K::Class || A == K::VarDecl)
        N->A = Stmt(N->A);
      else
        Expr(N->A);
      return N;
    }
    default:
      return Loop(N);
  }
}

// Stmt's share: loops and `with`.
TJsNode* TSimplifier::Loop(TJsNode* N) {
  switch (N->Kind) {
    case K::For:
    case K::ForIn:
    case K::ForOf:
      if (N->A && N->A->Kind == K::VarDecl)
        Decls(N->A);
      else
        Expr(N->A);
      Expr(N->B);
      Expr(N->C);
      N->D = Body(N->D);
      return N;
    case K::While:
    case K::DoWhile:
    case K::With:
      Expr(N->A);
      N->D = Body(N->D);
      return N;
    default:
      // Directives, imports, jumps and the rest: no statement inside.
      if (N->Kind != K::Import && N->Kind != K::Directive) Expr(N->A);
      return N;
  }
}

// A free `undefined` read as a value is marked to be printed `void 0`.
void TSimplifier::Value(TJsNode* N) {
  if (GlobalUndefined && N->Kind == K::Ident && !N->Sym &&
      T.substr(N->Begin, N->End - N->Begin) == "undefined") {
    N->Flags |= fVoidZero;
    return;
  }
  Expr(N);
}

void TSimplifier::Expr(TJsNode* N) {
  if (!N) return;
  switch (N->Kind) {
    case K::Function:
      Function(N);
      return;
    case K::Class:
      Class(N);
      return;
    case K::Ident:
      return;
    case K::Assign:
      Expr(N->A);
      Value(N->B);
      return;
    case K::Binary:
      Value(N->A);
      Value(N->B);
      return;
    case K::Cond:
      Expr(N->A);
      Value(N->B);
      Value(N->C);
      return;
    case K::Unary:
      // `delete undefined` is false, `delete void 0` true.
      if (N->Op == kOpDelete)
        Expr(N->A);
      else
        Value(N->A);
      return;
    case K::Call:
      Expr(N->A);
      for (TJsNode* X = N->B; X; X = X->Next) Value(X);
      return;
    default:
      Children(N);
      return;
  }
}

void TSimplifier::Children(TJsNode* N) {
  if (N->Kind == K::Property && (N->Flags & fStaticBlock)) {
    N->B = Stmt(N->B);
    return;
  }
  for (TJsNode* X : {N->A, N->B, N->C})
    for (; X; X = X->Next) Expr(X);
}

void TSimplifier::Function(TJsNode* F) {
  for (TJsNode* X = F->B; X; X = X->Next) Expr(X);
  if (F->Flags & fExprBody)
    Value(F->C);
  else
    F->C = List(F->C, true);
}

void TSimplifier::Class(TJsNode* C) {
  Expr(C->B);
  for (TJsNode* M = C->C; M; M = M->Next) Children(M);
}

}  // namespace

void SimplifyJs(TJsProgram& Program, std::string_view Text, bool GlobalUndefined) {
  TSimplifier(Program, Text, GlobalUndefined).Run();
}

}  // namespace larkspan::minify
