// The look of the program: the skin manager that switches the skin on for
// every window created afterwards, the data module that sets it up at
// start, and the fonts the windows use.
#pragma once

#include <QFont>
#include <string>

namespace larkspan {

// Applies a skin folder <SkinDirectory><SkinName>/ to the whole application:
// "skin.qss" (a Qt style sheet) and "palette.ini" (colour roles, section
// [Palette], keys named after QPalette roles, "Disabled<Role>" for the
// greyed state) on top of the Fusion style. A missing folder or file leaves
// the toolkit's own look for that part. REQUIRES: a QApplication exists.
class TSkinManager {
 public:
  std::string SkinDirectory;  // ends with "/"
  std::string SkinName;

  // Switching on loads and applies the skin; switching off goes back to
  // the toolkit's defaults.
  void SetActive(bool Value);
  bool Active() const { return FActive; }
  // True when the active skin's style sheet was found and applied.
  bool StyleSheetLoaded() const { return FStyleSheetLoaded; }

 private:
  bool FActive = false;
  bool FStyleSheetLoaded = false;
};

// Created at start, before any window: points the skin manager at the
// "Skins/" folder beside the executable (or in the first helper folder that
// holds one: HelperFolderOf), chooses "Mint" and switches it on.
class TdmUI {
 public:
  TdmUI();
  void DataModuleCreate();

  TSkinManager sSkinManager1;
};

// SimSun at PixelSize when it is installed, else a CJK font of the system
// (Noto Sans CJK), else the default font at that size.
QFont UiFont(int PixelSize, bool Bold = false);

// Makes the toolkit's own texts (buttons of the stock dialogs, the file
// chooser) Chinese like the rest of the program. False when the toolkit's
// translations are not installed (qt6-translations-l10n); the texts then
// stay English.
bool LoadToolkitTranslations();

// Registers the program's icons (":/icons/..."); safe to call repeatedly.
void InitUiResources();

}  // namespace larkspan
