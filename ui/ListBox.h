// A list box that reports clicks and key presses after it has handled them,
// so a handler sees the selection they produced.
#pragma once

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

namespace larkspan {

class TListBox : public QListWidget {
 public:
  explicit TListBox(QWidget* Parent = nullptr);

  std::function<void()> OnClick;
  std::function<void(int Key)> OnKeyDown;  // Qt key code

  // The entries, top to bottom.
  std::vector<std::string> Entries() const;
  // Index of the selected entry, -1 when none is.
  int SelectedIndex() const;
  // Selects entry Index (-1: none).
  void SelectIndex(int Index);

 protected:
  void mousePressEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
};

}  // namespace larkspan
