// Shared set-up of the window tests: a private settings folder and small
// real sites on disk.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

namespace larkspan {

// A temporary folder that also serves as $XDG_CONFIG_HOME, $XDG_CACHE_HOME
// (and $XDG_RUNTIME_DIR) while the object lives, so windows read and write
// their settings file and their cache of results in it and never touch the
// user's.
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
  QByteArray OldConfig, OldRuntime, OldCache;
};

class TListBox;

// The texts of a list box's rows, in order.
QStringList Rows(const TListBox* List);

// Runs Fn on the dialog of type D that is about to be shown modally (by the
// main window, say), once the event loop has shown it.
template <class D>
void WhenDialogOpens(std::function<void(D*)> Fn) {
  QTimer::singleShot(0, [Fn] {
    auto* Dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
    QVERIFY(Dialog);
    Fn(Dialog);
  });
}

// Bytes of a small valid PNG picture, distinct per Seed.
std::string PngBytes(int Seed);

}  // namespace larkspan
