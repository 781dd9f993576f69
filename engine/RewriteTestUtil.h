// Test helpers for the reference rewriting and the reference check: the
// order in which the scan meets names, and a checker that every reference of a
// published page or style sheet that worked in the site still works.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan::test {

// Names (entries of Folder) in the order the engine's scan meets them: it
// walks folders in the order the system lists them.
inline std::vector<std::string> ListedOrder(const std::string& Folder,
                                            const std::vector<std::string>& Names) {
  std::vector<std::string> Order;
  for (const TDirEntry& E : ListDirectory(IncludeTrailingDelimiter(Folder)))
    for (const std::string& N : Names)
      if (E.Name == N) Order.push_back(N);
  return Order;
}

// The values of every src, href and srcset attribute (each srcset entry on
// its own) and every url(...) of Text, in text order.
inline std::vector<std::string> ReferencesIn(std::string_view Text) {
  std::vector<std::string> Refs;
  auto IsSpace = [](char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; };
  auto ValueAt = [&](size_t I, char Stop) {  // a quoted or unquoted value from I
    while (I < Text.size() && IsSpace(Text[I])) ++I;
    if (I < Text.size() && (Text[I] == '"' || Text[I] == '\'')) {
      const size_t End = Text.find(Text[I], I + 1);
      return std::string(Text.substr(I + 1, End == std::string_view::npos ? End : End - I - 1));
    }
    size_t End = I;
    while (End < Text.size() && !IsSpace(Text[End]) && Text[End] != '>' && Text[End] != Stop) ++End;
    return std::string(Text.substr(I, End - I));
  };
  for (size_t I = 0; I < Text.size(); ++I) {
    auto At = [&](std::string_view Word) { return SameText(Text.substr(I, Word.size()), Word); };
    const bool NameStart = I == 0 || IsSpace(Text[I - 1]);
    if (At("url(")) {
      std::string V = ValueAt(I + 4, ')');
      while (!V.empty() && IsSpace(V.back())) V.pop_back();
      Refs.push_back(V);
      continue;
    }
    std::string_view Name;
    for (std::string_view N : {"srcset", "src", "href"})
      if (NameStart && At(N)) {
        Name = N;
        break;
      }
    if (Name.empty()) continue;
    size_t J = I + Name.size();
    while (J < Text.size() && IsSpace(Text[J])) ++J;
    if (J >= Text.size() || Text[J] != '=') continue;
    const std::string Value = ValueAt(J + 1, 0);
    if (Name != "srcset") {
      Refs.push_back(Value);
      continue;
    }
    size_t From = 0;
    while (From < Value.size()) {
      size_t Comma = Value.find(',', From);
      if (Comma == std::string::npos) Comma = Value.size();
      std::string Entry = Value.substr(From, Comma - From);
      const size_t B = Entry.find_first_not_of(" \t\r\n");
      if (B != std::string::npos) {
        Entry.erase(0, B);
        Refs.push_back(Entry.substr(0, Entry.find_first_of(" \t\r\n")));
      }
      From = Comma + 1;
    }
  }
  return Refs;
}

// Where Ref, written in the file at Relative (below the root), points below
// the root; empty for a reference to elsewhere (another host, a fragment,
// a script) or above the root.
inline std::string ResolveInSite(const std::string& Relative, std::string Ref) {
  if (Ref.empty() || Ref[0] == '#' || Ref.rfind("//", 0) == 0) return "";
  const size_t Colon = Ref.find(':');
  if (Colon != std::string::npos && Ref.find_first_of("/?#") > Colon) return "";  // a scheme
  Ref = Ref.substr(0, Ref.find_first_of("?#"));
  std::string Decoded;
  for (size_t I = 0; I < Ref.size(); ++I) {
    if (Ref[I] == '%' && I + 2 < Ref.size() && isxdigit((unsigned char)Ref[I + 1]) &&
        isxdigit((unsigned char)Ref[I + 2])) {
      Decoded.push_back(char(std::stoi(Ref.substr(I + 1, 2), nullptr, 16)));
      I += 2;
    } else {
      Decoded.push_back(Ref[I]);
    }
  }
  if (Decoded.empty()) return "";
  namespace fs = std::filesystem;
  fs::path P =
      Decoded[0] == '/' ? fs::path(Decoded.substr(1)) : fs::path(Relative).parent_path() / Decoded;
  P = P.lexically_normal();
  if (P.empty() || *P.begin() == "..") return "";
  return P.string();
}

// Every src, href, srcset and url() of every page and style sheet in Out
// that, read in the site's copy of the file, pointed at an existing file of
// Site, must point at an existing file of Out. Returns one line per
// reference that does not; empty when all hold. Both folders end in "/".
inline std::vector<std::string> BrokenReferences(const std::string& Site, const std::string& Out) {
  namespace fs = std::filesystem;
  std::vector<std::string> Broken;
  auto Exists = [](const std::string& Root, const std::string& Rel) {
    return !Rel.empty() && fs::is_regular_file(Root + Rel);
  };
  for (const auto& E : fs::recursive_directory_iterator(Out)) {
    if (!E.is_regular_file()) continue;
    const std::string Rel = fs::relative(E.path(), Out).string();
    const std::string Ext = LowerCaseAscii(ExtractFileExt(Rel));
    if (Ext != ".html" && Ext != ".htm" && Ext != ".css") continue;
    if (!fs::is_regular_file(Site + Rel)) continue;
    const std::vector<std::string> InSite = ReferencesIn(ReadFileText(Site + Rel));
    const std::vector<std::string> InOut = ReferencesIn(ReadFileText(Out + Rel));
    for (size_t I = 0; I < InOut.size(); ++I) {
      // Rewriting keeps the references in place, so they pair up; a
      // minifier dropping comments does not, and then each stands alone.
      const std::string& Before = InSite.size() == InOut.size() ? InSite[I] : InOut[I];
      if (!Exists(Site, ResolveInSite(Rel, Before))) continue;
      if (!Exists(Out, ResolveInSite(Rel, InOut[I])))
        Broken.push_back(Rel + ": " + InOut[I] + " (was " + Before + ")");
    }
  }
  return Broken;
}

}  // namespace larkspan::test
