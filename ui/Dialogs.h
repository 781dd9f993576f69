// Every message box, input box, file and folder chooser of the program goes
// through here, so that tests (and the screenshot tool) can answer them
// without a person at the screen. The real implementation shows Qt's modal
// dialogs; SetDialogs installs another one.
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMessageBox;
class QWidget;

namespace larkspan {

enum class TMsgIcon { Information, Warning, Error, Question };
// YesNoDetails: Yes, No and a 详细信息 (details) button that calls the
// request's OnDetails and leaves the box open; the box answers Yes or No.
enum class TMsgButtons { Ok, YesNo, YesNoDetails };
// Details is never returned: a test answers it to press 详细信息 (see
// TFakeDialogs).
enum class TMsgResult { Ok, Yes, No, Details };

struct TMessageRequest {
  QWidget* Owner = nullptr;
  QString Text;
  QString Caption;
  TMsgIcon Icon = TMsgIcon::Information;
  TMsgButtons Buttons = TMsgButtons::Ok;
  // YesNoDetails only: what 详细信息 shows (a modal window over the box).
  std::function<void()> OnDetails;
};

// An open-file dialog for one existing file. CanClose, when set, is asked
// about the file the user confirms; false keeps the dialog open.
struct TOpenFileRequest {
  QWidget* Owner = nullptr;
  QString Title;
  QString Filter;  // Qt name filter, e.g. "所有文件(*.*) (*)"
  QString InitialFolder;
  std::function<bool(const QString& FileName)> CanClose;
};

struct TFolderRequest {
  QWidget* Owner = nullptr;
  QString Title;
  QString InitialFolder;
};

struct TInputRequest {
  QWidget* Owner = nullptr;
  QString Caption;
  QString Prompt;
  QString Initial;
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Modal; returns the button pressed (closing the box counts as Ok / No).
  virtual TMsgResult Message(const TMessageRequest& Request) = 0;
  // The chosen file's full name, or nothing when cancelled.
  virtual std::optional<QString> OpenFile(const TOpenFileRequest& Request) = 0;
  // The chosen folder as the chooser reports it, or nothing when cancelled.
  virtual std::optional<QString> ChooseFolder(const TFolderRequest& Request) = 0;
  // The text typed into a one-line input box, or nothing on Cancel.
  virtual std::optional<QString> InputText(const TInputRequest& Request) = 0;
  // Opens Folder in the desktop's file browser; the outcome is not reported.
  virtual void OpenFolder(const QString& Folder) = 0;
};

// The dialogs in use: the installed ones, else Qt's own.
IDialogs& Dialogs();
// Installs Replacement (not owned; nullptr goes back to Qt's dialogs).
// REQUIRES: main thread.
void SetDialogs(IDialogs* Replacement);

// The box Qt's implementation would show for Request, not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(const TMessageRequest& Request);

// The application title ("Vellimor" once the main window exists), the
// caption of every message box of the windows.
QString ApplicationTitle();

// A message box with the application title as caption.
TMsgResult ShowMessage(QWidget* Owner, const std::string& Text, TMsgIcon Icon,
                       TMsgButtons Buttons = TMsgButtons::Ok, std::function<void()> OnDetails = {});

// The application's error display for an error no handler caught: the
// error's text (a full stop added when its last byte sorts above "."), the
// application title, the error icon.
void ShowException(const std::exception& E);

// Folder chooser that opens on InitialFolder. Returns the chosen folder with
// a trailing "/", or "" when the user cancels.
std::string SelectFolder(QWidget* Owner, const std::string& Title,
                         const std::string& InitialFolder);

// UTF-8 byte texts to and from Qt.
inline QString Q(const std::string& S) { return QString::fromStdString(S); }
inline std::string S(const QString& Q) { return Q.toStdString(); }

}  // namespace larkspan
