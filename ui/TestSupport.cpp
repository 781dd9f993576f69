#include "ui/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "ui/ListBox.h"

namespace larkspan {

TTestHome::TTestHome() {
  OldConfig = qgetenv("XDG_CONFIG_HOME");
  OldRuntime = qgetenv("XDG_RUNTIME_DIR");
  OldCache = qgetenv("XDG_CACHE_HOME");
  qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8());
  qputenv("XDG_CACHE_HOME", Dir.path().toUtf8());
  qputenv("XDG_RUNTIME_DIR", Dir.path().toUtf8());
}

TTestHome::~TTestHome() {
  qputenv("XDG_CONFIG_HOME", OldConfig);
  qputenv("XDG_CACHE_HOME", OldCache);
  if (OldRuntime.isEmpty())
    qunsetenv("XDG_RUNTIME_DIR");
  else
    qputenv("XDG_RUNTIME_DIR", OldRuntime);
}

std::string TTestHome::Path() const { return Dir.path().toStdString() + "/"; }

std::string TTestHome::ConfigFile() const { return Path() + "Ostrel Larkspan/Config.ini"; }

void TTestHome::WriteConfig(const std::string& SysLines) const {
  WriteFile("Ostrel Larkspan/Config.ini", "[Sys]\n" + SysLines);
}

std::string TTestHome::MakeFolder(const std::string& Relative) const {
  QDir().mkpath(QString::fromStdString(Path() + Relative));
  std::string P = Path() + Relative;
  if (P.back() != '/') P += '/';
  return P;
}

std::string TTestHome::WriteFile(const std::string& Relative, const std::string& Data) const {
  const QString Name = QString::fromStdString(Path() + Relative);
  QDir().mkpath(QFileInfo(Name).path());
  QFile F(Name);
  F.open(QIODevice::WriteOnly | QIODevice::Truncate);
  F.write(Data.data(), qint64(Data.size()));
  return Name.toStdString();
}

std::string PngBytes(int Seed) {
  QImage Image(8 + Seed, 8, QImage::Format_RGB32);
  Image.fill(QColor(Seed * 40 % 256, 120, 200));
  QByteArray Bytes;
  QBuffer Buffer(&Bytes);
  Buffer.open(QIODevice::WriteOnly);
  Image.save(&Buffer, "PNG");
  return Bytes.toStdString();
}

QStringList Rows(const TListBox* List) {
  QStringList Out;
  for (int I = 0; I < List->count(); ++I) Out << List->item(I)->text();
  return Out;
}

}  // namespace larkspan
