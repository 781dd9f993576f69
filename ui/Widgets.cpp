#include "ui/Widgets.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

namespace larkspan {

QLabel* MakeLabel(QWidget* Parent, const char* Name, const char* Text) {
  auto* L = new QLabel(QString::fromUtf8(Text), Parent);
  L->setObjectName(Name);
  return L;
}

QLineEdit* MakeEdit(QWidget* Parent, const char* Name, bool ReadOnly) {
  auto* E = new QLineEdit(Parent);
  E->setObjectName(Name);
  E->setReadOnly(ReadOnly);
  return E;
}

QCheckBox* MakeCheck(QWidget* Parent, const char* Name, const char* Text) {
  auto* C = new QCheckBox(QString::fromUtf8(Text), Parent);
  C->setObjectName(Name);
  return C;
}

QToolButton* MakeToolButton(QWidget* Parent, const char* Name, const char* Icon, const char* Hint) {
  auto* B = new QToolButton(Parent);
  B->setObjectName(Name);
  B->setIcon(QIcon(QString::fromUtf8(Icon)));
  B->setIconSize(QSize(16, 16));
  B->setToolTip(QString::fromUtf8(Hint));
  B->setAutoRaise(false);
  // Reached with Tab like every other control (the skin draws its focus).
  B->setFocusPolicy(Qt::StrongFocus);
  B->setFixedSize(26, 24);
  return B;
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Text, const char* Icon) {
  auto* B = new QPushButton(QString::fromUtf8(Text), Parent);
  B->setObjectName(Name);
  if (*Icon) {
    B->setIcon(QIcon(QString::fromUtf8(Icon)));
    B->setIconSize(QSize(24, 24));
  }
  B->setMinimumSize(96, 34);
  return B;
}

QString DroppedFolder(const QMimeData* Data) {
  if (!Data) return QString();
  QList<QUrl> Urls = Data->urls();
  // Some file managers hand a plain text "file://..." instead of a URI list.
  if (Urls.isEmpty() && Data->hasText()) Urls << QUrl(Data->text().trimmed());
  if (Urls.size() != 1 || !Urls.first().isLocalFile()) return QString();
  const QString Path = Urls.first().toLocalFile();
  if (!QFileInfo(Path).isDir()) return QString();
  return Path.endsWith('/') ? Path : Path + '/';
}

}  // namespace larkspan
