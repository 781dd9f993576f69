// Duplicate detection alone, as the engine does it: every picture of a site
// (by extension, as the scan classifies them) keyed by TPictureDigests.
// Built and run by run.sh beside jdupes.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/uPictureDigest.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: detect SITE\n");
    return 2;
  }
  const auto T0 = std::chrono::steady_clock::now();
  const std::set<std::string> Pictures = {".GIF", ".JPG", ".JPEG", ".BMP", ".PNG"};
  std::vector<std::string> Paths;
  for (const auto& E : std::filesystem::recursive_directory_iterator(argv[1]))
    if (E.is_regular_file() &&
        Pictures.count(larkspan::UpperCaseAscii(E.path().extension().string())))
      Paths.push_back(E.path().string());
  const auto T1 = std::chrono::steady_clock::now();
  larkspan::TPictureDigests Digests(Paths);
  std::set<std::string> Seen;
  int Duplicates = 0;
  for (size_t I = 0; I < Paths.size(); ++I) {
    int64_t Size = 0;
    const std::string Key = Digests.KeyOf(I, Size);
    if (!Key.empty() && !Seen.insert(Key).second) ++Duplicates;
  }
  const auto T2 = std::chrono::steady_clock::now();
  auto Ms = [](auto A, auto B) { return std::chrono::duration<double, std::milli>(B - A).count(); };
  std::printf("%zu pictures, %d duplicates, %.1f ms (walk %.1f ms, keys %.1f ms)\n", Paths.size(),
              Duplicates, Ms(T0, T2), Ms(T0, T1), Ms(T1, T2));
}
