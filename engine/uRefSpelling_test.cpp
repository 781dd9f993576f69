// Reading references the way a browser does, and spelling new ones alike.
#include "engine/uRefSpelling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace larkspan {
namespace {

const std::string Root = "/s/";

TEST(RefSpellingTest, CharacterReferencesDecodeButNeverToControlBytes) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      {"dup&#46;png", "dup.png"},
      {"&#x64;up.png", "dup.png"},
      {"&#X64;up&#46png", "dup.png"},  // ";" may be missing
      {"a&amp;b&period;gif", "a&b.gif"},
      {"img&sol;a.gif", "img/a.gif"},
      {"&#20013;.gif", "\xE4\xB8\xAD.gif"},
      {"line&#10;break", "line&#10;break"},  // lines must stay where they are
      {"&#0;&#x110000;", "&#0;&#x110000;"},
      {"&nosuch; & &#;", "&nosuch; & &#;"},
      {"trailing &#", "trailing &#"},
  };
  for (const Case& C : Cases) EXPECT_EQ(DecodeCharRefs(C.In), C.Out) << C.In;
}

TEST(RefSpellingTest, BaseHrefOfTheFirstBaseTag) {
  EXPECT_EQ(BaseHrefOf("<head><BASE HREF=\"/img/\"><base href='x/'>"), "/img/");
  EXPECT_EQ(BaseHrefOf("<base target=_top href=pics/ >"), "pics/");
  EXPECT_EQ(BaseHrefOf("<basefont href=\"x/\"><p>"), "");
  EXPECT_EQ(BaseHrefOf("<base target=\"_top\"><base href=\"x/\">"), "");
  EXPECT_EQ(BaseHrefOf("<base href=\"unterminated"), "unterminated");
  EXPECT_EQ(BaseHrefOf(""), "");
}

TEST(RefSpellingTest, EverySpellingOfAPathResolvesToIt) {
  struct Case {
    const char* Ref;
    const char* Dir;
    const char* Path;
  } Cases[] = {
      {"img/b.gif", "/s/", "/s/img/b.gif"},
      {"./img/b.gif", "/s/", "/s/img/b.gif"},
      {"img/x/../b.gif", "/s/", "/s/img/b.gif"},
      {"/img/b.gif", "/s/news/", "/s/img/b.gif"},
      {"../img/b.gif", "/s/news/", "/s/img/b.gif"},
      {"img/%62.gif", "/s/", "/s/img/b.gif"},
      {"img/b&#46;gif?v=2#top", "/s/", "/s/img/b.gif"},
      {"img//b.gif", "/s/", "/s/img/b.gif"},
      {"/img/b.gif", "", "/s/img/b.gif"},  // rooted needs no folder
      {"img/b.gif", "", ""},               // relative does
      {"../b.gif", "/s/", ""},             // above the site's top
      {"http://host/img/b.gif", "/s/", ""},
      {"//host/img/b.gif", "/s/", ""},
      {"data:image/gif;base64,R0lG", "/s/", ""},
      {"img/", "/s/", ""},
      {"", "/s/", ""},
  };
  for (const Case& C : Cases) EXPECT_EQ(ResolveRef(C.Ref, Root, C.Dir), C.Path) << C.Ref;
}

// A reference to the kept picture is written the way the old one was.
TEST(RefSpellingTest, NewReferenceKeepsTheOldOnesStyle) {
  struct Case {
    const char* Old;
    const char* Dir;
    const char* Master;
    const char* New;
  } Cases[] = {
      {"img/b.gif", "/s/", "/s/img/a.gif", "img/a.gif"},
      {"./img/b.gif", "/s/", "/s/img/a.gif", "./img/a.gif"},
      {"./b.gif", "/s/news/", "/s/img/a.gif", "../img/a.gif"},
      {"/img/b.gif", "/s/news/", "/s/img/a.gif", "/img/a.gif"},
      {"img/x/../b.gif", "/s/", "/s/img/a.gif", "img/a.gif"},
      {"img/b.gif?v=2#x", "/s/", "/s/img/a.gif", "img/a.gif?v=2#x"},
      {"img/%62.gif", "/s/", "/s/img/\xE5\x9B\xBE a.gif", "img/%E5%9B%BE%20a.gif"},
      {"img/b.gif", "/s/", "/s/img/\xE5\x9B\xBE a.gif", "img/\xE5\x9B\xBE a.gif"},
      {"img/b.gif", "/s/", "/s/img/q\"<a>#?%&.gif", "img/q%22%3Ca%3E%23%3F%25&amp;.gif"},
      {"b.gif", "/s/img/", "/s/img/c:d\\e.gif", "./c:d%5Ce.gif"},  // not a scheme
  };
  for (const Case& C : Cases) {
    TRefStyle Style;
    ASSERT_FALSE(ResolveRef(C.Old, Root, C.Dir, &Style).empty()) << C.Old;
    const std::string New = SpellRef(Root, C.Dir, C.Master, Style);
    EXPECT_EQ(New, C.New) << C.Old;
    // Read back, it leads to the master.
    EXPECT_EQ(ResolveRef(New, Root, C.Dir), C.Master) << New;
  }
}

TEST(RefSpellingTest, BaseFolderOfAPage) {
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "", false), "/s/news/");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "../img/", false), "/s/img/");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "/img/index.html", false), "/s/img/");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "/", false), "/s/");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "http://h.example/img/", false), "");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "http://h.example/img/", true), "/s/img/");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "//h.example", true), "/s/");
  EXPECT_EQ(BaseDirOf(Root, "/s/news/", "../../../", false), "");
}

TEST(RefSpellingTest, NameFinderFindsEachNameInAnyCaseAndAcrossBreaks) {
  const TNameFinder F({"dup.png", "a.gif", "ba.gif", "README"});
  auto Names = [&](std::string_view Text) {
    std::string Found;
    for (const auto& H : F.Find(Text)) Found += std::to_string(H.Name);
    return Found;
  };
  EXPECT_EQ(Names("RewriteRule x /img/DUP.PNG"), "0");
  EXPECT_EQ(Names("src=ba.gif"), "12");  // "a.gif" ends "ba.gif" too
  EXPECT_EQ(Names("du\np.png and dup.pn"), "0");
  EXPECT_EQ(Names("see readme"), "3");
  EXPECT_EQ(Names("nothing.here"), "");
  EXPECT_TRUE(TNameFinder({}).Find("a.gif").empty());
}

// Malformed text never crashes a reading, and what is read stays within
// its rules: a resolved path lies below the site folder and reads back from
// its own spelling; a decoded text never gains a line break.
TEST(RefSpellingTest, RandomTextKeepsTheInvariants) {
  std::mt19937 Random(20);
  const std::string Alphabet = "ab./%&#;x0123456789ABCDEF?<>\"' \n\\:gif";
  const TNameFinder Finder({"a.gif", "b.gif", "#x;.gif", "noext"});
  for (int Round = 0; Round < 5000; ++Round) {
    std::string Text;
    const size_t Length = Random() % 40;
    for (size_t I = 0; I < Length; ++I)
      Text += Random() % 8 ? Alphabet[Random() % Alphabet.size()] : char(Random() % 256);
    SCOPED_TRACE(Text);
    const std::string Decoded = DecodeCharRefs(Text);
    EXPECT_EQ(std::count(Decoded.begin(), Decoded.end(), '\n'),
              std::count(Text.begin(), Text.end(), '\n'));
    (void)PercentDecode(Text);
    (void)HasEscapes(Text);
    (void)BaseHrefOf("<base href=" + Text);
    (void)BaseDirOf(Root, "/s/d/", Text, true);
    for (const auto& Hit : Finder.Find(Text)) EXPECT_LE(Hit.End, Text.size());
    TRefStyle Style;
    const std::string Path = ResolveRef(Text, Root, "/s/d/", &Style);
    if (Path.empty()) continue;
    EXPECT_EQ(Path.compare(0, Root.size(), Root), 0) << Path;
    EXPECT_EQ(ResolveRef(SpellRef(Root, "/s/d/", Path, Style), Root, "/s/d/"), Path);
  }
}

}  // namespace
}  // namespace larkspan
