// The user's settings and their file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/MinifyLevel.h"

namespace larkspan {

// The largest cache size a setting may name, in MiB (1 TiB).
constexpr int MaxCacheSize = 1 << 20;
// A cache size in MiB: a whole number from 0 to MaxCacheSize, digits only;
// nothing otherwise.
std::optional<int> ParseCacheSize(const std::string& Text);

// Everything the user sets that outlives one run. Loads itself from the
// settings file when created; SaveToFile writes every value back.
// Created, assigned and destroyed on the main thread; the engine's worker
// reads the switches during a run, so the object must outlive the run and
// its switches must not change meanwhile.
class TAppConfig {
 public:
  // IniFileName := GetConfigFolder() + FileName, then loads. Never throws.
  explicit TAppConfig(const std::string& FileName);
  // For the engine and tests: the settings file is FullPath exactly, and
  // nothing is read when Load is false (every field keeps its default).
  TAppConfig(const std::string& FullPath, bool Load);
  // Saves (unless SaveOnDestroy is false): the window's settings are
  // written when it closes.
  // A save failure is swallowed here (destructors must not throw); call
  // SaveToFile first to see it.
  ~TAppConfig();

  // Reads (IsSave false) or writes (IsSave true) the keys of section
  // "Sys" in the file's key order (the thirteen of old, then Compressor,
  // Jobs, JpegMode, Level and CacheSize). Reading a CharSet that SetCharSet
  // refuses gives "GB2312" and a line in LoadWarnings, and so does a Level
  // that MinifyLevelByName refuses (it gives safe) and a CacheSize that is
  // not a whole number of MiB up to 1048576 (it gives 300); a Jobs that is
  // not a count (ParseJobs) gives 0.
  // Writing throws Exception "Unable to write to <file>"; the old file then
  // stays whole.
  void LoadOrSave(bool IsSave);
  void SaveToFile() { LoadOrSave(true); }

  // When false the destructor does not save (a read-only user such as the
  // command-line front end, or a window whose save already ran).
  bool SaveOnDestroy = true;

  std::string IniFileName;
  std::string RootPath;
  std::string OutputPath;
  std::string FileFilters;
  std::string CompressFilters;
  bool IsCompressHtml = true;
  bool IsCompressJS = false;
  bool IsCompressCSS = false;
  bool IsCompressXML = false;
  bool IsReducePic = false;
  bool IsCompressJpg = false;
  bool IsCompressGif = false;
  bool IsCompressPng = false;
  // The character set of the site's text files: the name as the user chose
  // it (kept in the file and shown by the window as it is) and the code page
  // it means, which the run uses. Assign both through SetCharSet, or a name
  // already parsed together with its page.
  std::string CharSet = "GB2312";
  TCodePage CodePage = TCodePage::Gbk;
  // Takes Name when ParseCodePage knows it, or when it is empty (the window
  // with no item selected), which means UTF-8, the markup compressor's own
  // default. False, and nothing changed, for any other name.
  bool SetCharSet(const std::string& Name);
  // Which markup compressor minifies the text files: "native" (in-process,
  // no Java runtime needed) or "archive" (java -jar htmlcompressor.jar per
  // file). Any other value counts as "native".
  std::string Compressor = "native";
  // How many files a run works on at once: 0 (the default) for one per
  // processor core, 1 for one file at a time (ParseJobs, WorkersFor).
  int Jobs = 0;
  // How JPEG pictures are reduced: "lossy" (the default: jpegoptim -m85
  // re-encodes a picture of higher quality at 85, so its pixels change) or
  // "lossless" (optimised Huffman tables only, every pixel kept). Any other
  // value counts as "lossy".
  std::string JpegMode = "lossy";
  bool IsJpegLossless() const { return JpegMode == "lossless"; }
  // How far the markup compressor goes (key Level: spaces, safe, smallest).
  TMinifyLevel Level = TMinifyLevel::Safe;
  // The largest size of the cache of results, in MiB (key CacheSize);
  // 0 turns the cache off. The least recently used results go first.
  int CacheSize = 300;

  // What the last load found amiss and replaced by a default, a line each
  // ("unknown character set ..."); the caller decides whether to show them.
  std::vector<std::string> LoadWarnings;
};

}  // namespace larkspan
