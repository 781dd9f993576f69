// The script parser on its own: what it reads each input as (shown by
// printing the tree back without rewrites, where parentheses and explicit
// semicolons make the structure visible), and what it refuses. An early
// error it does not check must come out as written, still an error.
#include "minify/JsParser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "minify/JsPrinter.h"

namespace larkspan::minify {
namespace {

struct TCase {
  const char* In;
  const char* Out;  // the tree printed back; "error" when it must be refused
};

std::string Parsed(std::string_view In, bool Module, TCodePage Page = TCodePage::Utf8) {
  TJsProgram P;
  std::string Error;
  size_t At = 0;
  if (!ParseJs(In, Page, Module, P, Error, At)) {
    EXPECT_LE(At, In.size()) << In;
    return "error";
  }
  return PrintJs(P, In, false);
}

template <size_t N>
void ExpectParsed(const TCase (&Cases)[N], bool Module = false) {
  for (const TCase& C : Cases) EXPECT_EQ(Parsed(C.In, Module), C.Out) << C.In;
}

TEST(TJsParserTest, AutomaticSemicolons) {
  static const TCase Cases[] = {
      {"a\nb", "a;b"},
      {"a = b\n(c)", "a=b(c)"},
      {"a = b\n[c]", "a=b[c]"},
      {"a = b\n`t`", "a=b`t`"},
      {"a\n++b", "a;++b"},
      {"a++\nb", "a++;b"},
      {"function f() { return\na }", "function f(){return;a}"},
      {"function f() { throw\na }", "error"},
      {"for (;;) { break\nl }", "for(;;){break;l}"},
      {"x = async\nfunction f() {}", "x=async;function f(){}"},
      {"x = a\n=> 1", "error"},
      {"x = ()\n=> 1", "error"},
      {"x = (a)\n=> {}", "error"},
      {"do a(); while (b) c()", "do a();while(b);c()"},
      {"if (a) b\nelse c", "if(a)b;else c"},
      {"var a = 1 var b", "error"},
      {"{ a } b", "{a}b"},
      {"for (a\nb;;);", "error"},
      {"let\nx = 1", "let x=1"},
      {"a\n?.b", "a?.b"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, RegularExpressionOrDivision) {
  static const TCase Cases[] = {
      {"a / b / c", "a/b/c"},
      {"x = /b/g / 2", "x=/b/g/2"},
      {"a\n/b/g", "a/b/g"},
      {"if (a) /b/.test(c)", "if(a)/b/.test(c)"},
      {"x = a ? /b/ : /c/", "x=a?/b/:/c/"},
      {"x = (a) / 2; y = [] / 2; z = {} / 2", "x=a/2;y=[]/2;z={}/2"},
      {"{} /foo/", "{}/foo/"},
      {"x = y => {} / 1", "error"},
      {"x = typeof /a/; y = void /a/", "x=typeof/a/;y=void/a/"},
      {"a++ / 2; ++/a/.b", "a++/2;++/a/.b"},
      {"x = this / 2; y = super_ / 2", "x=this/2;y=super_/2"},
      {"x = /[/]/; y = /\\//", "x=/[/]/;y=/\\//"},
      {"x = `${a}` / 2", "x=`${a}`/2"},
      {"function f() { return /a/ }", "function f(){return/a/}"},
      {"x = a\n/ b / g", "x=a/b/g"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, LetAsAName) {
  static const TCase Cases[] = {
      {"let = 1; let.x = 2", "(let)=1;(let).x=2"},
      {"let\n[a] = b", "let[a]=b"},
      {"(let)[0] = 1", "(let)[0]=1"},
      {"for (let in o);", "for((let)in o);"},
      {"for (let.x of o);", "error"},
      {"if (a) let\nx = 1", "if(a)(let);x=1"},
      {"'use strict'; let = 1", "error"},
      {"let let = 1", "let let=1"},  // an early error, kept as written
      {"var let = 1", "var let=1"},
      {"x = { let }", "x={let}"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, AsyncAwaitAndYieldByContext) {
  static const TCase Cases[] = {
      {"var await = 1; await(2)", "var await=1;await(2)"},
      {"async function f() { await x; await\ny }", "async function f(){await x;await y}"},
      {"async function f() { var await }", "error"},
      {"function* g() { yield\na }", "function*g(){yield;a}"},
      {"function* g() { var yield }", "error"},
      {"function f() { var yield = 1; return yield }", "function f(){var yield=1;return yield}"},
      {"function* g() { yield yield a }", "function*g(){yield yield a}"},
      {"function* g() { x = yield* a, b }", "function*g(){x=yield*a,b}"},
      {"async () => await a", "async()=>await a"},
      {"async (a) => a; async a => a; async\n(a)", "async a=>a;async a=>a;async(a)"},
      {"x = async function () {}; y = async\nfunction () {}", "error"},
      {"async function f() { for await (x of y); }", "async function f(){for await(x of y);}"},
      {"function f() { for await (x of y); }", "function f(){for await(x of y);}"},
      {"x = { async *m() { yield await a } }", "x={async*m(){yield await a}}"},
      {"x = { async: 1, await: 2, yield: 3 }", "x={async:1,await:2,yield:3}"},
      {"async => async", "async=>async"},
      {"function* g() { function f(yield) {} }", "function*g(){function f(yield){}}"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, TopLevelAwaitInModulesOnly) {
  EXPECT_EQ(Parsed("await x; for await (a of b);", true), "await x;for await(a of b);");
  EXPECT_EQ(Parsed("await x", false), "error");
  EXPECT_EQ(Parsed("var await", true), "error");
  EXPECT_EQ(Parsed("with (a) b", true), "error");
  EXPECT_EQ(Parsed("export { a as default }; import * as m from 'm'", true),
            "export{a as default};import*as m from'm'");
  EXPECT_EQ(Parsed("import x from 'm'", false), "error");
}

TEST(TJsParserTest, InInForHeads) {
  static const TCase Cases[] = {
      {"for (var a = (b in c); ;);", "for(var a=(b in c);;);"},
      {"for (var a = b in c);", "for(var a=b in c);"},
      {"for (a = () => { b in c }; ;);", "for(a=()=>{b in c};;);"},
      {"for (a = [b in c]; ;);", "for(a=[b in c];;);"},
      {"for (a = (b in c) ? 1 : 2; ;);", "for(a=(b in c)?1:2;;);"},
      {"for (a in b in c);", "for(a in b in c);"},
      {"for ((a in b); ;);", "for((a in b);;);"},
      {"for (let [a, b] of c);", "for(let[a,b]of c);"},
      {"for (const a of b, c);", "error"},
      {"for (a.b in c);", "for(a.b in c);"},
      {"for (a() in c);", "for(a()in c);"},
      {"for (let.x of o);", "error"},
      {"for (let.x in o);", "for((let).x in o);"},
      {"for (async of o);", "error"},
      {"for (async.x of o);", "for(async.x of o);"},
      {"for ((async) of o);", "for((async)of o);"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, ArrowOrParenthesisedExpression) {
  static const TCase Cases[] = {
      {"x = (a, b) => a", "x=(a,b)=>a"},
      {"x = (a, b)", "x=(a,b)"},
      {"x = ({a, b = 1}, [c]) => a", "x=({a,b=1},[c])=>a"},
      {"x = () => {}", "x=()=>{}"},
      {"x = ()", "error"},
      {"x = (a, ...b) => b", "x=(a,...b)=>b"},
      {"x = (a, ...b)", "error"},
      {"x = (a = 1) => a", "x=(a=1)=>a"},
      {"x = (a + b) => 1", "error"},
      {"x = a => b => c", "x=a=>b=>c"},
      {"x = a ? b => c : d => e", "x=a?b=>c:d=>e"},
      {"x = () => ({})", "x=()=>({})"},
      {"x = a || () => 1", "error"},
      {"x = (a) => {} (b)", "error"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, ClassElements) {
  static const TCase Cases[] = {
      {"class A { static; get; set; async; x = 1; 'y'; [z] }",
       "class A{static;get;set;async;x=1;'y';[z]}"},
      {"class A { static static() {} get get() {} set set(v) {} static async *m() {} }",
       "class A{static static(){}get get(){}set set(v){}static async*m(){}}"},
      {"class A { #p = 1; static #q; #m() { return #p in this } static { this.#q = 2 } }",
       "class A{#p=1;static#q;#m(){return#p in this}static{this.#q=2}}"},
      {"class A { constructor() { super() } }", "class A{constructor(){super()}}"},
      {"class A extends (B, C) {}", "class A extends(B,C){}"},
      {"class A { get\nx() {} }", "class A{get x(){}}"},
      {"class A { static\nx = 1 }", "class A{static x=1}"},
      {"class A { async\nx() {} }", "class A{async;x(){}}"},
      {"class A { async\nx }", "class A{async;x}"},
      {"class A { x\ny }", "class A{x;y}"},
      {"class A { x = 1 y = 2 }", "error"},
      {"class A { static\n{ } }", "class A{static{}}"},
      {"class A { accessor = 1 }", "class A{accessor=1}"},
      {"class { }", "error"},
      {"x = class { 1() {} 'a b'() {} }", "x=class{1(){}'a b'(){}}"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, OptionalChainsAndTemplates) {
  static const TCase Cases[] = {
      {"a?.b.c?.[d]?.(e)", "a?.b.c?.[d]?.(e)"},
      {"a?.b`t`", "error"},
      {"a?.`t`", "error"},
      {"a`t`?.b", "a`t`?.b"},
      {"new a?.b()", "error"},
      {"a?.b = 1", "error"},
      {"x = a ?.5 : b", "x=a?.5:b"},
      {"(a?.b).c = 1", "(a?.b).c=1"},
      {"x = `a${`b${c}`}d`", "x=`a${`b${c}`}d`"},
      {"x = tag`\\unicode`", "x=tag`\\unicode`"},
      {"x = `\\unicode`", "x=`\\unicode`"},
  };
  ExpectParsed(Cases);
}

TEST(TJsParserTest, NumericLiterals) {
  static const TCase Cases[] = {
      {"x = 1_000 + 0x_1", "x=1_000+0x_1"},
      {"x = 1_000 + 0b1_0 + 0o7_7 + 0xF_F + 1e1_0 + 1_0n", "x=1_000+0b1_0+0o7_7+0xF_F+1e1_0+1_0n"},
      {"x = 1__0", "x=1__0"},
      {"x = 1_", "x=1_"},
      {"x = 08 + 07 + 0.5e-3 + .5", "x=08+07+0.5e-3+.5"},
      {"'use strict'; x = 07", "'use strict';x=07"},
      {"x = 1.5n", "x=1.5n"},
      {"x = 3in[]", "error"},
      {"x = 1.toString()", "error"},
      {"x = 0x1g", "error"},
      {"x = 1..toString() + 1 .x", "x=1..toString()+1 .x"},
  };
  ExpectParsed(Cases);
}

// Text bytes of the file's code page are never syntax: a GBK or Big5
// character whose trail byte is 0x5C does not escape the quote, backquote
// or slash after it.
TEST(TJsParserTest, DoubleByteTrailBackslashIsNeverAnEscape) {
  static const TCase Cases[] = {
      {"x = \"\x81\x5C\"; y = 1", "x=\"\x81\x5C\";y=1"},
      {"x = '\xA5\x5C'; y = 1", "x='\xA5\x5C';y=1"},
      {"x = `\x81\x5C`; y = `\x81\x5C${a}\x81\x5C`", "x=`\x81\x5C`;y=`\x81\x5C${a}\x81\x5C`"},
      {"x = /\x81\x5C/g; y = /[\x81\x5C]/", "x=/\x81\x5C/g;y=/[\x81\x5C]/"},
      {"x = {'\x81\x5C': 1}; // \x81\x5C\ny = 2", "x={'\x81\x5C':1};y=2"},
  };
  for (TCodePage Page : {TCodePage::Gbk, TCodePage::Big5})
    for (const TCase& C : Cases) EXPECT_EQ(Parsed(C.In, false, Page), C.Out) << C.In;
  // In UTF-8 the same bytes are no character: the backslash escapes.
  EXPECT_EQ(Parsed("x = \"\x81\x5C\"; y = 1", false), "error");
}

}  // namespace
}  // namespace larkspan::minify
