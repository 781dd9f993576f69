#include "ui/FakeDialogs.h"

namespace larkspan {

namespace {
std::optional<QString> Next(std::deque<std::optional<QString>>& Queue) {
  if (Queue.empty()) return std::nullopt;
  std::optional<QString> A;
  A.swap(Queue.front());
  Queue.pop_front();
  return A;
}
}  // namespace

TFakeDialogs::TFakeDialogs() { SetDialogs(this); }
TFakeDialogs::~TFakeDialogs() { SetDialogs(nullptr); }

TMsgResult TFakeDialogs::Message(const TMessageRequest& Request) {
  Messages.push_back(Request);
  const bool YesNo =
      Request.Buttons == TMsgButtons::YesNo || Request.Buttons == TMsgButtons::YesNoDetails;
  while (!MessageAnswers.empty()) {
    const TMsgResult R = MessageAnswers.front();
    MessageAnswers.pop_front();
    // As the real box: its details button opens them and the box stays.
    if (R == TMsgResult::Details && Request.Buttons == TMsgButtons::YesNoDetails) {
      if (Request.OnDetails) Request.OnDetails();
      continue;
    }
    return R;
  }
  return YesNo ? TMsgResult::No : TMsgResult::Ok;
}

std::optional<QString> TFakeDialogs::OpenFile(const TOpenFileRequest& Request) {
  FileRequests.push_back(Request);
  for (;;) {
    if (FileAnswers.empty()) return std::nullopt;
    const std::optional<QString> A = Next(FileAnswers);
    if (!A) return std::nullopt;
    if (!Request.CanClose || Request.CanClose(*A)) return A;
  }
}

std::optional<QString> TFakeDialogs::ChooseFolder(const TFolderRequest& Request) {
  FolderRequests.push_back(Request);
  return Next(FolderAnswers);
}

std::optional<QString> TFakeDialogs::InputText(const TInputRequest& Request) {
  InputRequests.push_back(Request);
  return Next(InputAnswers);
}

void TFakeDialogs::OpenFolder(const QString& Folder) { OpenedFolders << Folder; }

QStringList TFakeDialogs::Texts() const {
  QStringList Out;
  for (const TMessageRequest& M : Messages) Out << M.Text;
  return Out;
}

void TFakeDialogs::Clear() {
  Messages.clear();
  FileRequests.clear();
  FolderRequests.clear();
  InputRequests.clear();
  OpenedFolders.clear();
}

}  // namespace larkspan
