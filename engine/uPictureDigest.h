// Content keys for the duplicate detection: equal keys mean equal content.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace larkspan {

// Gives every picture of a run its MD5 text (32 upper-case hex digits) when
// another picture may have the same content, and the empty text when none
// can: a picture whose size no other picture has, or whose first 4 KiB no
// other picture of its size shares, is never digested to its end; one whose
// bytes equal an already digested picture takes that picture's MD5 text
// after a byte comparison. Work is done lazily, one size group at
// a time, so progress can be reported picture by picture.
class TPictureDigests {
 public:
  // Takes the sizes of Paths now; Paths must outlive this object.
  explicit TPictureDigests(const std::vector<std::string>& Paths);

  // Key of picture Index as described above; Size is its size in bytes.
  // Throws Exception naming the file and the system's reason when a picture
  // that has to be read cannot be opened or read.
  std::string KeyOf(size_t Index, int64_t& Size);

  // Size of the head that is digested before whole files are.
  static constexpr int64_t HeadBytes = 4096;
  // Digested pictures a picture with an equal head is compared with before
  // it is digested itself.
  static constexpr size_t MaxCompares = 4;

 private:
  void DigestGroup(const std::vector<size_t>& Members);

  const std::vector<std::string>& Paths;
  std::vector<int64_t> Sizes;
  std::vector<std::string> Keys;
  std::vector<bool> Done;
  std::unordered_map<int64_t, std::vector<size_t>> BySize;
};

}  // namespace larkspan
