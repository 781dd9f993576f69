// The script syntax tree: nodes of one shape held in an arena, each naming a
// byte range of the source (names, literals and template parts are printed
// from that range, so text bytes stay as they were in the file's code page),
// and the scopes and symbols the scope pass fills in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace larkspan::minify {

enum class TJsNodeKind : uint8_t {
  // Expressions.
  Ident,        // a name: reference or binding; Sym once scopes are built
  PrivateName,  // #x (left of `in`)
  This,
  Super,
  Num,             // numeric or BigInt literal, its source range
  Str,             // string literal, its source range
  Regex,           // regular expression literal, its source range
  Literal,         // null, true, false: the keyword's range
  Template,        // A: list of TemplatePart and expressions by turns
  TemplatePart,    // "`...${", "}...${", "}...`" or "`...`": its source range
  TaggedTemplate,  // A: tag, B: Template
  Array,           // A: list of elements (Hole for an elision)
  Hole,
  Object,      // A: list of Property
  Property,    // A: key, B: value (object and class members; flags say which)
  Function,    // A: name or null, B: list of parameters, C: list of statements or an expression
  Class,       // A: name or null, B: heritage or null, C: list of Property
  Unary,       // Op, A
  Update,      // Op, A; fPrefix
  Binary,      // Op, A, B (logical operators too)
  Assign,      // Op, A, B (also a default in a pattern)
  Cond,        // A ? B : C
  Call,        // A(B...); fOptional for ?.()
  New,         // new A(B...); fHasArgs when the parentheses were written
  Dot,         // A.name (name: the node's range); fOptional, fPrivate
  Index,       // A[B]; fOptional
  Seq,         // A: list
  Spread,      // ...A (also a rest element)
  Yield,       // A or null; fDelegate
  Await,       // A
  ImportCall,  // import(A[, B])
  MetaProp,    // new.target or import.meta: the range of both words
  Paren,       // (A): kept only where the parentheses end an optional chain
  // Statements.
  Program,     // A: list
  Directive,   // a directive's string: its source range
  VarDecl,     // Op: kVarVar/kVarLet/kVarConst; A: list of Declarator
  Declarator,  // A: target, B: initialiser or null
  ExprStmt,    // A
  Block,       // A: list
  Empty,
  If,       // A test, B then, C else or null
  For,      // A init, B test, C update (each may be null), D body
  ForIn,    // A left, B right, D body
  ForOf,    // A left, B right, D body; fAwait
  While,    // A test, D body
  DoWhile,  // D body, A test
  Return,   // A or null
  Break,    // label: the node's range, empty when none
  Continue,
  Throw,    // A
  Try,      // A block, B catch parameter or null, C catch block or null, D finally or null
  Switch,   // A discriminant, B: list of Case
  Case,     // A test or null (default), B: list of statements
  Labeled,  // label: the node's range; A statement
  Debugger,
  With,        // A object, D body
  Import,      // A: list of ImportItem, B: source string, C: attributes object or null
  ImportItem,  // A: imported name (Ident or Str) or null, B: local Ident; fDefault, fNamespace
  Export,      // fDefault: A expression/declaration; fDecl: A declaration; else A: list of
               // ExportItem, B: source or null (fAll: `*`, A: the `as` name or null); C: attributes
  ExportItem,  // A: local (Ident or Str), B: exported (Ident or Str) or null
};

// Node flags; their meaning depends on the kind.
enum : uint16_t {
  fPrefix = 1,         // Update
  fOptional = 1,       // Call, Dot, Index: ?. here
  fHasArgs = 1,        // New
  fDelegate = 1,       // Yield
  fAwait = 1,          // ForOf
  fPrivate = 2,        // Dot
  fArrow = 1,          // Function
  fAsync = 2,          // Function
  fGenerator = 4,      // Function
  fExprBody = 8,       // Function: C is an expression
  fDecl = 16,          // Function, Class, Export
  fStrict = 32,        // Function, Program: strict code
  fMethod = 64,        // Function: a method, getter, setter or constructor (no `function`)
  fComputed = 1,       // Property: [key]
  fShorthand = 2,      // Property: {x} or {x = 1}
  fGetter = 4,         // Property
  fSetter = 8,         // Property
  fMethodProp = 16,    // Property: the value is a method Function
  fStatic = 32,        // Property (class member)
  fField = 64,         // Property (class field; B may be null)
  fStaticBlock = 128,  // Property: B is a Block
  fTrailingComma =
      0x400,            // Array, Object: "," after a last spread; Call: the same in its arguments
  fDefault = 1,         // ImportItem, Export
  fNamespace = 2,       // ImportItem: * as x
  fAll = 2,             // Export: export * from
  fDirectEval = 0x200,  // Call: eval(...) by that name
  fModule = 64,         // Program
  fVoidZero = 0x800,    // Ident: the global `undefined`, printed as `void 0`
};

// VarDecl kinds (Op).
enum : uint64_t { kVarVar = 1, kVarLet = 2, kVarConst = 3 };
// Keyword operators (Op of Unary and Binary), apart from punctuator codes.
enum : uint64_t { kOpTypeof = 1, kOpVoid, kOpDelete, kOpIn, kOpInstanceof };

struct TJsSymbol;

// 56 bytes: a script's tree stays within a few times its size.
struct TJsNode {
  TJsNodeKind Kind;
  uint16_t Flags = 0;
  uint32_t Begin = 0, End = 0;  // source range
  uint32_t Op = 0;              // a punctuator's code (at most four bytes) or a k* value
  TJsNode* A = nullptr;
  TJsNode* B = nullptr;
  TJsNode* C = nullptr;
  union {
    TJsNode* D = nullptr;  // statements
    TJsSymbol* Sym;        // Ident: the symbol it names, once resolved
  };
  TJsNode* Next = nullptr;  // the next node of the list this one is in
};

enum class TJsScopeKind : uint8_t { Global, Module, Function, Block, Class, Catch, FunctionName };

// A declared name. Pinned ones keep their name.
struct TJsSymbol {
  std::string_view Name;
  std::string_view NewName;  // empty: unchanged
  struct TJsScope* Scope = nullptr;
  uint32_t Uses = 0;  // declarations and references
  bool Pinned = false;
  int Slot = -1;                           // renaming slot
  const TJsScope* LastSeenFrom = nullptr;  // the last scope a reference came from
};

struct TJsScope {
  TJsScopeKind Kind = TJsScopeKind::Block;
  TJsScope* Parent = nullptr;
  std::vector<TJsSymbol*> Symbols;
  std::vector<TJsScope*> Children;
  // Symbols of scopes around this one that a reference here or in a scope
  // inside names: a name of this scope must not hide them.
  std::vector<TJsSymbol*> Seen;
  bool Strict = false;
  bool DirectEval = false;      // a direct eval here or in a scope inside it
  bool InWith = false;          // inside the body of a `with`
  bool IsFunctionBody = false;  // var declarations land here
};

// Bump allocation of nodes, symbols and scopes: everything lives until the
// arena goes. Not for use by two threads at once.
class TJsArena {
 public:
  TJsNode* Node(TJsNodeKind Kind, uint32_t Begin, uint32_t End) {
    TJsNode* N = Make<TJsNode>();
    N->Kind = Kind;
    N->Begin = Begin;
    N->End = End;
    return N;
  }
  template <class T>
  T* Make() {
    static_assert(alignof(T) <= alignof(std::max_align_t));
    constexpr size_t Size = (sizeof(T) + alignof(T) - 1) & ~(alignof(T) - 1);
    if (Left < Size) Grow(Size);
    void* P = Cur;
    Cur += Size;
    Left -= Size;
    T* Obj = new (P) T();
    if constexpr (!std::is_trivially_destructible_v<T>)
      Dtors.push_back({Obj, [](void* O) { static_cast<T*>(O)->~T(); }});
    return Obj;
  }
  size_t BytesUsed() const { return Used; }
  TJsArena() = default;
  TJsArena(const TJsArena&) = delete;
  TJsArena& operator=(const TJsArena&) = delete;
  ~TJsArena() {
    for (auto It = Dtors.rbegin(); It != Dtors.rend(); ++It) It->second(It->first);
  }

 private:
  std::vector<std::unique_ptr<char[]>> Blocks;
  std::vector<std::pair<void*, void (*)(void*)>> Dtors;
  char* Cur = nullptr;
  size_t Left = 0;
  size_t Used = 0;
  size_t NextBlock = 64 * 1024;
  void Grow(size_t Need) {
    const size_t N = std::max(NextBlock, Need);
    if (NextBlock < (size_t(4) << 20)) NextBlock *= 2;
    Blocks.emplace_back(new char[N]);
    Cur = Blocks.back().get();
    Left = N;
    Used += N;
  }
};

}  // namespace larkspan::minify
