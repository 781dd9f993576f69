// A private-profile style INI file: one "[Section]" header per section and
// "Key=Value" lines. Section and key names match without regard to ASCII
// case; every other line of the file is kept as it is.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

class TIniFile {
 public:
  // Reads FileName when it exists; a missing or unreadable file is empty.
  explicit TIniFile(std::string FileName);

  // The text after the first "=" of the key's line, blanks around it removed
  // and one pair of enclosing single or double quotes dropped, cut to 2047
  // bytes; Default when the section or key is missing.
  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;
  // The value taken as an integer (blanks, optional sign, decimal digits or
  // hexadecimal after "$", "x" or "0x"); non-zero is true. Default when the
  // key is missing, empty or not wholly such an integer.
  bool ReadBool(const std::string& Section, const std::string& Key, bool Default) const;

  // Replaces the key's line, or adds it at the end of its section (the
  // section at the end of the file when missing). In memory only.
  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
  void WriteBool(const std::string& Section, const std::string& Key, bool Value);

  // Writes the file with CR LF line ends, through a temporary file and a
  // rename, so a failed save leaves the old file whole. Throws Exception
  // "Unable to write to <file>" on failure.
  void UpdateFile() const;

  const std::string& FileName() const { return Name; }

 private:
  // Index of the section's header line, or -1.
  int FindSection(const std::string& Section) const;
  // Index of the key's line inside the section starting at header SecLine, or -1.
  int FindKey(int SecLine, const std::string& Key) const;
  // One past the section's last line (the next header or the end).
  int SectionEnd(int SecLine) const;

  std::string Name;
  std::vector<std::string> Lines;
};

// Parses Text as the INI format's integer; false when it is not one.
bool ParseIniInteger(const std::string& Text, long long& Value);

}  // namespace larkspan
