#include "config/uConfig.h"

#include "config/IniFile.h"
#include "config/uGlobal.h"
#include "platform/Thread.h"

namespace larkspan {

namespace {

const char* const Sys = "Sys";

// The keys of section "Sys" in the order the file holds them (which is not
// the order of the fields), each with its field and its default.
struct TTextKey {
  const char* Name;
  std::string TAppConfig::*Field;
  const char* Default;
};
struct TBoolKey {
  const char* Name;
  bool TAppConfig::*Field;
  bool Default;
};
struct TIntKey {
  const char* Name;
  int TAppConfig::*Field;
  int Default;
};
struct TKey {
  const TTextKey* Text;
  const TBoolKey* Bool;
  const TIntKey* Int = nullptr;
};

const TTextKey FileFilters{"FileFilters", &TAppConfig::FileFilters, ""};
const TTextKey RootPath{"RootPath", &TAppConfig::RootPath, ""};
const TTextKey OutputPath{"OutputPath", &TAppConfig::OutputPath, ""};
const TTextKey CompressFilters{"CompressFilters", &TAppConfig::CompressFilters, ""};
const TBoolKey IsCompressHtml{"IsCompressHtml", &TAppConfig::IsCompressHtml, true};
const TBoolKey IsCompressJS{"IsCompressJS", &TAppConfig::IsCompressJS, false};
const TBoolKey IsCompressXML{"IsCompressXML", &TAppConfig::IsCompressXML, false};
const TBoolKey IsCompressCSS{"IsCompressCSS", &TAppConfig::IsCompressCSS, false};
const TBoolKey IsReducePic{"IsReducePic", &TAppConfig::IsReducePic, false};
const char* const DefaultCharSet = "GB2312";
const TTextKey CharSet{"CharSet", &TAppConfig::CharSet, DefaultCharSet};
const TBoolKey IsCompressJpg{"IsCompressJpg", &TAppConfig::IsCompressJpg, false};
const TBoolKey IsCompressGif{"IsCompressGif", &TAppConfig::IsCompressGif, false};
const TBoolKey IsCompressPng{"IsCompressPng", &TAppConfig::IsCompressPng, false};
// Newer keys go after the thirteen of old, so files written before them read as they were.
const TTextKey Compressor{"Compressor", &TAppConfig::Compressor, "native"};
const TIntKey Jobs{"Jobs", &TAppConfig::Jobs, 0};
const TTextKey JpegMode{"JpegMode", &TAppConfig::JpegMode, "lossy"};

const int DefaultCacheSize = 300;

const TKey Keys[] = {
    {&FileFilters, nullptr},     {&RootPath, nullptr},       {&OutputPath, nullptr},
    {&CompressFilters, nullptr}, {nullptr, &IsCompressHtml}, {nullptr, &IsCompressJS},
    {nullptr, &IsCompressXML},   {nullptr, &IsCompressCSS},  {nullptr, &IsReducePic},
    {&CharSet, nullptr},         {nullptr, &IsCompressJpg},  {nullptr, &IsCompressGif},
    {nullptr, &IsCompressPng},   {&Compressor, nullptr},     {nullptr, nullptr, &Jobs},
    {&JpegMode, nullptr},
};

}  // namespace

std::optional<int> ParseCacheSize(const std::string& Text) {
  if (Text.empty() || Text.size() > 7) return std::nullopt;
  int N = 0;
  for (char C : Text) {
    if (C < '0' || C > '9') return std::nullopt;
    N = N * 10 + (C - '0');
  }
  if (N > MaxCacheSize) return std::nullopt;
  return N;
}

TAppConfig::TAppConfig(const std::string& FileName) : IniFileName(GetConfigFolder() + FileName) {
  LoadOrSave(false);
}

TAppConfig::TAppConfig(const std::string& FullPath, bool Load) : IniFileName(FullPath) {
  if (Load) LoadOrSave(false);
}

TAppConfig::~TAppConfig() {
  if (!SaveOnDestroy) return;
  try {
    LoadOrSave(true);
  } catch (...) {
  }
}

void TAppConfig::LoadOrSave(bool IsSave) {
  TIniFile Ini(IniFileName);
  for (const TKey& K : Keys) {
    if (K.Text && IsSave) Ini.WriteString(Sys, K.Text->Name, this->*K.Text->Field);
    if (K.Text && !IsSave)
      this->*K.Text->Field = Ini.ReadString(Sys, K.Text->Name, K.Text->Default);
    if (K.Bool && IsSave) Ini.WriteBool(Sys, K.Bool->Name, this->*K.Bool->Field);
    if (K.Bool && !IsSave) this->*K.Bool->Field = Ini.ReadBool(Sys, K.Bool->Name, K.Bool->Default);
    if (K.Int && IsSave) Ini.WriteString(Sys, K.Int->Name, std::to_string(this->*K.Int->Field));
    // A hand-edited "two" or "-1" must not stop the program: the default.
    if (K.Int && !IsSave)
      this->*K.Int->Field =
          ParseJobs(Ini.ReadString(Sys, K.Int->Name, "")).value_or(K.Int->Default);
  }
  if (IsSave) {
    Ini.WriteString(Sys, "Level", std::string(MinifyLevelName(Level)));
    Ini.WriteString(Sys, "CacheSize", std::to_string(CacheSize));
    Ini.UpdateFile();
    return;
  }
  LoadWarnings.clear();
  const std::string LevelName = Ini.ReadString(Sys, "Level", "");
  Level = MinifyLevelByName(LevelName).value_or(TMinifyLevel::Safe);
  if (!LevelName.empty() && !MinifyLevelByName(LevelName))
    LoadWarnings.push_back(
        "设置中的压缩级别未知，使用 safe (unknown level in the settings; safe is used): " +
        LevelName);
  const std::string Size = Ini.ReadString(Sys, "CacheSize", "");
  CacheSize = ParseCacheSize(Size).value_or(DefaultCacheSize);
  if (!Size.empty() && !ParseCacheSize(Size))
    LoadWarnings.push_back(
        "设置中的缓存大小无效，使用 300 MB (bad cache size in the settings; 300 MB is used): " +
        Size);
  const std::string Name = CharSet;
  if (!SetCharSet(Name)) {
    SetCharSet(DefaultCharSet);
    LoadWarnings.push_back(
        "设置中的字符集未知，使用 GB2312 (unknown character set in the settings; "
        "GB2312 is used): " +
        Name);
  }
}

bool TAppConfig::SetCharSet(const std::string& Name) {
  std::optional<TCodePage> Page = Name.empty() ? TCodePage::Utf8 : ParseCodePage(Name);
  if (!Page) return false;
  CharSet = Name;
  CodePage = *Page;
  return true;
}

}  // namespace larkspan
