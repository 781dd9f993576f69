#include "engine/uLinkedSheets.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "compress/uNativeCompress.h"
#include "engine/uPageText.h"
#include "engine/uRefSpelling.h"
#include "minify/Charset.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

TLinkedSheets::TLinkedSheets(std::string ARoot, TCodePage ASetting)
    : Root(std::move(ARoot)), Setting(ASetting) {}

std::unique_ptr<const TLinkedSheets::TSheet> TLinkedSheets::Read(const std::string& Path) const {
  if (PathKind(Path) != TPathKind::File || FileSizeOf(Path) > MaxMinifySize) return nullptr;
  std::string Css;
  try {
    Css = ReadFileText(Path);
  } catch (const std::exception&) {
    return nullptr;  // an unreadable sheet keeps nothing the page itself does not
  }
  auto S = std::make_unique<TSheet>();
  minify::CollectPreRules(Css, S->Rules);
  const TCodePage Page = minify::DetectCodePage(Css, Setting);
  const std::string Dir = ExtractFilePath(Path);
  for (const std::string& Url : minify::ImportedStyleSheets(Css, Page)) {
    const std::string Imported = ResolveRef(Url, Root, Dir);
    if (!Imported.empty()) S->Imports.push_back(Imported);
  }
  return S;
}

const TLinkedSheets::TSheet* TLinkedSheets::Sheet(const std::string& Path) {
  {
    const std::lock_guard<std::mutex> Hold(Lock);
    const auto It = Sheets.find(Path);
    if (It != Sheets.end()) return It->second.get();
  }
  // Read outside the lock; a sheet two workers read at once is kept once.
  std::unique_ptr<const TSheet> S = Read(Path);
  const std::lock_guard<std::mutex> Hold(Lock);
  return Sheets.emplace(Path, std::move(S)).first->second.get();
}

std::vector<std::string> TLinkedSheets::SheetsOf(const std::string& PageFile,
                                                 std::string_view Page) {
  std::vector<std::string> Paths;
  const std::vector<std::string> Hrefs = minify::LinkedStyleSheets(Page);
  if (Hrefs.empty()) return Paths;
  const std::string Dir =
      BaseDirOf(Root, ExtractFilePath(PageFile), BaseHrefOf(Page), /*AllowHost=*/false);
  auto Add = [&Paths](const std::string& P) {
    if (std::find(Paths.begin(), Paths.end(), P) == Paths.end()) Paths.push_back(P);
  };
  std::vector<std::string> Linked;
  for (const std::string& Href : Hrefs) {
    const std::string Path = ResolveRef(Href, Root, Dir);
    if (!Path.empty() && Sheet(Path)) Linked.push_back(Path);
  }
  for (const std::string& P : Linked) Add(P);
  for (const std::string& P : Linked)
    for (const std::string& Imported : Sheet(P)->Imports)
      if (Sheet(Imported)) Add(Imported);
  return Paths;
}

std::vector<std::string> TLinkedSheets::SheetsForProgram(const std::string& PageFile,
                                                         const std::string& TextFile,
                                                         const std::string& Folder) {
  std::string Text;
  try {
    Text = ReadFileText(TextFile);
  } catch (const std::exception&) {
    return {};
  }
  bool Big = false;
  if (IsUtf16Page(Text, Setting, Big)) Text = Utf16AsUtf8(Text, Big);
  std::vector<std::string> Paths = SheetsOf(PageFile, Text);
  for (size_t I = 0; I < Paths.size(); ++I) {
    if (minify::IsValidUtf8(Paths[I])) continue;
    const std::string Copy = Folder + "sheet" + std::to_string(I) + ".css";
    Paths[I] = CopyFileOverwrite(Paths[I], Copy) ? Copy : std::string();
  }
  Paths.erase(std::remove(Paths.begin(), Paths.end(), std::string()), Paths.end());
  return Paths;
}

minify::TPreRules TLinkedSheets::RulesOf(const std::string& PageFile, std::string_view Bytes) {
  minify::TPreRules Rules;
  bool Big = false;
  if (IsUtf16Page(Bytes, Setting, Big))
    AddRules(PageFile, Utf16AsUtf8(Bytes, Big), Rules);
  else
    AddRules(PageFile, Bytes, Rules);
  return Rules;
}

std::string RulesKeyText(const minify::TPreRules& Rules) {
  std::string Text = Rules.WholePage ? "*\n" : "";
  // Each name after its set's letter and its length: two different lists
  // never read alike.
  const std::pair<char, const std::unordered_set<std::string>*> Sets[] = {
      {'t', &Rules.Tags}, {'c', &Rules.Classes}, {'i', &Rules.Ids}};
  for (const auto& [Letter, Set] : Sets) {
    std::vector<std::string> Names(Set->begin(), Set->end());
    std::sort(Names.begin(), Names.end());
    for (const std::string& N : Names) Text += Letter + std::to_string(N.size()) + ":" + N;
  }
  return Text;
}

void TLinkedSheets::AddRules(const std::string& PageFile, std::string_view Page,
                             minify::TPreRules& Rules) {
  for (const std::string& Path : SheetsOf(PageFile, Page))
    if (const TSheet* S = Sheet(Path)) minify::AddPreRules(S->Rules, Rules);
}

}  // namespace larkspan
