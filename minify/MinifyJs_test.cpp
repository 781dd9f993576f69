#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "minify/Minify.h"

namespace larkspan::minify {
namespace {

struct TCase {
  const char* In;
  const char* Out;
};

std::string Js(std::string_view In, bool Module = false, TCodePage Page = TCodePage::Utf8) {
  const TMinifyResult R = MinifyJs(In, Page, TMinifyOptions{}, Module);
  EXPECT_TRUE(R.Ok) << "input: " << In << "\nerror: " << R.Error << " at " << R.Line << ":"
                    << R.Column;
  return R.Output;
}

void ExpectTable(const std::vector<TCase>& Cases, bool Module = false) {
  for (const TCase& C : Cases) EXPECT_EQ(Js(C.In, Module), C.Out) << "input: " << C.In;
}

TEST(TMinifyJsTest, LineBreaksStayWhereAutomaticSemicolonsDependOnThem) {
  ExpectTable({
      {"a\n++b", "a\n++b"},
      {"a\n--b", "a\n--b"},
      {"function f(){return\nx}", "function f(){return\nx}"},
      {"function f(){return /* a\nb */ x}", "function f(){return\nx}"},
      {"for(;;){break\nfoo;continue\nfoo}", "for(;;){break\nfoo;continue\nfoo}"},
      {"function*g(){yield\nx}", "function*g(){yield\nx}"},
      {"x = y\n(z)", "x=y\n(z)"},
      {"x = y\n[0]", "x=y\n[0]"},
      {"let\n[a] = b", "let\n[a]=b"},
      // An error that must stay one: no line break may stand before =>.
      {"var af = ()\n=> {};", "var af=()\n=>{};"},
      {"async\nfunction f(){}", "async\nfunction f(){}"},
      {"class A { x\n y\n static\n z }", "class A{x\ny\nstatic\nz}"},
      {"class A { in\n x }", "class A{in\nx}"},
      {"x = {}\ny()", "x={}\ny()"},
      {"x = function(){}\ny()", "x=function(){}\ny()"},
      {"x = class {}\ny()", "x=class{}\ny()"},
      {"class A { #m = function(){}\n m() {} }", "class A{#m=function(){}\nm(){}}"},
      {"class A { static f = async function(){}\n m() {} }",
       "class A{static f=async function(){}\nm(){}}"},
      {"o = { function() {}, a: function(){} }\nx", "o={function(){},a:function(){}}\nx"},
      {"f = () => {}\n(g)", "f=()=>{}\n(g)"},
      {"x = c ? a : {}\ny()", "x=c?a:{}\ny()"},
      {"x = async function(){}\ny()", "x=async function(){}\ny()"},
      {"\"use strict\"\n(f)", "\"use strict\"\n(f)"},
      {"a\r\nb", "a\nb"},
      {"a\xE2\x80\xA8"
       "b",
       "a\nb"},
  });
}

TEST(TMinifyJsTest, LineBreaksGoWhereNoStatementCanEnd) {
  ExpectTable({
      {"a = 1;\nb = 2;\n", "a=1;b=2;"},
      {"{\n  x\n}\n", "{x}"},
      {"if (a)\n  b()\nelse\n  c()", "if(a)b()\nelse c()"},
      {"a\n.b\n.c()", "a.b.c()"},
      {"x = a +\n  b", "x=a+b"},
      {"function f() {}\nf()", "function f(){}f()"},
      {"class A {}\nnew A", "class A{}new A"},
      {"if (a) function h(){}\n/'/.test(s)", "if(a)function h(){}/'/.test(s)"},
      {"f(a,\n  b\n)", "f(a,b)"},
      {"x = [\n1,\n2\n]", "x=[1,2]"},
      {"var\na", "var a"},
      {"  \n\t a", "a"},
  });
}

TEST(TMinifyJsTest, NeighboursThatWouldMergeKeepASpace) {
  ExpectTable({
      {"a - -b", "a- -b"},
      {"a + +b", "a+ +b"},
      {"a - --b", "a- --b"},
      {"a++ +b", "a+++b"},
      {"a + ++b", "a+ ++b"},
      {"a-- - b", "a---b"},
      {"a - --b - -c", "a- --b- -c"},
      {"1 .toString()", "1 .toString()"},
      {"1_000 .toString()", "1_000 .toString()"},
      {"1.5 .toFixed()", "1.5.toFixed()"},
      {"0x1F .toString()", "0x1F.toString()"},
      {"a ? .5 : 1", "a? .5:1"},
      {"a?.b", "a?.b"},
      {"x = a / /b/.source", "x=a/ /b/.source"},
      {"/re/ in x", "/re/ in x"},
      {"/re/g instanceof RegExp", "/re/g instanceof RegExp"},
      {"typeof x", "typeof x"},
      {"return\"a\"", "return\"a\""},
      {"var \\u0061b = 1; typeof \\u{61}b", "var \\u0061b=1;typeof \\u{61}b"},
      {"a\\u{62} in c", "a\\u{62} in c"},
      {"a < /script/.source", "a< /script/.source"},
      {"a-- > b", "a-- >b"},
      {"a < !b", "a< !b"},
      {"[... .5]", "[....5]"},
      {"x = 1 in y", "x=1 in y"},
      {"class A { #x = 1; m() { return #x in this } }", "class A{#x=1;m(){return #x in this}}"},
      // Not a private name: it must stay a syntax error.
      {"var C = class {\n  # x;\n};", "var C=class{# x;};"},
  });
}

// Each input holds a regular expression with a quote or a `//` in it, or a
// division followed by one: read the other way it fails or loses code.
TEST(TMinifyJsTest, RegularExpressionsAreToldFromDivision) {
  ExpectTable({
      {"if (a) /'/.test(b)", "if(a)/'/.test(b)"},
      {"while (a) /'/.test(b)", "while(a)/'/.test(b)"},
      {"f(a) / 2; s = '/'", "f(a)/2;s='/'"},
      {"{}\n/'/.test(s)", "{}/'/.test(s)"},
      {"function f(){}\n/'/.test(s)", "function f(){}/'/.test(s)"},
      {"x = {} / a; y = '/'", "x={}/a;y='/'"},
      {"x = y\n{}\n/ '/.test(s)", "x=y\n{}/ '/.test(s)"},
      {"x = 'y'\n{}\n/ '/.test(s)", "x='y'\n{}/ '/.test(s)"},
      {"x = [y]\n{}\n/ '/.test(s)", "x=[y]\n{}/ '/.test(s)"},
      {"x = function(){} / a; y = '/'", "x=function(){}/a;y='/'"},
      {"x = a ? {} : {} / a; y = '/'", "x=a?{}:{}/a;y='/'"},
      {"f = x => /'/.test(x)", "f=x=>/'/.test(x)"},
      {"f = () => {}\n/'/.test(s)", "f=()=>{}\n/'/.test(s)"},
      {"x = a.return / 2; s = '/'", "x=a.return/2;s='/'"},
      {"a.if(b) / 2; s = '/'", "a.if(b)/2;s='/'"},
      {"x = a++ / 2; s = '/'", "x=a++/2;s='/'"},
      {"x = ++/'/.lastIndex", "x=++/'/.lastIndex"},
      {"x = typeof /'/", "x=typeof/'/"},
      {"switch(a){case /'/: break}", "switch(a){case/'/:break}"},
      {"function*g(){yield /'/}", "function*g(){yield/'/}"},
      {"class A { *g() { yield / a/ } }", "class A{*g(){yield/ a/}}"},
      {"o = { async *g() { yield / a/ }, h() { yield / a / 1 } }",
       "o={async*g(){yield/ a/},h(){yield/a/1}}"},
      {"for (const m of /'/g.exec(s)) {}", "for(const m of/'/g.exec(s)){}"},
      {"x = [a] / 2; s = '/'", "x=[a]/2;s='/'"},
      {"x = `a` / 2; s = '/'", "x=`a`/2;s='/'"},
      {"x = /[/]/.test(s)", "x=/[/]/.test(s)"},
      {"x = /\\//g", "x=/\\//g"},
      {"x = /[\\p{L}--[a-z]]/v", "x=/[\\p{L}--[a-z]]/v"},
      {"x = /[\\p{L}--[a-z\\/]]/v", "x=/[\\p{L}--[a-z\\/]]/v"},
  });
}

TEST(TMinifyJsTest, TemplatesStayByteForByte) {
  ExpectTable({
      {"x = `${`${a}`}`", "x=`${`${a}`}`"},
      {"x = `a ${ {b: 1}.b } c`", "x=`a ${{b:1}.b} c`"},
      {"x = `line\n  two ${ a /* c */ + b }`", "x=`line\n  two ${a+b}`"},
      {"x = tag `a\\`${b}\\${c}`", "x=tag`a\\`${b}\\${c}`"},
      {"x = `${ () => { return 1 } }`", "x=`${()=>{return 1}}`"},
  });
}

TEST(TMinifyJsTest, CommentsGoExceptLicencesAndConditionalCompilation) {
  ExpectTable({
      {"a /* x */ b", "a b"},
      {"a // x\nb", "a\nb"},
      {"/*! keep */\nvar a", "/*! keep */\nvar a"},
      {"/* Copyright @license MIT */ var a", "/* Copyright @license MIT */var a"},
      {"var a; /* @preserve x */", "var a;/* @preserve x */"},
      {"var a = 1 /*@cc_on + 1 @*/;", "var a=1/*@cc_on + 1 @*/;"},
      {"a; // @license x\nb", "a;// @license x\nb"},
      {"x = a / /*! k */ b", "x=a/ /*! k */b"},
      {"#!/usr/bin/env node\nvar a = 1", "#!/usr/bin/env node\nvar a=1"},
      {"#!/usr/bin/env node", "#!/usr/bin/env node"},
  });
}

TEST(TMinifyJsTest, HtmlLikeCommentsOnlyInScripts) {
  ExpectTable({
      {"<!-- hide\nx = 1\n--> end\ny = 2", "x=1\ny=2"},
      {"x = 1 <!-- rest of line\ny", "x=1\ny"},
      {"x = a --> b", "x=a-- >b"},
  });
  ExpectTable(
      {
          {"x = a <!--b", "x=a< !--b"},
          {"x = a\n--> b", "x=a\n-- >b"},
      },
      true);
}

TEST(TMinifyJsTest, StringsAndDirectivesStayAsWritten) {
  ExpectTable({
      {"function f(){\n'use strict'\nreturn 1}", "function f(){'use strict'\nreturn 1}"},
      {"\"use strict\";\nvar a", "\"use strict\";var a"},
      {"s = \"a\xE2\x80\x8B\xE2\x80\x8C\xE2\x80\x8D\xEF\xBB\xBF b\"",
       "s=\"a\xE2\x80\x8B\xE2\x80\x8C\xE2\x80\x8D\xEF\xBB\xBF b\""},
      {"s = '</script>'", "s='</script>'"},
      {"s = 'a\\\nb'", "s='a\\\nb'"},
      {"s = 'a\\\r\nb'", "s='a\\\r\nb'"},
      {"s = 'a\xE2\x80\xA8"
       "b'",
       "s='a\xE2\x80\xA8"
       "b'"},
      {"a\xEF\xBB\xBF b",
       "a\xEF\xBB\xBF"
       "b"},
      {"x = a\xC2\xA0+ b\xE3\x80\x80;", "x=a+b;"},
  });
}

// 0x5C after a lead byte is the second half of a character, never an escape.
TEST(TMinifyJsTest, DoubleByteCharactersTakeTheirTrailByte) {
  const struct {
    TCodePage Page;
    const char* In;
    const char* Out;
  } Cases[] = {
      {TCodePage::Gbk, "s = \"\x81\x5C\";  t = 1", "s=\"\x81\x5C\";t=1"},
      {TCodePage::Gbk, "s = '\x81\x5C'  +  '\xD6\xD0'", "s='\x81\x5C'+'\xD6\xD0'"},
      {TCodePage::Gbk, "s = `\x81\x5C`; r = /\x81\x5C/", "s=`\x81\x5C`;r=/\x81\x5C/"},
      {TCodePage::Gbk, "a /* \x81\x5C */ b", "a b"},
      {TCodePage::Gbk, "var \xD6\xD0 = 1", "var \xD6\xD0=1"},
      {TCodePage::Gbk, "x = a\xA1\xA1+ b", "x=a+b"},
      {TCodePage::Big5, "s = \"\xB3\x5C\";  t = 1", "s=\"\xB3\x5C\";t=1"},
      {TCodePage::Big5, "s = '\xA5\x5C' ; r = /\xA5\x5C/", "s='\xA5\x5C';r=/\xA5\x5C/"},
      {TCodePage::Single, "s = '\xE9'\xA0+ 1", "s='\xE9'+1"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Js(C.In, false, C.Page), C.Out) << "input: " << C.In;
}

TEST(TMinifyJsTest, WhatCannotBeTokenizedIsRefusedWithItsPosition) {
  const struct {
    const char* In;
    const char* Error;
    size_t Offset;
    int Line, Column;
  } Cases[] = {
      {"x = `abc", "unterminated template", 4, 1, 5},
      {"x = `a${b}c", "unterminated template", 4, 1, 5},
      {"var a;\n'abc", "unterminated string", 7, 2, 1},
      {"s = 'a\nb'", "unterminated string", 4, 1, 5},
      {"x = /abc\n/", "unterminated regular expression", 4, 1, 5},
      {"x = /[/", "unterminated regular expression", 4, 1, 5},
      {"a /* b", "unterminated comment", 2, 1, 3},
      {"s = \"\x81\x5C", "unterminated string", 4, 1, 5},
  };
  for (const auto& C : Cases) {
    const TMinifyResult R = MinifyJs(C.In, TCodePage::Gbk, TMinifyOptions{});
    EXPECT_FALSE(R.Ok) << C.In;
    EXPECT_TRUE(R.Output.empty()) << C.In;
    EXPECT_EQ(R.Error, C.Error) << C.In;
    EXPECT_EQ(R.Offset, C.Offset) << C.In;
    EXPECT_EQ(R.Line, C.Line) << C.In;
    EXPECT_EQ(R.Column, C.Column) << C.In;
  }
}

std::string ReadFile(const std::filesystem::path& P) {
  std::ifstream F(P, std::ios::binary);
  std::ostringstream S;
  S << F.rdbuf();
  return S.str();
}

// Apart from white space, the output's bytes are the input's, in order.
bool IsInputInOrder(std::string_view In, std::string_view Out) {
  auto White = [](char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r'; };
  size_t I = 0;
  for (char C : Out) {
    if (White(C)) continue;
    while (I < In.size() && In[I] != C) ++I;
    if (I == In.size()) return false;
    ++I;
  }
  return true;
}

// The sample scripts: each minifies to its expected file, keeps its bytes in
// order, and minifies to itself a second time.
TEST(TMinifyJsTest, SampleScriptsMinifyToTheirExpectedOutput) {
  const std::filesystem::path Dir =
      std::filesystem::path(LARKSPAN_SOURCE_DIR) / "minify/testdata/js";
  int Files = 0;
  for (const auto& E : std::filesystem::directory_iterator(Dir)) {
    const std::string Name = E.path().filename().string();
    if (!E.is_regular_file() || (E.path().extension() != ".js" && E.path().extension() != ".mjs"))
      continue;
    ++Files;
    const bool Module = E.path().extension() == ".mjs";
    const std::string In = ReadFile(E.path());
    const std::string Out = Js(In, Module);
    EXPECT_EQ(Out, ReadFile(Dir / "expected" / Name)) << Name;
    EXPECT_TRUE(IsInputInOrder(In, Out)) << Name;
    EXPECT_EQ(Js(Out, Module), Out) << Name << " changes when minified again";
    EXPECT_LT(Out.size(), In.size()) << Name;
  }
  EXPECT_GE(Files, 20);
}

// Cut anywhere, in any code page, a script is either minified or refused at
// a position inside it; nothing crashes and a refusal carries no output.
TEST(TMinifyJsTest, CutScriptsAreMinifiedOrRefusedInsideTheirBytes) {
  const std::filesystem::path Dir =
      std::filesystem::path(LARKSPAN_SOURCE_DIR) / "minify/testdata/js";
  const TCodePage Pages[] = {TCodePage::Utf8, TCodePage::Gbk, TCodePage::Big5, TCodePage::Single};
  int Refused = 0;
  for (const auto& E : std::filesystem::directory_iterator(Dir)) {
    if (!E.is_regular_file()) continue;
    const std::string In = ReadFile(E.path());
    for (size_t Cut = 0; Cut <= In.size(); Cut += 5) {
      const std::string_view Part(In.data(), Cut);
      const TMinifyResult R = MinifyJs(Part, Pages[Cut % 4], TMinifyOptions{}, Cut % 3 == 0);
      if (R.Ok) continue;
      ++Refused;
      EXPECT_TRUE(R.Output.empty());
      EXPECT_FALSE(R.Error.empty());
      EXPECT_LT(R.Offset, Part.size()) << E.path() << " cut at " << Cut;
      EXPECT_GE(R.Line, 1);
      EXPECT_GE(R.Column, 1);
    }
  }
  EXPECT_GT(Refused, 0);
}

}  // namespace
}  // namespace larkspan::minify
