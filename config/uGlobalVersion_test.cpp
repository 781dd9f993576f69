#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "config/uFileVersionNote.h"
#include "config/uGlobal.h"
#include "platform/FileSystem.h"

// This test program carries a version note of its own.
LARKSPAN_FILE_VERSION_NOTE("9.8.7.6");

namespace larkspan {
namespace {

std::string OwnExecutable() {
  char Buf[4096];
  const ssize_t N = ::readlink("/proc/self/exe", Buf, sizeof Buf - 1);
  return N > 0 ? std::string(Buf, size_t(N)) : std::string();
}

std::string WriteTempFile(const std::string& Name, const std::string& Data) {
  const std::string Path = TempFolder() + Name;
  std::ofstream(Path, std::ios::binary) << Data;
  return Path;
}

TEST(GetFileVersionTextTest, ReadsTheNoteOfAnExecutable) {
  EXPECT_EQ(GetFileVersionText(OwnExecutable()), "9.8.7.6");
}

TEST(GetFileVersionTextTest, FilesWithoutTheNoteGiveEmptyText) {
  // An executable with notes of other owners only, a text file, a missing
  // file, a folder, and an executable cut short before its section table.
  std::ifstream Own(OwnExecutable(), std::ios::binary);
  std::string Head(4096, '\0');
  Own.read(Head.data(), std::streamsize(Head.size()));
  const std::string Cut = WriteTempFile("larkspan version cut", Head);
  const std::string Text = WriteTempFile("larkspan version text", "FileVersion 1.0.2.35\n");
  const char* const Cases[] = {"/bin/true", Text.c_str(), "/nonexistent/larkspan",
                               "/tmp",      Cut.c_str(),  ""};
  for (const char* Path : Cases) EXPECT_EQ(GetFileVersionText(Path), "") << Path;
  ::unlink(Cut.c_str());
  ::unlink(Text.c_str());
}

}  // namespace
}  // namespace larkspan
