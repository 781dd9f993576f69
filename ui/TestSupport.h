// Shared set-up of the window tests: a private settings folder and small
// real sites on disk.
#pragma once

#include <QTemporaryDir>
#include <string>

namespace larkspan {

// A temporary folder that also serves as $XDG_CONFIG_HOME (and
// $XDG_RUNTIME_DIR) while the object lives, so windows read and write their
// settings file in it and never touch the user's.
class TTestHome {
 public:
  TTestHome();
  ~TTestHome();
  // The folder, ending with "/".
  std::string Path() const;
  // The settings file the program uses under this home.
  std::string ConfigFile() const;
  // Writes the settings file with the lines of section "Sys" given.
  void WriteConfig(const std::string& SysLines) const;
  // A sub-folder of the home (created), ending with "/".
  std::string MakeFolder(const std::string& Relative) const;
  // Writes a file below the home (folders created) and returns its path.
  std::string WriteFile(const std::string& Relative, const std::string& Data) const;

 private:
  QTemporaryDir Dir;
  QByteArray OldConfig, OldRuntime;
};

// Bytes of a small valid PNG picture, distinct per Seed.
std::string PngBytes(int Seed);

}  // namespace larkspan
