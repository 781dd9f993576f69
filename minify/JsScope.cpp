#include "minify/JsScope.h"

#include <unordered_map>
#include <vector>

#include "minify/JsSyntax.h"

namespace larkspan::minify {

namespace {

using K = TJsNodeKind;

enum class TDecl { Var, Lexical, Param, Catch, Assign };

class TScopeBuilder {
 public:
  TScopeBuilder(TJsProgram& P, std::string_view Text, TJsScopeInfo& Info)
      : P(P), T(Text), Info(Info), Ar(P.Arena) {}
  void Run();

 private:
  TJsProgram& P;
  std::string_view T;
  TJsScopeInfo& Info;
  TJsArena& Ar;
  TJsScope* Cur = nullptr;
  struct TRef {
    TJsNode* Node;
    TJsScope* Scope;
  };
  std::vector<TRef> Refs;
  std::vector<TJsNode*> ExportRefs;  // resolved, then pinned
  // A var's name where it stands, and the function's binding it declares:
  // when the name there means another binding (a catch parameter), both
  // must keep the name they share.
  std::vector<std::pair<TJsNode*, TJsSymbol*>> VarNames;
  std::unordered_map<const TJsScope*, std::unordered_map<std::string_view, TJsSymbol*>> Big;

  std::string_view Src(const TJsNode* N) const { return T.substr(N->Begin, N->End - N->Begin); }
  TJsScope* Push(TJsScopeKind Kind) {
    TJsScope* S = Ar.Make<TJsScope>();
    S->Kind = Kind;
    S->Parent = Cur;
    if (Cur) {
      S->Strict = Cur->Strict;
      S->InWith = false;
      Cur->Children.push_back(S);
    }
    Cur = S;
    return S;
  }
  void Pop() { Cur = Cur->Parent; }
  TJsSymbol* Find(TJsScope* S, std::string_view Name);
  TJsSymbol* Declare(TJsScope* S, std::string_view Name);
  TJsScope* VarScope() const {
    TJsScope* S = Cur;
    while (S->Parent && !S->IsFunctionBody) S = S->Parent;
    return S;
  }
  void Bind(TJsNode* Id, TDecl How);
  void Pattern(TJsNode* N, TDecl How);
  void Walk(TJsNode* N);
  void WalkList(TJsNode* First) {
    for (TJsNode* X = First; X; X = X->Next) Walk(X);
  }
  void WalkStatement(TJsNode* N);
  void WalkFunction(TJsNode* F);
  void WalkClass(TJsNode* C);
  void WalkExport(TJsNode* N);
  void PinDeclared(TJsNode* N);
  void Resolve();
};

TJsSymbol* TScopeBuilder::Find(TJsScope* S, std::string_view Name) {
  if (S->Symbols.size() > 16) {
    auto It = Big.find(S);
    if (It != Big.end()) {
      auto Found = It->second.find(Name);
      return Found == It->second.end() ? nullptr : Found->second;
    }
  }
  for (TJsSymbol* Sym : S->Symbols)
    if (Sym->Name == Name) return Sym;
  return nullptr;
}

TJsSymbol* TScopeBuilder::Declare(TJsScope* S, std::string_view Name) {
  if (TJsSymbol* Old = Find(S, Name)) return Old;
  TJsSymbol* Sym = Ar.Make<TJsSymbol>();
  Sym->Name = Name;
  Sym->Scope = S;
  S->Symbols.push_back(Sym);
  if (S->Symbols.size() > 16) {
    auto& M = Big[S];
    if (M.empty())
      for (TJsSymbol* X : S->Symbols) M.emplace(X->Name, X);
    else
      M.emplace(Name, Sym);
  }
  return Sym;
}

// Id is a binding of the kind How in the current scope.
void TScopeBuilder::Bind(TJsNode* Id, TDecl How) {
  const std::string_view Name = Src(Id);
  if (How == TDecl::Assign) {
    Refs.push_back({Id, Cur});
    return;
  }
  if (How == TDecl::Var) {
    // Hoisted: declared in the function, yet the name here may still mean a
    // catch parameter (`catch (e) { var e = 1 }`) or pass a `with`.
    TJsScope* V = VarScope();
    TJsScope* Params = V->Parent;
    TJsSymbol* Param =
        Params && Params->Kind == TJsScopeKind::Function ? Find(Params, Name) : nullptr;
    VarNames.emplace_back(Id, Param ? Param : Declare(V, Name));
    Refs.push_back({Id, Cur});
    return;
  }
  TJsSymbol* Sym = Declare(Cur, Name);
  Id->Sym = Sym;
  ++Sym->Uses;
  // `function f(a) { let a }` is an error: renamed apart it would run, so
  // both keep the name.
  const TJsScope* Up = Cur->Parent;
  if (How == TDecl::Lexical && Cur->IsFunctionBody && Up && Up->Kind == TJsScopeKind::Function)
    if (TJsSymbol* Param = Find(Cur->Parent, Name)) Param->Pinned = Sym->Pinned = true;
}

void TScopeBuilder::Pattern(TJsNode* N, TDecl How) {
  if (!N) return;
  switch (N->Kind) {
    case K::Ident:
      Bind(N, How);
      return;
    case K::Array:
      for (TJsNode* X = N->A; X; X = X->Next) Pattern(X, How);
      return;
    case K::Object:
      for (TJsNode* X = N->A; X; X = X->Next) {
        if (X->Kind == K::Spread) {
          Pattern(X->A, How);
          continue;
        }
        if (X->Flags & fComputed) Walk(X->A);
        Pattern(X->B, How);
      }
      return;
    case K::Spread:
    case K::Paren:
      Pattern(N->A, How);
      return;
    case K::Assign:
      Pattern(N->A, How);
      Walk(N->B);
      return;
    default:
      Walk(N);  // a member expression as an assignment target
      return;
  }
}

void TScopeBuilder::WalkFunction(TJsNode* F) {
  TJsScope* Outer = Cur;
  if (F->A && !(F->Flags & fDecl)) {
    Push(TJsScopeKind::FunctionName);
    Bind(F->A, TDecl::Lexical);
  }
  TJsScope* Fn = Push(TJsScopeKind::Function);
  if (F->Flags & fStrict) Fn->Strict = true;
  for (TJsNode* X = F->B; X; X = X->Next) Pattern(X, TDecl::Param);
  if (F->Flags & fExprBody) {
    Walk(F->C);
  } else {
    TJsScope* Body = Push(TJsScopeKind::Block);
    Body->IsFunctionBody = true;
    WalkList(F->C);
  }
  Cur = Outer;
}

void TScopeBuilder::WalkClass(TJsNode* C) {
  TJsScope* Outer = Cur;
  TJsScope* S = Push(TJsScopeKind::Class);
  S->Strict = true;
  if (C->A && !(C->Flags & fDecl)) Bind(C->A, TDecl::Lexical);
  // The heritage is strict code inside the class's scope: in
  // "(class x extends x {})" it sees the class's own name (in its dead zone).
  if (C->B) Walk(C->B);
  for (TJsNode* M = C->C; M; M = M->Next) {
    if (M->Flags & fComputed) Walk(M->A);
    if (!M->B) continue;
    if (M->Flags & fMethodProp) {
      WalkFunction(M->B);
    } else {
      // Field initialisers and static blocks run as functions of their own.
      Push(TJsScopeKind::Function);
      TJsScope* Body = Push(TJsScopeKind::Block);
      Body->IsFunctionBody = true;
      if (M->Flags & fStaticBlock)
        WalkList(M->B->A);
      else
        Walk(M->B);
      Cur = S;
    }
  }
  Cur = Outer;
}

void TScopeBuilder::PinDeclared(TJsNode* N) {
  if (!N) return;
  switch (N->Kind) {
    case K::VarDecl:
      for (TJsNode* D = N->A; D; D = D->Next) PinDeclared(D->A);
      return;
    case K::Function:
    case K::Class:
      if (N->A) ExportRefs.push_back(N->A);
      return;
    case K::Ident:
      ExportRefs.push_back(N);
      return;
    case K::Array:
      for (TJsNode* X = N->A; X; X = X->Next) PinDeclared(X);
      return;
    case K::Object:
      for (TJsNode* X = N->A; X; X = X->Next) PinDeclared(X->Kind == K::Spread ? X->A : X->B);
      return;
    case K::Assign:
    case K::Spread:
      PinDeclared(N->A);
      return;
    default:
      return;
  }
}

void TScopeBuilder::WalkExport(TJsNode* N) {
  if (N->Flags & fAll) return;
  if (N->Flags & (fDecl | fDefault)) {
    const bool Decl =
        (N->Flags & fDecl) ||
        ((N->A->Kind == K::Function || N->A->Kind == K::Class) && (N->A->Flags & fDecl));
    if (Decl)
      WalkStatement(N->A);
    else
      Walk(N->A);
    if (N->Flags & fDecl) PinDeclared(N->A);
    return;
  }
  if (N->B) return;  // re-exported from another module
  for (TJsNode* S = N->A; S; S = S->Next)
    if (S->A->Kind == K::Ident) {
      Refs.push_back({S->A, Cur});
      ExportRefs.push_back(S->A);
    }
}

void TScopeBuilder::WalkStatement(TJsNode* N) {
  switch (N->Kind) {
    case K::VarDecl:
      for (TJsNode* D = N->A; D; D = D->Next) {
        Pattern(D->A, N->Op == kVarVar ? TDecl::Var : TDecl::Lexical);
        Walk(D->B);
      }
      return;
    case K::Function: {
      if (N->A) {
        const bool Block = !Cur->IsFunctionBody && Cur->Parent;
        Bind(N->A, Block && !Cur->Strict ? TDecl::Var : TDecl::Lexical);
      }
      WalkFunction(N);
      return;
    }
    case K::Class:
      if (N->A && (N->Flags & fDecl)) Bind(N->A, TDecl::Lexical);
      WalkClass(N);
      return;
    case K::Block:
      Push(TJsScopeKind::Block);
      WalkList(N->A);
      Pop();
      return;
    case K::For:
    case K::ForIn:
    case K::ForOf:
      Push(TJsScopeKind::Block);
      if (N->A && N->A->Kind == K::VarDecl)
        WalkStatement(N->A);
      else
        Walk(N->A);  // an expression (a sequence too) or an assignment target
      Walk(N->B);
      Walk(N->C);
      Walk(N->D);
      Pop();
      return;
    case K::Switch:
      Walk(N->A);
      Push(TJsScopeKind::Block);
      for (TJsNode* C = N->B; C; C = C->Next) {
        Walk(C->A);
        WalkList(C->B);
      }
      Pop();
      return;
    case K::Try:
      Walk(N->A);
      if (N->C) {
        Push(TJsScopeKind::Catch);
        Pattern(N->B, TDecl::Catch);
        Walk(N->C);
        Pop();
      }
      Walk(N->D);
      return;
    case K::With: {
      Walk(N->A);
      TJsScope* S = Push(TJsScopeKind::Block);
      S->InWith = true;
      Walk(N->D);
      Pop();
      return;
    }
    case K::Import:
      for (TJsNode* S = N->A; S; S = S->Next) Bind(S->B, TDecl::Lexical);
      return;
    case K::Export:
      WalkExport(N);
      return;
    case K::Labeled:
      Walk(N->A);
      return;
    default:
      Walk(N->A);
      Walk(N->B);
      Walk(N->C);
      Walk(N->D);
      return;
  }
}

void TScopeBuilder::Walk(TJsNode* N) {
  if (!N) return;
  switch (N->Kind) {
    case K::Ident:
      Refs.push_back({N, Cur});
      return;
    case K::PrivateName:
    case K::This:
    case K::Super:
    case K::Num:
    case K::Str:
    case K::Regex:
    case K::Literal:
    case K::TemplatePart:
    case K::Hole:
    case K::MetaProp:
    case K::Directive:
    case K::Empty:
    case K::Break:
    case K::Continue:
    case K::Debugger:
      return;
    case K::Template:
    case K::Array:
    case K::Seq:
      WalkList(N->A);
      return;
    case K::Object:
      for (TJsNode* X = N->A; X; X = X->Next) {
        if (X->Kind == K::Spread) {
          Walk(X->A);
          continue;
        }
        if (X->Flags & fComputed) Walk(X->A);
        if (X->Flags & fMethodProp)
          WalkFunction(X->B);
        else
          Walk(X->B);
      }
      return;
    case K::Function:
      if (N->Flags & fDecl)
        WalkStatement(N);
      else
        WalkFunction(N);
      return;
    case K::Class:
      WalkStatement(N);
      return;
    case K::Call:
      if (N->Flags & fDirectEval)
        for (TJsScope* S = Cur; S; S = S->Parent) S->DirectEval = true;
      Walk(N->A);
      WalkList(N->B);
      return;
    case K::New:
      Walk(N->A);
      WalkList(N->B);
      return;
    case K::Dot:
      Walk(N->A);
      return;
    case K::Program:
      WalkList(N->A);
      return;
    default:
      if (N->Kind >= K::Program) {
        WalkStatement(N);
        return;
      }
      Walk(N->A);
      Walk(N->B);
      Walk(N->C);
      return;
  }
}

void TScopeBuilder::Resolve() {
  for (const TRef& R : Refs) {
    const std::string_view Name = Src(R.Node);
    bool CrossedWith = false;
    TJsSymbol* Sym = nullptr;
    for (TJsScope* S = R.Scope; S; S = S->Parent) {
      Sym = Find(S, Name);
      if (Sym) break;
      if (S->InWith) CrossedWith = true;
    }
    if (!Sym) {
      Info.Taken.insert(Name);
      continue;
    }
    R.Node->Sym = Sym;
    ++Sym->Uses;
    if (CrossedWith) Sym->Pinned = true;
    if (Sym->LastSeenFrom != R.Scope) {
      Sym->LastSeenFrom = R.Scope;
      for (TJsScope* S = R.Scope; S != Sym->Scope; S = S->Parent)
        if (S->Seen.empty() || S->Seen.back() != Sym) S->Seen.push_back(Sym);
    }
  }
  for (TJsNode* N : ExportRefs)
    if (N->Sym) N->Sym->Pinned = true;
  for (auto& [Id, Hoisted] : VarNames)
    if (Id->Sym != Hoisted) {
      Hoisted->Pinned = true;
      if (Id->Sym) Id->Sym->Pinned = true;
    }
}

void PinScopes(TJsScope* S, TJsScopeInfo& Info) {
  std::vector<TJsScope*> Todo{S};
  while (!Todo.empty()) {
    TJsScope* X = Todo.back();
    Todo.pop_back();
    for (TJsSymbol* Sym : X->Symbols) {
      // A binding named eval, arguments, await or yield may be an error the
      // renamed script would no longer have: keep the name.
      if (X->Kind == TJsScopeKind::Global || X->DirectEval || jssyntax::IsForbiddenName(Sym->Name))
        Sym->Pinned = true;
      if (Sym->Pinned) Info.Taken.insert(Sym->Name);
    }
    for (TJsScope* C : X->Children) Todo.push_back(C);
  }
}

void TScopeBuilder::Run() {
  TJsScope* Top = Push(P.Module ? TJsScopeKind::Module : TJsScopeKind::Global);
  Top->IsFunctionBody = true;
  Top->Strict = P.Root->Flags & fStrict;
  P.TopScope = Top;
  WalkList(P.Root->A);
  Resolve();
  PinScopes(Top, Info);
}

}  // namespace

void BuildJsScopes(TJsProgram& Program, std::string_view Text, TJsScopeInfo& Info) {
  TScopeBuilder(Program, Text, Info).Run();
}

}  // namespace larkspan::minify
