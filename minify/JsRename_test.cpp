// Scopes and renaming at level smallest: the hazards where a renamed name
// could change what a reference means.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "minify/Minify.h"
#include "minify/MinifyTestUtil.h"

namespace larkspan::minify {
namespace {

struct TCase {
  const char* In;
  const char* Out;
};

std::string Smallest(std::string_view In, bool Module = false) {
  TMinifyOptions O;
  O.Level = TMinifyLevel::Smallest;
  const TMinifyResult R = MinifyJs(In, TCodePage::Utf8, O, Module);
  if (!R.Note.empty()) return "<note: " + R.Note + ">";
  return R.Ok ? R.Output : "<failed: " + R.Error + ">";
}

void ExpectPrintedMangle(const TCase* Cases, size_t N, bool Module = false) {
  for (size_t I = 0; I < N; ++I) {
    const std::string Got = Smallest(Cases[I].In, Module);
    EXPECT_EQ(Got, Cases[I].Out) << Cases[I].In;
    EXPECT_EQ(Smallest(Got, Module), Got) << "again: " << Cases[I].In;
  }
}

TEST(TJsRenameTest, ShadowingInBlocksAndCatch) {
  static const TCase Cases[] = {
      {"function f(x) { { let x = 2; g(x) } return x }", "function f(n){{let n=2;g(n)}return n}"},
      {"function f(e) { try { g() } catch (e) { e.x } return e }",
       "function f(t){try{g()}catch(t){t.x}return t}"},
      // The var names the catch parameter where it stands and a binding
      // of the function: both keep the name they share.
      {"function f() { try {} catch (e) { var e = 1; g(e) } return e }",
       "function f(){try{}catch(e){var e=1;g(e)}return e}"},
      {"function f(value) { for (let i of value) { let value = i; g(value) } }",
       "function f(o){for(let t of o){let o=t;g(o)}}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, FunctionDeclarationsInBlocks) {
  static const TCase Cases[] = {
      // Sloppy: the function is also a var of the enclosing function.
      {"function f() { if (a) { function inner() { return 1 } } return inner() }",
       "function f(){if(a){function n(){return 1}}return n()}"},
      // Strict: the block's own; the later name is a global.
      {"'use strict'; function f() { if (a) { function inner() {} inner() } return typeof inner }",
       "'use strict';function f(){if(a){function n(){}n()}return typeof inner}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ParametersAndDefaults) {
  static const TCase Cases[] = {
      {"function f(first = second, second) { return first }", "function f(n=r,r){return n}"},
      // A default sees the parameters, never the body's vars.
      {"var y = 1; function f(x = () => y) { var y = 2; return x() }",
       "var y=1;function f(r=()=>y){var n=2;return r()}"},
      {"function f(value) { var value; return value }", "function f(n){var n;return n}"},
      {"function f(o) { var {x, y: [z = x]} = o; return {x, z} }",
       "function f(r){var{x:n,y:[t=n]}=r;return{x:n,z:t}}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
  // Expanded shorthand adds its keys' letters to the text, so a second run
  // may pick other letters (never longer names).
  const std::string In =
      "function f({alpha = 1, beta}, [gamma] = []) { return alpha + beta + gamma }";
  const std::string Out = Smallest(In);
  EXPECT_EQ(Out, "function f({alpha:n=1,beta:r},[t]=[]){return n+r+t}");
  EXPECT_EQ(Smallest(Out).size(), Out.size());
}

TEST(TJsRenameTest, VarInLoopsIsHoisted) {
  static const TCase Cases[] = {
      {"function f(o) { for (var k in o) g(k); return k }",
       "function f(r){for(var n in r)g(n);return n}"},
      // Every name of a sequence in the head is a reference.
      {"function each(obj) { var i, length; for (i = 0, length = obj.length; i < length; i++) {}"
       " return obj }",
       "function each(r){var n,e;for(n=0,e=r.length;n<e;n++);return r}"},
      {"function f(o) { var k; for (k in o); for ([k] of o); return k }",
       "function f(n){var r;for(r in n);for([r]of n);return r}"},
      {"function f() { for (var i = 0; i < 3; i++); return i }",
       "function f(){for(var r=0;r<3;r++);return r}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ClassFieldsAndStaticBlocks) {
  static const TCase Cases[] = {
      {"function f(x) { return class { [x] = x; static { let x = 1; g(x) } m(x) { return x } } }",
       "function f(t){return class{[t]=t;static{let t=1;g(t)}m(t){return t}}}"},
      {"function f() { class Box { #v; get v() { return this.#v } } return new Box }",
       "function f(){class n{#v;get v(){return this.#v}}return new n}"},
      // A class expression's heritage sees the class's own name, not the
      // outer one: both keep throwing the same error.
      {"function f() { var x = (class x extends x {}); }",
       "function f(){var n=class n extends n{}}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, EvalWithAndNewFunction) {
  static const TCase Cases[] = {
      // A direct eval sees every name around it; an indirect one only globals.
      {"function f(x) { eval('x') } function g(x) { (0, eval)('x') }",
       "function f(x){eval('x')}function g(n){(0,eval)('x')}"},
      {"function f(x) { var long = 1; eval(''); return function (inner) { return inner } }",
       "function f(x){var long=1;return eval(''),function(n){return n}}"},
      {"function f(o, x) { with (o) { x = 1 } return x }", "function f(n,x){with(n)x=1;return x}"},
      {"function f(o) { with (o) { var v = 1 } return v }",
       "function f(n){with(n)var v=1;return v}"},
      {"function f(x) { return new Function('return x') }",
       "function f(n){return new Function('return x')}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, WhatIsNeverRenamed) {
  static const TCase Cases[] = {
      // Globals: a page's scripts share them.
      {"var total = 1; let count = 2; function run(step) { return step + total + count }",
       "var total=1;let count=2;function run(t){return t+total+count}"},
      {"function f(loop) { loop: for (;;) { if (loop) break loop } }",
       "function f(o){loop:for(;;)if(o)break loop}"},
      {"function f(first) { return arguments[0] + first }", "function f(n){return arguments[0]+n}"},
      {"function f() { var arguments = 1; return arguments }",
       "function f(){var arguments=1;return arguments}"},
      // Bindings that are errors in strict code keep the name that makes them so.
      {"function f(eval, yield) { 'use strict' }", "function f(eval,yield){'use strict'}"},
      {"var o = { get v() { return this._v }, set v(value) { this._v = value } }",
       "var o={get v(){return this._v},set v(t){this._v=t}}"},
      {"function f(key) { return {key, [key]: key, key2: key}.key }",
       "function f(e){return{key:e,[e]:e,key2:e}.key}"},
      // A renamed name never hides a global that a reference inside needs.
      {"function f(x) { return a + x }", "function f(n){return a+n}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ModuleImportsExportsAndTopLevelAwait) {
  static const TCase Cases[] = {
      {"import {long as l, other} from 'm'; export const kept = 1; let local = 2;"
       " export {local as pub}; other(l, local, kept)",
       "import{long as o,other as l}from'm';export const kept=1;let local=2;"
       "export{local as pub};l(o,local,kept)"},
      {"import def, * as ns from 'm'; def(ns)", "import m,*as o from'm';m(o)"},
      {"const data = await fetch(u); export default data",
       "const t=await fetch(u);export default t"},
      {"export function f(p) { return p } export default class K {}",
       "export function f(t){return t}export default class t{}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases), true);
}

// A scope takes the names of outer symbols it never names (gzip likes the
// repetition), never one it still needs, and never a parameter's.
TEST(TJsRenameTest, InnerScopesReuseNamesTheyDoNotSee) {
  static const TCase Cases[] = {
      {"function f(a) { g(function (b) { return b }, function (c) { return c }); return a }",
       "function f(n){return g(function(n){return n},function(n){return n}),n}"},
      {"function f(a) { function g(b) { return a + b } return g }",
       "function f(r){function n(n){return r+n}return n}"},
      {"function f(a) { var b = 1; { let c = 2; g(b, c) } }",
       "function f(n){var t=1;{let n=2;g(t,n)}}"},
      {"function f(a) { var b; return b }", "function f(r){var n;return n}"},
      {"function f(a) { var b; arguments[0] = 2; return b }",
       "function f(r){var n;return arguments[0]=2,n}"},
      {"function f(a) { return (x) => a + x }", "function f(n){return r=>n+r}"},
      // An error that renaming apart would make valid keeps its names.
      {"function f(param) { let param; return param }",
       "function f(param){let param;return param}"},
      {"x = { m(param) { const param = 1 } }", "x={m(param){const param=1}}"},
      {"function f(a) { try { g() } catch (e) { h(a, e) } }",
       "function f(c){try{g()}catch(t){h(c,t)}}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ManyLocalsSkipReservedWords) {
  std::string In = "function f(){";
  for (int I = 0; I < 300; ++I) In += "var v" + std::to_string(I) + "=" + std::to_string(I) + ";";
  In += "return v0";
  for (int I = 1; I < 300; ++I) In += "+v" + std::to_string(I);
  In += "}";
  const std::string Out = Smallest(In);
  EXPECT_EQ(Out.find("var do="), std::string::npos);
  EXPECT_EQ(Out.find("var in="), std::string::npos);
  EXPECT_EQ(Out.find("v299"), std::string::npos);
  EXPECT_LT(Out.size(), In.size());
  EXPECT_EQ(Smallest(Out), Out);
}

// The sample scripts: every level parses them (none falls back but the ones
// with conditional compilation and escaped names), each output is a fixed point, and each
// level is no larger than the one before.
TEST(TJsRenameTest, SampleScriptsReachAFixedPoint) {
  const auto Files = test::CorpusFiles(LARKSPAN_MINIFY_TESTDATA "js", {".js"});
  ASSERT_GT(Files.size(), 10U);
  for (const auto& [Name, Text] : Files) {
    if (Name.find("expected") != std::string::npos) continue;
    size_t Before = Text.size();
    for (TMinifyLevel Level : {TMinifyLevel::Spaces, TMinifyLevel::Safe, TMinifyLevel::Smallest}) {
      TMinifyOptions O;
      O.Level = Level;
      const TMinifyResult R = MinifyJs(Text, TCodePage::Utf8, O);
      ASSERT_TRUE(R.Ok) << Name;
      if (Level != TMinifyLevel::Spaces && Name.find("comments") == std::string::npos &&
          Name.find("unicode-names") == std::string::npos) {
        EXPECT_EQ(R.Note, "") << Name;
      }
      EXPECT_LE(R.Output.size(), Before) << Name;
      Before = R.Output.size();
      const TMinifyResult Again = MinifyJs(R.Output, TCodePage::Utf8, O);
      EXPECT_EQ(Again.Output, R.Output) << Name;
    }
  }
}

}  // namespace
}  // namespace larkspan::minify
