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
      {"function f(x) { { let x = 2; g(x) } return x }", "function f(a){{let b=2;g(b)}return a}"},
      {"function f(e) { try { g() } catch (e) { e.x } return e }",
       "function f(a){try{g()}catch(b){b.x}return a}"},
      // The var names the catch parameter where it stands and a binding
      // of the function: both keep the name they share.
      {"function f() { try {} catch (e) { var e = 1; g(e) } return e }",
       "function f(){try{}catch(e){var e=1;g(e)}return e}"},
      {"function f(value) { for (let i of value) { let value = i; g(value) } }",
       "function f(a){for(let b of a){let c=b;g(c)}}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, FunctionDeclarationsInBlocks) {
  static const TCase Cases[] = {
      // Sloppy: the function is also a var of the enclosing function.
      {"function f() { if (a) { function inner() { return 1 } } return inner() }",
       "function f(){if(a){function b(){return 1}}return b()}"},
      // Strict: the block's own; the later name is a global.
      {"'use strict'; function f() { if (a) { function inner() {} inner() } return typeof inner }",
       "'use strict';function f(){if(a){function b(){}b()}return typeof inner}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ParametersAndDefaults) {
  static const TCase Cases[] = {
      {"function f(first = second, second) { return first }", "function f(a=b,b){return a}"},
      // A default sees the parameters, never the body's vars.
      {"var y = 1; function f(x = () => y) { var y = 2; return x() }",
       "var y=1;function f(a=()=>y){var b=2;return a()}"},
      {"function f(value) { var value; return value }", "function f(a){var a;return a}"},
      {"function f({alpha = 1, beta}, [gamma] = []) { return alpha + beta + gamma }",
       "function f({alpha:a=1,beta:b},[c]=[]){return a+b+c}"},
      {"function f(o) { var {x, y: [z = x]} = o; return {x, z} }",
       "function f(b){var{x:a,y:[c=a]}=b;return{x:a,z:c}}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, VarInLoopsIsHoisted) {
  static const TCase Cases[] = {
      {"function f(o) { for (var k in o) g(k); return k }",
       "function f(b){for(var a in b)g(a);return a}"},
      // Every name of a sequence in the head is a reference.
      {"function each(obj) { var i, length; for (i = 0, length = obj.length; i < length; i++) {}"
       " return obj }",
       "function each(b){var a,c;for(a=0,c=b.length;a<c;a++);return b}"},
      {"function f(o) { var k; for (k in o); for ([k] of o); return k }",
       "function f(b){var a;for(a in b);for([a]of b);return a}"},
      {"function f() { for (var i = 0; i < 3; i++); return i }",
       "function f(){for(var a=0;a<3;a++);return a}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ClassFieldsAndStaticBlocks) {
  static const TCase Cases[] = {
      {"function f(x) { return class { [x] = x; static { let x = 1; g(x) } m(x) { return x } } }",
       "function f(b){return class{[b]=b;static{let a=1;g(a)}m(a){return a}}}"},
      {"function f() { class Box { #v; get v() { return this.#v } } return new Box }",
       "function f(){class a{#v;get v(){return this.#v}}return new a}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, EvalWithAndNewFunction) {
  static const TCase Cases[] = {
      // A direct eval sees every name around it; an indirect one only globals.
      {"function f(x) { eval('x') } function g(x) { (0, eval)('x') }",
       "function f(x){eval('x')}function g(a){(0,eval)('x')}"},
      {"function f(x) { var long = 1; eval(''); return function (inner) { return inner } }",
       "function f(x){var long=1;return eval(''),function(a){return a}}"},
      {"function f(o, x) { with (o) { x = 1 } return x }", "function f(a,x){with(a)x=1;return x}"},
      {"function f(o) { with (o) { var v = 1 } return v }",
       "function f(a){with(a)var v=1;return v}"},
      {"function f(x) { return new Function('return x') }",
       "function f(a){return new Function('return x')}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, WhatIsNeverRenamed) {
  static const TCase Cases[] = {
      // Globals: a page's scripts share them.
      {"var total = 1; let count = 2; function run(step) { return step + total + count }",
       "var total=1;let count=2;function run(a){return a+total+count}"},
      {"function f(loop) { loop: for (;;) { if (loop) break loop } }",
       "function f(a){loop:for(;;)if(a)break loop}"},
      {"function f(first) { return arguments[0] + first }", "function f(a){return arguments[0]+a}"},
      {"function f() { var arguments = 1; return arguments }",
       "function f(){var arguments=1;return arguments}"},
      // Bindings that are errors in strict code keep the name that makes them so.
      {"function f(eval, yield) { 'use strict' }", "function f(eval,yield){'use strict'}"},
      {"var o = { get v() { return this._v }, set v(value) { this._v = value } }",
       "var o={get v(){return this._v},set v(a){this._v=a}}"},
      {"function f(key) { return {key, [key]: key, key2: key}.key }",
       "function f(a){return{key:a,[a]:a,key2:a}.key}"},
      // A renamed name never hides a global that a reference inside needs.
      {"function f(x) { return a + x }", "function f(b){return a+b}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases));
}

TEST(TJsRenameTest, ModuleImportsExportsAndTopLevelAwait) {
  static const TCase Cases[] = {
      {"import {long as l, other} from 'm'; export const kept = 1; let local = 2;"
       " export {local as pub}; other(l, local, kept)",
       "import{long as a,other as b}from'm';export const kept=1;let local=2;"
       "export{local as pub};b(a,local,kept)"},
      {"import def, * as ns from 'm'; def(ns)", "import a,*as b from'm';a(b)"},
      {"const data = await fetch(u); export default data",
       "const a=await fetch(u);export default a"},
      {"export function f(p) { return p } export default class K {}",
       "export function f(a){return a}export default class b{}"},
  };
  ExpectPrintedMangle(Cases, std::size(Cases), true);
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
