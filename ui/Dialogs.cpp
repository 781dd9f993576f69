#include "ui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace larkspan {

namespace {

// A file dialog that asks CanClose before it closes on a chosen file.
// Confirming a folder still just opens it.
class TCheckedFileDialog : public QFileDialog {
 public:
  TCheckedFileDialog(const TOpenFileRequest& Request)
      : QFileDialog(Request.Owner, Request.Title, Request.InitialFolder, Request.Filter),
        CanClose(Request.CanClose) {
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    // Our own dialog, so that accept() below is the one that runs.
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
  }

  void accept() override {
    const QStringList Files = selectedFiles();
    if (CanClose && !Files.isEmpty() && !QFileInfo(Files.first()).isDir() &&
        !CanClose(Files.first()))
      return;
    QFileDialog::accept();
  }

 private:
  std::function<bool(const QString&)> CanClose;
};

class TQtDialogs : public IDialogs {
 public:
  TMsgResult Message(const TMessageRequest& Request) override {
    const auto Box = MakeMessageBox(Request);
    const int R = Box->exec();
    if (Request.Buttons == TMsgButtons::YesNo || Request.Buttons == TMsgButtons::YesNoDetails)
      return R == QMessageBox::Yes ? TMsgResult::Yes : TMsgResult::No;
    return TMsgResult::Ok;
  }

  std::optional<QString> OpenFile(const TOpenFileRequest& Request) override {
    TCheckedFileDialog Dialog(Request);
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return std::nullopt;
    return Dialog.selectedFiles().first();
  }

  std::optional<QString> ChooseFolder(const TFolderRequest& Request) override {
    const QString Folder =
        QFileDialog::getExistingDirectory(Request.Owner, Request.Title, Request.InitialFolder);
    if (Folder.isEmpty()) return std::nullopt;
    return Folder;
  }

  std::optional<QString> InputText(const TInputRequest& Request) override {
    bool Ok = false;
    const QString Text = QInputDialog::getText(Request.Owner, Request.Caption, Request.Prompt,
                                               QLineEdit::Normal, Request.Initial, &Ok);
    if (!Ok) return std::nullopt;
    return Text;
  }

  void OpenFolder(const QString& Folder) override {
    QDesktopServices::openUrl(QUrl::fromLocalFile(Folder));
  }
};

TQtDialogs GQtDialogs;
IDialogs* GDialogs = nullptr;

}  // namespace

IDialogs& Dialogs() { return GDialogs ? *GDialogs : GQtDialogs; }
void SetDialogs(IDialogs* Replacement) { GDialogs = Replacement; }

std::unique_ptr<QMessageBox> MakeMessageBox(const TMessageRequest& Request) {
  QMessageBox::Icon Icon = QMessageBox::Information;
  switch (Request.Icon) {
    case TMsgIcon::Information:
      Icon = QMessageBox::Information;
      break;
    case TMsgIcon::Warning:
      Icon = QMessageBox::Warning;
      break;
    case TMsgIcon::Error:
      Icon = QMessageBox::Critical;
      break;
    case TMsgIcon::Question:
      Icon = QMessageBox::Question;
      break;
  }
  auto Box = std::make_unique<QMessageBox>(Icon, Request.Caption, Request.Text,
                                           QMessageBox::NoButton, Request.Owner);
  Box->setObjectName("MessageBox");
  if (Request.Buttons == TMsgButtons::YesNo || Request.Buttons == TMsgButtons::YesNoDetails) {
    Box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    // Alt with the letter presses a button, as on every other button.
    Box->button(QMessageBox::Yes)->setText("是(&Y)");
    Box->button(QMessageBox::Yes)->setIcon(QIcon(":/icons/tick.svg"));
    Box->button(QMessageBox::Yes)->setObjectName("btnYes");
    Box->button(QMessageBox::No)->setText("否(&N)");
    Box->button(QMessageBox::No)->setIcon(QIcon());
    Box->button(QMessageBox::No)->setObjectName("btnNo");
    Box->setEscapeButton(QMessageBox::No);
    if (Request.Buttons == TMsgButtons::YesNoDetails) {
      QPushButton* Details = Box->addButton("详细信息(&D)", QMessageBox::ActionRole);
      Details->setObjectName("btnDetails");
      // Every button of a QMessageBox closes it; this one must not, so its
      // link to the box is cut and it only opens the details.
      QObject::disconnect(Details, &QAbstractButton::clicked, nullptr, nullptr);
      QObject::connect(Details, &QAbstractButton::clicked, Box.get(), [Request] {
        if (Request.OnDetails) Request.OnDetails();
      });
      Box->setDefaultButton(QMessageBox::Yes);
    }
  } else {
    Box->setStandardButtons(QMessageBox::Ok);
    Box->button(QMessageBox::Ok)->setText("确定(&O)");
    Box->button(QMessageBox::Ok)->setIcon(QIcon(":/icons/tick.svg"));
    Box->button(QMessageBox::Ok)->setObjectName("btnOk");
  }
  return Box;
}

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

TMsgResult ShowMessage(QWidget* Owner, const std::string& Text, TMsgIcon Icon, TMsgButtons Buttons,
                       std::function<void()> OnDetails) {
  TMessageRequest R;
  R.Owner = Owner;
  R.Text = Q(Text);
  R.Caption = ApplicationTitle();
  R.Icon = Icon;
  R.Buttons = Buttons;
  R.OnDetails = std::move(OnDetails);
  return Dialogs().Message(R);
}

void ShowException(const std::exception& E) {
  std::string Text = E.what();
  if (!Text.empty() && static_cast<unsigned char>(Text.back()) > '.') Text += '.';
  ShowMessage(QApplication::activeWindow(), Text, TMsgIcon::Error);
}

std::string SelectFolder(QWidget* Owner, const std::string& Title,
                         const std::string& InitialFolder) {
  TFolderRequest R;
  R.Owner = Owner;
  R.Title = Q(Title);
  R.InitialFolder = Q(InitialFolder);
  const std::optional<QString> Chosen = Dialogs().ChooseFolder(R);
  if (!Chosen || Chosen->isEmpty()) return std::string();
  std::string Folder = S(*Chosen);
  if (Folder.back() != '/') Folder += '/';
  return Folder;
}

}  // namespace larkspan
