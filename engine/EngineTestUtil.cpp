#include "engine/EngineTestUtil.h"

#include "engine/uEngineRun.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan::test {

TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output) {
  TRunResult R;
  static_cast<TRunOutcome&>(R) =
      RunEngineToEnd(Config, Root, Output, [&](int Percent) { R.Progress.push_back(Percent); });
  if (!R.CreateError.empty()) throw Exception(R.CreateError);
  return R;
}

TAppConfig BlankConfig() {
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  C.IsCompressHtml = false;
  return C;
}

// Fake optimisers (the real ones cannot be made to fail on cue): each
// takes a random moment, so the workers finish in a different order every
// time; a picture whose name holds "bad" makes them fail, any other comes
// out one byte shorter. The real jpegoptim does the JPEGs. They match the
// file's own name only: the folder it lies in has a random name, which may
// hold "bad" too.
void WriteFakeOptimisers(const std::string& Bin) {
  const std::string Shorter =
      "sleep 0.0$((RANDOM % 4))\n"
      "case \"${SRC##*/}\" in *bad*) exit 1;; esac\n"
      "head -c $(( $(stat -c %s \"$SRC\") - 1 )) \"$SRC\" > \"$DST\"\n";
  test::WriteScript(Bin + "gifsicle", "SRC=$4 DST=$3\n" + Shorter);
  // pngout on a picture whose name holds "capped" does what the real one does
  // at its safety cap: writes the picture unchanged and exits with 3.
  test::WriteScript(Bin + "pngout",
                    "SRC=$1 DST=$2\n"
                    "case \"${SRC##*/}\" in *capped*) cp \"$SRC\" \"$DST\"; exit 3;; esac\n" +
                        Shorter);
}

// A site with every kind of work: duplicates (some still referred to in a
// form the rewriting leaves, so they are written after all), rewritten and
// minified pages, an exception file, a script the minifier refuses, failing
// optimisers, pictures of every kind, filtered files.
void MakeBusySite(const TTempDir& Site) {
  const std::string Gif = "GIF89a" + std::string(300, 'g');
  const std::string Png = "\x89PNG\r\n\x1A\n" + std::string(400, 'p');
  const std::string Jpg = ReadFileText(ExtractFilePath(__FILE__) + "testdata/shrink.jpg");
  for (const char* Name : {"img/a.gif", "img/b.gif", "img/sub/c.gif", "gallery/a-copy.gif"})
    Site.Write(Name, Gif);
  for (const char* Name : {"img/p.png", "img/q.png"}) Site.Write(Name, Png);
  Site.Write("img/bad-one.png", "\x89PNG\r\n\x1A\n a picture its optimiser fails on");
  Site.Write("img/bad.gif", "GIF89a a picture its optimiser fails on");
  Site.Write("img/capped.png", "\x89PNG\r\n\x1A\n a picture that reaches the cap");
  Site.Write("img/photo.jpg", Jpg);
  Site.Write("img/photo-again.jpg", Jpg);
  for (int I = 0; I < 24; ++I) {
    const std::string N = std::to_string(I);
    Site.Write("img/own" + N + ".png", "\x89PNG\r\n\x1A\n picture " + N + std::string(50, 'x'));
  }
  for (int I = 0; I < 40; ++I) {
    const std::string Folder = I % 4 == 0 ? "news/" : "";
    const std::string Up = Folder.empty() ? "" : "../";
    std::string Page = "<html>\n  <body>\n    <p>page " + std::to_string(I) + "</p>\n";
    for (int J = 0; J <= I % 5; ++J)
      Page += "    <img src=\"" + Up + "img/b.gif\">  <a href='" + Up + "img/q.png'>q</a>\n";
    if (I == 13) Page += "    <div style=\"background:url(" + Up + "img/sub/c.gif)\"></div>\n";
    Page += "  </body>\n</html>\n";
    Site.Write(Folder + "p" + std::to_string(I) + ".html", Page);
  }
  Site.Write("except.html", "<p>   kept   as   it   is   </p>\n");
  Site.Write("css/site.css", "body  {  background : url(../img/photo-again.jpg) ;  }\n");
  Site.Write("js/app.js", "var  a = 1 ;\n\n  // a comment\nvar b = 2;\n");
  Site.Write("js/broken.js", "var s = 'never closed\n");
  Site.Write("data/feed.xml", "<feed>\n   <item>one</item>\n   <item>two</item>\n</feed>\n");
  Site.Write("notes.txt", "see img/a.gif");
  Site.Write("old.bak", "left out");
}

}  // namespace larkspan::test
