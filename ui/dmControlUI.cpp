#include "ui/dmControlUI.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QPointer>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "ui/Dialogs.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace larkspan {

void InitUiResources() {
  static const bool Done = (InitIconResources(), true);
  (void)Done;
}

namespace {

struct TRoleName {
  const char* Name;
  QPalette::ColorRole Role;
};

const TRoleName RoleNames[] = {
    {"Window", QPalette::Window},
    {"WindowText", QPalette::WindowText},
    {"Base", QPalette::Base},
    {"AlternateBase", QPalette::AlternateBase},
    {"Text", QPalette::Text},
    {"Button", QPalette::Button},
    {"ButtonText", QPalette::ButtonText},
    {"BrightText", QPalette::BrightText},
    {"Highlight", QPalette::Highlight},
    {"HighlightedText", QPalette::HighlightedText},
    {"ToolTipBase", QPalette::ToolTipBase},
    {"ToolTipText", QPalette::ToolTipText},
    {"PlaceholderText", QPalette::PlaceholderText},
    {"Light", QPalette::Light},
    {"Midlight", QPalette::Midlight},
    {"Mid", QPalette::Mid},
    {"Dark", QPalette::Dark},
    {"Shadow", QPalette::Shadow},
    {"Link", QPalette::Link},
};

QPalette ReadPalette(const QString& FileName, const QPalette& Base) {
  QPalette P = Base;
  if (!QFile::exists(FileName)) return P;
  QSettings Ini(FileName, QSettings::IniFormat);
  Ini.beginGroup("Palette");
  for (const TRoleName& R : RoleNames) {
    const QColor Normal(Ini.value(R.Name).toString());
    if (Normal.isValid()) P.setColor(R.Role, Normal);
    const QColor Disabled(Ini.value(QString("Disabled") + R.Name).toString());
    if (Disabled.isValid()) P.setColor(QPalette::Disabled, R.Role, Disabled);
  }
  return P;
}

}  // namespace

void TSkinManager::SetActive(bool Value) {
  auto* App = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!App) return;
  FActive = Value;
  FStyleSheetLoaded = false;
  if (!Value) {
    App->setStyleSheet(QString());
    App->setPalette(App->style()->standardPalette());
    return;
  }
  const QString Folder = Q(SkinDirectory + SkinName + "/");
  if (QStyle* Fusion = QStyleFactory::create("Fusion")) App->setStyle(Fusion);
  App->setPalette(ReadPalette(Folder + "palette.ini", App->style()->standardPalette()));
  QFile Sheet(Folder + "skin.qss");
  if (Sheet.open(QIODevice::ReadOnly)) {
    App->setStyleSheet(QString::fromUtf8(Sheet.readAll()));
    FStyleSheetLoaded = true;
  } else {
    App->setStyleSheet(QString());
  }
}

TdmUI::TdmUI() {
  InitUiResources();
  DataModuleCreate();
}

void TdmUI::DataModuleCreate() {
  // Beside the executable, or in share/larkspan/ once installed.
  sSkinManager1.SkinDirectory = IncludeTrailingDelimiter(HelperFolderOf("Skins")) + "Skins/";
  sSkinManager1.SkinName = "Mint";
  sSkinManager1.SetActive(true);
  QApplication::setFont(UiFont(14));
}

bool LoadToolkitTranslations() {
  // One translator per application object (tests make several in turn).
  static QPointer<QTranslator> Translator;
  if (Translator) return true;
  auto* T = new QTranslator(QCoreApplication::instance());
  if (!T->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete T;
    return false;
  }
  QCoreApplication::installTranslator(T);
  Translator = T;
  return true;
}

QFont UiFont(int PixelSize, bool Bold) {
  static const QString Family = [] {
    const QStringList Families = QFontDatabase::families();
    for (const char* F : {"SimSun", "宋体", "Noto Sans CJK SC", "Noto Sans CJK TC",
                          "WenQuanYi Micro Hei", "Droid Sans Fallback"}) {
      if (Families.contains(QString::fromUtf8(F), Qt::CaseInsensitive)) return QString::fromUtf8(F);
    }
    return QString();
  }();
  QFont Font = Family.isEmpty() ? QApplication::font() : QFont(Family);
  Font.setPixelSize(PixelSize);
  Font.setBold(Bold);
  return Font;
}

}  // namespace larkspan
