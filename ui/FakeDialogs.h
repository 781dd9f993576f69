// Test double for the program's dialogs: records every request and answers
// from queues the test fills, so no dialog ever waits for a person.
#pragma once

#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "ui/Dialogs.h"

namespace larkspan {

class TFakeDialogs : public IDialogs {
 public:
  TFakeDialogs();  // installs itself
  ~TFakeDialogs() override;

  TMsgResult Message(const TMessageRequest& Request) override;
  // Each queued answer is a file the user confirms: CanClose is asked, and
  // a refused file leaves the dialog open for the next answer. nullopt (or
  // an empty queue) is Cancel.
  std::optional<QString> OpenFile(const TOpenFileRequest& Request) override;
  std::optional<QString> ChooseFolder(const TFolderRequest& Request) override;
  std::optional<QString> InputText(const TInputRequest& Request) override;
  void OpenFolder(const QString& Folder) override;

  // Texts of the message boxes shown so far, and clearing them.
  QStringList Texts() const;
  void Clear();

  std::vector<TMessageRequest> Messages;
  // Empty: Ok, or No for Yes/No boxes. Details on a YesNoDetails box runs
  // its OnDetails and the next answer is taken for the same box.
  std::deque<TMsgResult> MessageAnswers;
  std::vector<TOpenFileRequest> FileRequests;
  std::deque<std::optional<QString>> FileAnswers;
  std::vector<TFolderRequest> FolderRequests;
  std::deque<std::optional<QString>> FolderAnswers;
  std::vector<TInputRequest> InputRequests;
  std::deque<std::optional<QString>> InputAnswers;
  QStringList OpenedFolders;
};

}  // namespace larkspan
