#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ExecutableNote.h"

namespace larkspan {

namespace {

// Closes the descriptor on every path.
class TFd {
 public:
  explicit TFd(int F) : F(F) {}
  ~TFd() {
    if (F >= 0) ::close(F);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return F; }

 private:
  int F;
};

bool ReadAt(int F, void* Buf, size_t Size, uint64_t Offset) {
  auto* P = static_cast<char*>(Buf);
  while (Size > 0) {
    const ssize_t N = ::pread(F, P, Size, off_t(Offset));
    if (N <= 0) return false;
    P += N;
    Size -= size_t(N);
    Offset += uint64_t(N);
  }
  return true;
}

struct TSection {
  uint32_t Type;
  uint64_t Offset;
  uint64_t Size;
};

// The section table of an ELF file of our own byte order, 32 or 64 bit.
template <typename Ehdr, typename Shdr>
bool ReadSections(int F, std::vector<TSection>& Out) {
  Ehdr H;
  if (!ReadAt(F, &H, sizeof H, 0)) return false;
  if (H.e_shoff == 0 || H.e_shentsize != sizeof(Shdr)) return false;
  uint64_t Count = H.e_shnum;
  if (Count == 0) {  // more than 0xff00 sections: the count is in section 0
    Shdr First;
    if (!ReadAt(F, &First, sizeof First, H.e_shoff)) return false;
    Count = First.sh_size;
  }
  if (Count > 65536) return false;
  for (uint64_t I = 0; I < Count; ++I) {
    Shdr S;
    if (!ReadAt(F, &S, sizeof S, H.e_shoff + I * sizeof S)) return false;
    Out.push_back({S.sh_type, S.sh_offset, S.sh_size});
  }
  return true;
}

size_t NoteAlign4(size_t N) { return (N + 3) & ~size_t(3); }

// The whole descriptor of the note (Owner, Type) in one SHT_NOTE section's
// bytes, or "".
std::string FindNote(const std::vector<char>& Data, uint32_t NoteType, const std::string& Owner) {
  size_t Pos = 0;
  while (Pos + 12 <= Data.size()) {
    uint32_t NameSize, DescSize, Type;
    std::memcpy(&NameSize, &Data[Pos], 4);
    std::memcpy(&DescSize, &Data[Pos + 4], 4);
    std::memcpy(&Type, &Data[Pos + 8], 4);
    const size_t NamePos = Pos + 12;
    const size_t DescPos = NamePos + NoteAlign4(NameSize);
    const size_t Next = DescPos + NoteAlign4(DescSize);
    if (DescPos > Data.size() || Next > Data.size() || Next <= Pos) return std::string();
    if (Type == NoteType && NameSize == Owner.size() + 1 &&
        std::memcmp(&Data[NamePos], Owner.c_str(), NameSize) == 0) {
      return std::string(&Data[DescPos], DescSize);
    }
    Pos = Next;
  }
  return std::string();
}

// The whole descriptor of the first note (Owner, Type) of FileName, or "".
std::string NoteBytes(const std::string& FileName, uint32_t NoteType, const std::string& Owner) {
  const TFd F(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (F.Get() < 0) return std::string();
  unsigned char Ident[EI_NIDENT];
  if (!ReadAt(F.Get(), Ident, sizeof Ident, 0)) return std::string();
  if (std::memcmp(Ident, ELFMAG, SELFMAG) != 0) return std::string();
  const unsigned char OwnOrder =
      __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;
  if (Ident[EI_DATA] != OwnOrder) return std::string();

  std::vector<TSection> Sections;
  bool Ok = false;
  if (Ident[EI_CLASS] == ELFCLASS64)
    Ok = ReadSections<Elf64_Ehdr, Elf64_Shdr>(F.Get(), Sections);
  else if (Ident[EI_CLASS] == ELFCLASS32)
    Ok = ReadSections<Elf32_Ehdr, Elf32_Shdr>(F.Get(), Sections);
  if (!Ok) return std::string();

  for (const TSection& S : Sections) {
    if (S.Type != SHT_NOTE || S.Size == 0 || S.Size > (1u << 20)) continue;
    std::vector<char> Data(S.Size);
    if (!ReadAt(F.Get(), Data.data(), Data.size(), S.Offset)) continue;
    std::string Desc = FindNote(Data, NoteType, Owner);
    if (!Desc.empty()) return Desc;
  }
  return std::string();
}

}  // namespace

std::string ReadExecutableNote(const std::string& FileName, uint32_t NoteType,
                               const std::string& Owner) {
  const std::string Desc = NoteBytes(FileName, NoteType, Owner);
  return Desc.substr(0, strnlen(Desc.data(), Desc.size()));
}

std::string ExecutableBuildId(const std::string& FileName) {
  static const char Digits[] = "0123456789abcdef";
  std::string Hex;
  for (const char C : NoteBytes(FileName, NT_GNU_BUILD_ID, "GNU")) {
    Hex += Digits[static_cast<unsigned char>(C) >> 4];
    Hex += Digits[static_cast<unsigned char>(C) & 15];
  }
  return Hex;
}

}  // namespace larkspan
