#include "config/uConfig.h"

#include "config/IniFile.h"
#include "config/uGlobal.h"

namespace larkspan {

namespace {
const char* const Sys = "Sys";
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
  if (IsSave) {
    Ini.WriteString(Sys, "FileFilters", FileFilters);
    Ini.WriteString(Sys, "RootPath", RootPath);
    Ini.WriteString(Sys, "OutputPath", OutputPath);
    Ini.WriteString(Sys, "CompressFilters", CompressFilters);
    Ini.WriteBool(Sys, "IsCompressHtml", IsCompressHtml);
    Ini.WriteBool(Sys, "IsCompressJS", IsCompressJS);
    Ini.WriteBool(Sys, "IsCompressXML", IsCompressXML);
    Ini.WriteBool(Sys, "IsCompressCSS", IsCompressCSS);
    Ini.WriteBool(Sys, "IsReducePic", IsReducePic);
    Ini.WriteString(Sys, "CharSet", CharSet);
    Ini.WriteBool(Sys, "IsCompressJpg", IsCompressJpg);
    Ini.WriteBool(Sys, "IsCompressGif", IsCompressGif);
    Ini.WriteBool(Sys, "IsCompressPng", IsCompressPng);
    Ini.UpdateFile();
    return;
  }
  FileFilters = Ini.ReadString(Sys, "FileFilters", "");
  RootPath = Ini.ReadString(Sys, "RootPath", "");
  OutputPath = Ini.ReadString(Sys, "OutputPath", "");
  CompressFilters = Ini.ReadString(Sys, "CompressFilters", "");
  IsCompressHtml = Ini.ReadBool(Sys, "IsCompressHtml", true);
  IsCompressJS = Ini.ReadBool(Sys, "IsCompressJS", false);
  IsCompressXML = Ini.ReadBool(Sys, "IsCompressXML", false);
  IsCompressCSS = Ini.ReadBool(Sys, "IsCompressCSS", false);
  IsReducePic = Ini.ReadBool(Sys, "IsReducePic", false);
  CharSet = Ini.ReadString(Sys, "CharSet", "GB2312");
  IsCompressJpg = Ini.ReadBool(Sys, "IsCompressJpg", false);
  IsCompressGif = Ini.ReadBool(Sys, "IsCompressGif", false);
  IsCompressPng = Ini.ReadBool(Sys, "IsCompressPng", false);
}

}  // namespace larkspan
