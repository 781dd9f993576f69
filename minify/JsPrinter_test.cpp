// The parser and printer at level safe: what is written back, table by
// table, and that writing the output again changes nothing.
#include "minify/JsPrinter.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "minify/Minify.h"

namespace larkspan::minify {
namespace {

std::string MinifyAt(std::string_view In, TMinifyLevel Level, bool Module = false,
                     TCodePage Page = TCodePage::Utf8, std::string* Note = nullptr) {
  TMinifyOptions O;
  O.Level = Level;
  const TMinifyResult R = MinifyJs(In, Page, O, Module);
  if (Note) *Note = R.Note;
  return R.Ok ? R.Output : "<failed: " + R.Error + ">";
}

struct TCase {
  const char* In;
  const char* Out;
};

// Expects Out at level safe, a parse (no fallback note), and a fixed point.
void ExpectPrintedSafe(const TCase* Cases, size_t N, bool Module = false) {
  for (size_t I = 0; I < N; ++I) {
    std::string Note;
    const std::string Got =
        MinifyAt(Cases[I].In, TMinifyLevel::Safe, Module, TCodePage::Utf8, &Note);
    EXPECT_EQ(Got, Cases[I].Out) << Cases[I].In;
    EXPECT_EQ(Note, "") << Cases[I].In;
    EXPECT_EQ(MinifyAt(Got, TMinifyLevel::Safe, Module), Got) << "again: " << Cases[I].In;
  }
}

TEST(TJsPrinterTest, WhiteSpaceAndTokensThatWouldJoin) {
  static const TCase Cases[] = {
      {"a + +b; a - -b; a + ++b; a - --b", "a+ +b,a- -b,a+ ++b,a- --b"},
      {"a++ + b; a-- - b", "a++ +b,a-- -b"},
      {"x = a / /re/g.exec(s)", "x=a/ /re/g.exec(s)"},
      {"x = /a/ in b; y = /a/g instanceof c", "x=/a/ in b,y=/a/g instanceof c"},
      {"a < !b; a-- > b", "a< !b,a-- >b"},
      {"x = a < /script/.test(s)", "x=a< /script/.test(s)"},
      {"typeof a; void 0; delete a.b; typeof (a)", "typeof a,void 0,delete a.b,typeof a"},
      {"return_ = 1; if (a) return_()", "return_=1,a&&return_()"},
      {"function f() { return -1 }", "function f(){return-1}"},
      {"x = 1 .toString(); y = 1.5.toFixed(); z = 0x10.toString()",
       "x=1 .toString(),y=1.5.toFixed(),z=16 .toString()"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases));
}

TEST(TJsPrinterTest, ParenthesesFollowPrecedence) {
  static const TCase Cases[] = {
      {"x = (a + b) * c; y = a + (b * c); z = (a * b) + c", "x=(a+b)*c,y=a+b*c,z=a*b+c"},
      {"x = a - (b - c); y = (a - b) - c", "x=a-(b-c),y=a-b-c"},
      {"x = (a ** b) ** c; y = a ** (b ** c); z = (-a) ** b", "x=(a**b)**c,y=a**b**c,z=(-a)**b"},
      {"x = (a || b) ?\? c; y = a ?\? (b && c)", "x=(a||b)?\?c,y=a?\?(b&&c)"},
      {"x = (a, b); f((a, b), c)", "x=(a,b),f((a,b),c)"},
      {"x = (a = b) ? c : d; y = a ? (b, c) : d", "x=(a=b)?c:d,y=a?(b,c):d"},
      {"new (a())(); new (a.b().c); new a.b(); (new a).b; new (a, b)",
       "new(a())(),new(a.b().c),new a.b(),(new a).b,new(a,b)"},
      {"(a?.b).c; (a?.b)(); a?.b.c; (a.b)()", "(a?.b).c,(a?.b)(),a?.b.c,a.b()"},
      {"x = (async () => 1); y = (() => {}).call(); z = (a => a)(1)",
       "x=async()=>1,y=(()=>{}).call(),z=(a=>a)(1)"},
      {"x = (yield_, 1)", "x=(yield_,1)"},
      {"for (var i = (a in b); ;); for (x = (a in b) ? 1 : 2; ;);",
       "for(var i=(a in b);;);for(x=(a in b)?1:2;;);"},
      {"for (var x = () => { a in b }; ;);", "for(var x=()=>{a in b};;);"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases));
}

TEST(TJsPrinterTest, StatementStartsThatNeedParentheses) {
  static const TCase Cases[] = {
      {"({}).toString()", "({}).toString()"},
      {"({a} = b);", "({a}=b);"},
      {"(function () {})()", "(function(){})()"},
      {"(function f() {}).call(this)", "(function f(){}).call(this)"},
      {"(class {}).x", "(class{}).x"},
      {"(async function () {})()", "(async function(){})()"},
      {"x(); ({a} = b); (function () {})()", "x(),{a}=b,function(){}()"},
      {"(let)[0] = 1", "(let)[0]=1"},
      {"x = () => ({}); y = () => ({}).a", "x=()=>({}),y=()=>({}).a"},
      {"('use strict')", "('use strict')"},
      // Not a directive, nor after joining.
      {"('use strict'); f()", "'use strict',f()"},
      {"'use strict'; f()", "'use strict';f()"},
      {"function f() { 'a'; \"b\"; g() }", "function f(){'a';\"b\";g()}"},
      {"for ((let) of x);", "for((let)of x);"},
      {"for ((async) of x);", "for((async)of x);"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases));
}

TEST(TJsPrinterTest, AutomaticSemicolonsBecomeExplicit) {
  static const TCase Cases[] = {
      {"a = b\n(c)", "a=b(c)"},
      {"a = b\n++c", "a=b,++c"},
      {"return\na", "<failed"},  // return outside a function: see below
      {"function f() { return\na }", "function f(){return;a}"},
      {"a\n;;;\nb", "a,b"},
      // A final ";" stays: scripts get joined one after another.
      {"x = function () {};", "x=function(){};"},
      {"x = function () {}", "x=function(){}"},
      {"a(); // end\n", "a();"},
      {"if (a) ; else b", "a||b"},
      {"do x(); while (y) z()", "do x();while(y);z()"},
      {"x = y\n/a/g.exec(z)", "x=y/a/g.exec(z)"},
      {"let x = 1\nlet y = 2", "let x=1,y=2"},
      {"a: for (;;) { continue a\n b() }", "a:for(;;){continue a;b()}"},
  };
  for (const TCase& C : Cases) {
    if (std::string_view(C.Out).substr(0, 7) == "<failed") continue;
    ExpectPrintedSafe(&C, 1);
  }
}

TEST(TJsPrinterTest, SafeRewrites) {
  static const TCase Cases[] = {
      {"x = 1.0 + 0.5 + 1000 + 1e-100 + 0.000001 + 1234500000 + 0xFF + 1_000",
       "x=1+.5+1e3+1e-100+1e-6+12345e5+255+1e3"},
      {"x = 123456789012345680000 + 0.1 + 10 + 100 + 07 + 08 + 1n + 0x1Fn",
       "x=12345678901234568e4+.1+10+100+07+08+1n+0x1Fn"},
      {"a['b']; a[\"if\"]; a['b-c']; a['1']; a['\\u0062']; a?.['b']",
       "a.b,a.if,a['b-c'],a[1],a['\\u0062'],a?.b"},
      {"x = {'a': 1, \"b c\": 2, 'class': 3, 1.0: 4, 'd'() {}}",
       "x={a:1,\"b c\":2,class:3,1:4,d(){}}"},
      {"class A { 'get'() {} 'm'() {} 'static' = 1 }", "class A{'get'(){}m(){}'static'=1}"},
      {"if (a) { b; }; ;", "a&&b;"},
      {"x = [a, , b, ,]", "x=[a,,b,,]"},
      // Keys that are the text of an integer.
      {"x = {'10': 1, \"1000\": 2, '0': 3, '010': 4, '1.0': 5, '-1': 6, '1e3': 7}",
       "x={10:1,1e3:2,0:3,'010':4,'1.0':5,'-1':6,'1e3':7}"},
      {"a['10']; a?.['1000']; a['0x1']; a['9007199254740993']; class C { '1'() {} }",
       "a[10],a?.[1e3],a['0x1'],a['9007199254740993'];class C{1(){}}"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases));
}

TEST(TJsPrinterTest, ShortestNumberKeepsTheValue) {
  static const TCase Cases[] = {
      {"0", "0"},
      {"0.0", "0"},
      {"00", "00"},
      {"1.50", "1.5"},
      {"1e21", "1e21"},
      {".5e1", "5"},
      {"5e-324", "5e-324"},
      {"1e400", "1e400"},
      {"100", "100"},
      {"1000", "1e3"},
      {"0.01", ".01"},
      {"0b101", "5"},
      {"0o17", "15"},
      {"9007199254740993", "9007199254740993"},
      {"0x20000000000001", "0x20000000000001"},
      {"0xFFFF", "65535"},
  };
  for (const TCase& C : Cases) EXPECT_EQ(ShortestNumber(C.In), C.Out) << C.In;
}

TEST(TJsPrinterTest, WholeGrammar) {
  static const TCase Cases[] = {
      {"class A extends B { #x = 1; static #y; static { this.#y = 2 } get x() { return this.#x }"
       " set x(v) { this.#x = v } static async *g() { yield* a } #m() { return #x in this } }",
       "class A extends B{#x=1;static#y;static{this.#y=2}get x(){return this.#x}"
       "set x(v){this.#x=v}static async*g(){yield*a}#m(){return#x in this}}"},
      {"async function f() { for await (const x of y) await x; }",
       "async function f(){for await(const x of y)await x}"},
      {"function* g() { const x = yield; yield\na; yield a, b }",
       "function*g(){const x=yield;yield,a,yield a,b}"},
      {"var {a, b: [c = 1, ...d], ...e} = f, [g, , h = 2] = i",
       "var{a,b:[c=1,...d],...e}=f,[g,,h=2]=i"},
      {"x = a?.b?.[c]?.(d); x ?\?= 1; x ||= 2; x &&= 3", "x=a?.b?.[c]?.(d),x?\?=1,x||=2,x&&=3"},
      {"x = `a${b}c${`d${e}`}`; tag`x${y}`", "x=`a${b}c${`d${e}`}`,tag`x${y}`"},
      {"x = /[/]\\//v; y = /a/dgimsuy", "x=/[/]\\//v,y=/a/dgimsuy"},
      {"x = {get a() {}, set a(v) {}, get() {}, set: 1, async() {}, async *b() {}, [c]: 1, ...d}",
       "x={get a(){},set a(v){},get(){},set:1,async(){},async*b(){},[c]:1,...d}"},
      {"x = async (a, ...b) => { await a }; y = async a => a; z = async (a)",
       "x=async(a,...b)=>{await a},y=async a=>a,z=async(a)"},
      {"label: { break label; } switch (a) { case 1: b; default: c }",
       "label:break label;switch(a){case 1:b;default:c}"},
      {"try { a } catch { b } finally { c } try { a } catch ({e}) { }",
       "try{a}catch{b}finally{c}try{a}catch({e}){}"},
      {"x = new.target; y = import('m'); z = a => b => c", "x=new.target,y=import('m'),z=a=>b=>c"},
      {"if (a) b; else if (c) d; else { e }", "a?b:c?d:e"},
      {"with (a) { b }", "with(a)b"},
      {"#!/usr/bin/env node\nx()", "#!/usr/bin/env node\nx()"},
      {"/*! keep */ a(); /* drop */ b() // @license MIT\nc()",
       "/*! keep */a(),b();// @license MIT\nc()"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases));
}

TEST(TJsPrinterTest, ModuleForms) {
  static const TCase Cases[] = {
      {"import a, {b as c, d, 'e f' as g} from 'm'; import * as ns from 'n'; import 'o';",
       "import a,{b as c,d,'e f'as g}from'm';import*as ns from'n';import'o';"},
      {"export {a as b, c}; export * from 'm'; export * as ns from 'n'; export {x as 'y'} from 'z'",
       "export{a as b,c};export*from'm';export*as ns from'n';export{x as'y'}from'z'"},
      {"export default function () {} export const q = 1",
       "export default function(){}export const q=1"},
      {"export default (function () {}); export default (class {})",
       "export default(function(){});export default(class{})"},
      {"const x = await import('m', {with: {type: 'json'}}); console.log(import.meta.url)",
       "const x=await import('m',{with:{type:'json'}});console.log(import.meta.url)"},
      {"import j from './j.json' with { type: 'json' }",
       "import j from'./j.json'with{type:'json'}"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases), true);
}

TEST(TJsPrinterTest, SyntaxErrorFallsBackToSpacesWithANote) {
  static const char* const Cases[] = {
      "var x = ;\nfoo()",       "a = \\u0061",       "if (a) { b",
      "/*@cc_on @*/ var a = 1", "import x from 'm'", "var C = class {\n  # x;\n};",
  };
  for (const char* In : Cases) {
    std::string Note;
    const std::string Got = MinifyAt(In, TMinifyLevel::Safe, false, TCodePage::Utf8, &Note);
    TMinifyOptions O;
    const TMinifyResult Spaces = MinifyJs(In, TCodePage::Utf8, O);
    EXPECT_EQ(Got, Spaces.Ok ? Spaces.Output : "<failed: " + Spaces.Error + ">") << In;
    if (Spaces.Ok) {
      EXPECT_NE(Note.find("level spaces only (line"), std::string::npos) << In;
    }
  }
  std::string Note;
  MinifyAt("a()\nb()\nvar = 1", TMinifyLevel::Safe, false, TCodePage::Utf8, &Note);
  EXPECT_NE(Note.find("(line 3:"), std::string::npos) << Note;
}

// A script that must fail to parse never comes out as one that parses: the
// parser refuses it (the token minifier keeps its form) or the printer
// writes the faulty form back.
TEST(TJsPrinterTest, EarlyErrorsStayErrors) {
  static const char* const Refused[] = {
      "function f(...a,) {}",
      "async function* f(...a,) {}",
      "x = (...a,) => 1",
      "x = async (...a,) => 1",
      "x = ((a)) => 1",
      "x = ([(a)]) => 1",
      "x = ({a: b.c}) => 1",
      "({a}) = 1",
      "([a]) = 1",
      "for (({a}) of b);",
      "var C = class {\n  # x;\n};",
      "({ m(...a,) {} })",
      "x = 0 ?? 0 && true",
      "x = a || b ?? c",
      "new import('x')",
      "for (;false;) async function f() {}",
      // Targets that cannot be assigned to; without their parentheses some
      // would assign to their last operand
      "(x ? y : z) = 1",
      "(a ? b : c) &&= 1",
      "(a || b) = 1",
      "(-a) = 1",
      "(a, b) = 1",
      "a?.b = 1",
      "a?.b.c += 1",
      "[a] += 1",
      "({a} += 1)",
      "this = 1",
      "1 = 2",
      "x = `a` = 1",
      "x = -a ** 2",
      "x = typeof a ** 2",
      "x = b * !a ** 2",
      "async function f() { await a ** 2 }",
      // A line break between async and its parameters
      "async\n(foo) => {}",
      "x = async /*\n*/ (a) => a",
      "x = async // c\n(a) => a",
  };
  for (const char* In : Refused) {
    std::string Note;
    MinifyAt(In, TMinifyLevel::Safe, false, TCodePage::Utf8, &Note);
    EXPECT_NE(Note, "") << In;
  }
  static const TCase Kept[] = {
      {"[...a,] = b; x = [...a,]; ({...a,} = b)", "[...a,]=b,x=[...a,],{...a,}=b"},
      {"x = 1_ + 1__0 + 0x_1 + 1_e1 + 1_000", "x=1_+1__0+0x_1+1_e1+1e3"},
      {"f(...a,); x = [a, b,]; y = {a, b,}", "f(...a),x=[a,b],y={a,b}"},
      {"(a) = 1; ((a.b)) = 2; (a[0]) += 1; (a?.b).c = 3; [a] = b; f() = a['b']",
       "a=1,a.b=2,a[0]+=1,(a?.b).c=3,[a]=b,f()=a.b"},
      {"x = async (a) => a; y = async /* c */ (b) => b", "x=async a=>a,y=async b=>b"},
      {"x = (-a) ** 2; y = a ** -b", "x=(-a)**2,y=a**-b"},
  };
  for (const TCase& C : Kept) EXPECT_EQ(MinifyAt(C.In, TMinifyLevel::Safe), C.Out) << C.In;
}

// An anonymous function assigned to a bare name takes the name; to a
// parenthesised one it does not, so those parentheses stay.
TEST(TJsPrinterTest, ParenthesisedTargetsKeepFunctionsAnonymous) {
  static const TCase Cases[] = {
      {"var f; (f) = function() {}", "var f;(f)=function(){}"},
      {"(f) = class {}; (f) ||= () => 1; ((f)) ?\?= (function() {}); (f) &&= async function*() {}",
       "(f)=class{},(f)||=()=>1,(f)?\?=function(){},(f)&&=async function*(){}"},
      {"(f) = function g() {}; (f) += function() {}; f = (function() {}); (a.b) = function() {}",
       "f=function g(){},f+=function(){},f=function(){},a.b=function(){}"},
      {"[(f) = function() {}] = []; ({a: (f) = () => 1} = {})",
       "[(f)=function(){}]=[],{a:(f)=()=>1}={}"},
  };
  ExpectPrintedSafe(Cases, std::size(Cases));
  EXPECT_EQ(MinifyAt("function t() { var long; (long) = function() {}; return long.name }",
                     TMinifyLevel::Smallest),
            "function t(){var n;return(n)=function(){},n.name}");
}

TEST(TJsPrinterTest, InlineScriptsGoThroughTheParser) {
  TMinifyOptions O;
  O.CompressJs = true;
  O.Level = TMinifyLevel::Smallest;
  const std::string Page =
      "<p>a</p>\n<script>var keep = 1; function f(local) { return local * 1.0 }</script>\n"
      "<script>\nvar x = ;</script>";
  const TMinifyResult R = MinifyPage(Page, TCodePage::Utf8, O);
  ASSERT_TRUE(R.Ok);
  EXPECT_NE(R.Output.find("<script>var keep=1;function f(e){return e*1}</script>"),
            std::string::npos)
      << R.Output;
  EXPECT_NE(R.Output.find("<script>var x=;</script>"), std::string::npos) << R.Output;
  EXPECT_EQ(R.Note,
            "inline script from line 3: script minified at level spaces only (line 2: "
            "unexpected token)");
}

TEST(TJsPrinterTest, DeepNestingIsRefusedNotACrash) {
  std::string Deep(100000, '(');
  Deep += "a";
  Deep += std::string(100000, ')');
  std::string Chain = "x=a";
  for (int I = 0; I < 100000; ++I) Chain += "+a";
  std::string Note;
  for (const std::string* In : {&Deep, &Chain}) {
    const std::string Got = MinifyAt(*In, TMinifyLevel::Safe, false, TCodePage::Utf8, &Note);
    EXPECT_NE(Got.substr(0, 7), "<failed");
  }
}

// GBK and Big5 characters whose trail byte is 0x5C ("\") stay whole in
// strings, templates, regular expressions and comments at every level.
TEST(TJsPrinterTest, DoubleByteTrailBackslashStaysText) {
  const std::string In =
      "var s = \"\x81\x5C\"; var t = '\xA5\x5C'; var u = `\x81\x5C${s}`;\n"
      "var r = /\x81\x5C/; /*! \x81\x5C */ f(s, t, u, r, {'\x81\x5C': 1}, a['\x81\x5C']);";
  const std::string Want =
      "var s=\"\x81\x5C\",t='\xA5\x5C',u=`\x81\x5C${s}`,r=/\x81\x5C/;/*! \x81\x5C */"
      "f(s,t,u,r,{'\x81\x5C':1},a['\x81\x5C']);";
  for (TCodePage Page : {TCodePage::Gbk, TCodePage::Big5}) {
    EXPECT_EQ(MinifyAt(In, TMinifyLevel::Safe, false, Page), Want);
    EXPECT_EQ(MinifyAt(In, TMinifyLevel::Smallest, false, Page), Want);
    const std::string Spaces = MinifyAt(In, TMinifyLevel::Spaces, false, Page);
    EXPECT_NE(Spaces.find("\"\x81\x5C\""), std::string::npos);
    const std::string Local = "function f(){var s=\"\x81\x5C\";return s+'\xA5\x5C'}";
    EXPECT_EQ(MinifyAt(Local, TMinifyLevel::Smallest, false, Page),
              "function f(){var n=\"\x81\x5C\";return n+'\xA5\x5C'}");
  }
}

}  // namespace
}  // namespace larkspan::minify
