// The about box: the program's icon, name and version.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace larkspan {

class TfrmAbout : public QDialog {
 public:
  explicit TfrmAbout(QWidget* Parent = nullptr);
  // Fills the icon, the version ("v" + the executable's FileVersion text,
  // just "v" when it carries none) and the title.
  void FormCreate();

  QLabel* Image1;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QPushButton* RzBitBtn1;
};

}  // namespace larkspan
