// The rewrites that keep a script's meaning: what each makes of its input at
// the levels that parse, where each must not apply, and that the output is
// a fixed point.
#include "minify/JsSimplify.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "minify/Minify.h"

namespace larkspan::minify {
namespace {

struct TCase {
  const char* In;
  const char* Out;
};

std::string MinifyAt(std::string_view In, TMinifyLevel Level, std::string* Note = nullptr) {
  TMinifyOptions O;
  O.Level = Level;
  const TMinifyResult R = MinifyJs(In, TCodePage::Utf8, O, false);
  if (Note) *Note = R.Note;
  return R.Ok ? R.Output : "<failed: " + R.Error + ">";
}

// Each case's output at Level, read by the parser (no note), and unchanged
// when minified again.
template <size_t N>
void ExpectPrinted(const TCase (&Cases)[N], TMinifyLevel Level) {
  for (const TCase& C : Cases) {
    std::string Note;
    const std::string Got = MinifyAt(C.In, Level, &Note);
    EXPECT_EQ(Got, C.Out) << C.In;
    EXPECT_EQ(Note, "") << C.In;
    EXPECT_EQ(MinifyAt(Got, Level), Got) << "again: " << C.In;
  }
}

TEST(TJsSimplifyTest, IfBecomesAnExpression) {
  static const TCase Cases[] = {
      {"if (a) b()", "a&&b()"},
      {"if (!a) b()", "a||b()"},
      {"if (a) b(); else c()", "a?b():c()"},
      {"if (!a) b(); else c()", "a?c():b()"},
      {"if (a) { b(); c() }", "a&&(b(),c())"},
      {"if (a) {}", "a"},
      {"if (a); else b()", "a||b()"},
      {"if (a) {} else { b() }", "a||b()"},
      {"if (a) b = 1; else c = 2", "a?b=1:c=2"},
      {"if (a) { b() } else if (c) { d() } else { e() }", "a?b():c?d():e()"},
      {"if (a || b) c()", "(a||b)&&c()"},
      {"if (a) b || c()", "a&&(b||c())"},
      {"if (a ?? b) c()", "(a??b)&&c()"},
      {"if (a) b ?? c()", "a&&(b??c())"},
      {"if (a = b) c()", "(a=b)&&c()"},
      {"if (a, b) c()", "(a,b)&&c()"},
      {"if ({}.a) b()", "({}).a&&b()"},
      {"if (function () {}()) b()", "(function(){})()&&b()"},
      {"if (a) ({}).b = 1", "a&&({}.b=1)"},
      {"if (a) 'x'", "a&&'x'"},
      // What stays a statement.
      {"if (a) throw b", "if(a)throw b"},
      {"if (a) var x = 1", "if(a)var x=1"},
      {"function f() { if (a) return; b() }", "function f(){if(a)return;b()}"},
      {"function f() { if (a) return b; else return c }", "function f(){return a?b:c}"},
      {"function f() { if (!a) return b; return c }", "function f(){return a?c:b}"},
      {"function f() { if (a) return; return c }", "function f(){if(a)return;return c}"},
      {"function f() { if (a) {} else { return } }", "function f(){if(!a)return}"},
  };
  ExpectPrinted(Cases, TMinifyLevel::Safe);
}

TEST(TJsSimplifyTest, BracesGoOnlyWhereNothingChanges) {
  static const TCase Cases[] = {
      {"while (a) { b() }", "while(a)b()"},
      {"for (;;) {}", "for(;;);"},
      {"do { a() } while (b)", "do a();while(b)"},
      {"for (x in o) { f(x) }", "for(x in o)f(x)"},
      {"l: { for (;;) break l }", "l:for(;;)break l"},
      {"{ var x; f() } g()", "var x;f(),g()"},
      {"{ a(); { b() } }", "a(),b()"},
      // A later else would join an inner if without one.
      {"function f() { if (a) { if (b) return } else d() }",
       "function f(){if(a){if(b)return}else d()}"},
      {"if (a) { for (;;) if (b) break } else c()", "if(a){for(;;)if(b)break}else c()"},
      {"if (a) { l: while (x) if (b) break } else c()", "if(a){l:while(x)if(b)break}else c()"},
      {"function f() { if (a) { if (b) return; else x() } else d() }",
       "function f(){if(a)if(b)return;else x();else d()}"},
      {"if (a) { if (b) c() } else d()", "a?b&&c():d()"},
      // Declarations that belong to their block.
      {"if (a) { let x = 1 }", "if(a){let x=1}"},
      {"if (a) { const x = 1; f(x) }", "if(a){const x=1;f(x)}"},
      {"if (a) { function g() {} }", "if(a){function g(){}}"},
      {"if (a) { class C {} }", "if(a){class C{}}"},
      {"{ let x; f(x) } { let x; g(x) }", "{let x;f(x)}{let x;g(x)}"},
      {"{ function g() {} } g()", "{function g(){}}g()"},
      {"while (a) { l: function g() {} }", "while(a){l:function g(){}}"},
  };
  ExpectPrinted(Cases, TMinifyLevel::Safe);
}

TEST(TJsSimplifyTest, NeighbouringStatementsJoin) {
  static const TCase Cases[] = {
      {"a(); b(); c()", "a(),b(),c()"},
      {"a = 1; (b, c); d()", "a=1,b,c,d()"},
      {"var a = 1; var b = 2; let c; let d; const e = 1, f = 2; const g = 3",
       "var a=1,b=2;let c,d;const e=1,f=2,g=3"},
      {"var a; let b; var c", "var a;let b;var c"},
      {"x = 0; for (; x < 3; x++) f()", "for(x=0;x<3;x++)f()"},
      {"var i = 0; for (; i < 3;) i++", "for(var i=0;i<3;)i++"},
      {"let i = 0; for (;;);", "let i=0;for(;;);"},
      {"x = a in b; for (;;);", "for(x=(a in b);;);"},
      {"var x = a in b; for (;;);", "for(var x=(a in b);;);"},
      {"x = 0; for (y = 0;;);", "x=0;for(y=0;;);"},
      {"function f() { a(); return b }", "function f(){return a(),b}"},
      {"function f() { a(); throw b }", "function f(){throw a(),b}"},
      {"function f() { a(); return }", "function f(){a()}"},
      {"function f() { return void 0 }", "function f(){}"},
      {"function f() { for (;;) return }", "function f(){for(;;)return}"},
      {"a(); function f() {} b()", "a();function f(){}b()"},
      {"'use strict'; a(); b()", "'use strict';a(),b()"},
      {"a(); 'not a directive'", "a(),'not a directive'"},
      {"a => a; b()", "a=>a,b()"},
      {"switch (x) { case 1: { a(); b() } }", "switch(x){case 1:a(),b()}"},
      {"try { a(); b() } catch (e) { c() } finally { d() }",
       "try{a(),b()}catch(e){c()}finally{d()}"},
      {"x = () => { a(); b() }", "x=()=>{a(),b()}"},
      {"class C { static { a(); b() } m() { c(); return d } }",
       "class C{static{a(),b()}m(){return c(),d}}"},
  };
  ExpectPrinted(Cases, TMinifyLevel::Safe);
  TMinifyOptions O;
  O.Level = TMinifyLevel::Safe;
  EXPECT_EQ(MinifyJs("export default function () { a(); b() }; x(); y()", TCodePage::Utf8, O, true)
                .Output,
            "export default function(){a(),b()}x(),y()");
}

TEST(TJsSimplifyTest, TrueAndFalseAsNotZeroAndNotOne) {
  static const TCase Cases[] = {
      {"x = true; y = false", "x=!0,y=!1"},
      {"x = {true: 1, false: 2}; x.true; x.false", "x={true:1,false:2},x.true,x.false"},
      {"class C { true() {} static false = 1 }", "class C{true(){}static false=1}"},
      {"true.toString()", "(!0).toString()"},
      {"x = true ** 2", "x=(!0)**2"},
      {"x = typeof true; y = -false", "x=typeof!0,y=-!1"},
      {"x = {a: true}; y = [false]", "x={a:!0},y=[!1]"},
      {"x = null", "x=null"},
  };
  ExpectPrinted(Cases, TMinifyLevel::Safe);
}

TEST(TJsSimplifyTest, UndefinedAsVoidZeroOnlyWhereItIsTheGlobal) {
  static const TCase Smallest[] = {
      {"x = undefined", "x=void 0"},
      {"x = a === undefined", "x=a===void 0"},
      {"f(undefined, ...a)", "f(void 0,...a)"},
      {"x = a ? undefined : 1", "x=a?void 0:1"},
      {"x = typeof undefined", "x=typeof void 0"},
      {"function f() { return undefined }", "function f(){}"},
      {"var x = undefined", "var x=void 0"},
      {"x = undefined.a", "x=undefined.a"},
      {"undefined = 1; undefined++", "undefined=1,undefined++"},
      {"[undefined] = a; ({a: undefined} = b)", "[undefined]=a,{a:undefined}=b"},
      {"x = delete undefined", "x=delete undefined"},
      {"x = {undefined}", "x={undefined}"},
      {"function f(undefined) { return undefined }", "function f(undefined){return undefined}"},
      {"function f() { let undefined = 1; g(undefined) }",
       "function f(){let undefined=1;g(undefined)}"},
      {"with (o) x = undefined", "with(o)x=undefined"},
      {"eval(s); x = undefined", "eval(s),x=undefined"},
  };
  ExpectPrinted(Smallest, TMinifyLevel::Smallest);
  static const TCase Safe[] = {
      {"x = undefined", "x=undefined"},
      {"function f() { return undefined }", "function f(){return undefined}"},
  };
  ExpectPrinted(Safe, TMinifyLevel::Safe);
}

}  // namespace
}  // namespace larkspan::minify
