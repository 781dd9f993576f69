#include "config/uGlobal.h"

#include "platform/FileSystem.h"

namespace larkspan {

std::string ConfigFolderPath() {
  const std::string AppData = AppDataFolder();
  return AppData.empty() ? ProgramFolder() : AppData + "Ostrel Larkspan/";
}

std::string GetConfigFolder() {
  std::string Folder = ConfigFolderPath();
  if (!DirectoryExists(Folder)) ForceDirectories(Folder);
  return Folder;
}

int CountChar(const std::string& Text, char Ch) {
  int N = 0;
  for (char C : Text)
    if (C == Ch) ++N;
  return N;
}

std::string GetField(const std::string& Text, int Index, char Ch) {
  if (Index < 0) return std::string();
  size_t Start = 0;
  for (int I = 0; I < Index; ++I) {
    const size_t P = Text.find(Ch, Start);
    if (P == std::string::npos) return std::string();
    Start = P + 1;
  }
  const size_t End = Text.find(Ch, Start);
  return Text.substr(Start, End == std::string::npos ? std::string::npos : End - Start);
}

std::vector<std::string> ListTextEntries(const std::string& Text) {
  std::vector<std::string> R;
  const int N = CountChar(Text, '|');
  R.reserve(N);
  for (int I = 0; I < N; ++I) R.push_back(GetField(Text, I, '|'));
  return R;
}

std::string MakeListText(const std::vector<std::string>& Entries) {
  std::string R;
  for (const std::string& E : Entries) R += E + "|";
  return R;
}

}  // namespace larkspan
