#include "ui/About.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/uGlobal.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/dmControlUI.h"

namespace larkspan {

TfrmAbout::TfrmAbout(QWidget* Parent) : QDialog(Parent) {
  InitUiResources();
  setObjectName("frmAbout");
  setWindowTitle("关于");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(UiFont(14));

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  lblTitle = MakeLabel(this, "lblTitle", "");
  lblTitle->setFont(UiFont(20, true));
  lblVersion = MakeLabel(this, "lblVersion", "");
  lblVersion->setFont(UiFont(14));
  for (QLabel* L : {lblTitle, lblVersion}) L->setStyleSheet("color: black;");
  RzBitBtn1 = MakeButton(this, "RzBitBtn1", "确定", ":/icons/tick.svg");
  RzBitBtn1->setDefault(true);
  connect(RzBitBtn1, &QPushButton::clicked, this, &QDialog::accept);

  auto* Texts = new QVBoxLayout;
  Texts->addWidget(lblTitle);
  Texts->addWidget(lblVersion);
  Texts->addStretch(1);
  auto* Top = new QHBoxLayout;
  Top->addWidget(Image1, 0, Qt::AlignTop);
  Top->addSpacing(10);
  Top->addLayout(Texts, 1);
  auto* Bottom = new QHBoxLayout;
  Bottom->addStretch(1);
  Bottom->addWidget(RzBitBtn1);
  Bottom->addStretch(1);
  auto* Page = new QVBoxLayout(this);
  Page->setContentsMargins(18, 18, 18, 14);
  Page->addLayout(Top, 1);
  Page->addLayout(Bottom);
  setFixedSize(230, 200);

  FormCreate();
}

void TfrmAbout::FormCreate() {
  QIcon Icon = QApplication::windowIcon();
  if (Icon.isNull()) Icon = QIcon(":/icons/larkspan.svg");
  Image1->setPixmap(Icon.pixmap(48, 48));
  lblVersion->setText("v" + Q(GetFileVersionText(S(QCoreApplication::applicationFilePath()))));
  lblTitle->setText("Vellimor");
}

}  // namespace larkspan
