// Byte-text helpers. Texts are byte strings in the program's narrow encoding;
// case-insensitive comparison folds the ASCII letters only, nothing else.
#pragma once

#include <string>
#include <string_view>

namespace larkspan {

constexpr char PathDelim = '/';

char UpCaseAscii(char C);
// The one lower-case fold of an ASCII letter; every other byte as it is.
inline char LoCaseAscii(char C) { return (C >= 'A' && C <= 'Z') ? char(C - 'A' + 'a') : C; }
// The value of an ASCII hexadecimal digit (0-9, a-f, A-F: 0 to 15); -1 for
// every other byte.
inline int HexDigitValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}
std::string UpperCaseAscii(std::string_view S);
std::string LowerCaseAscii(std::string_view S);

// <0, 0, >0 like strcmp, with ASCII letters folded to upper case.
int CompareText(std::string_view A, std::string_view B);
bool SameText(std::string_view A, std::string_view B);
bool StartsText(std::string_view Prefix, std::string_view S);
bool EndsText(std::string_view Suffix, std::string_view S);
// First position of Needle in Haystack ignoring ASCII case, or npos.
size_t FindText(std::string_view Haystack, std::string_view Needle, size_t From = 0);

// The part of the file name from its last "." on (dot included), or "" when
// the name has no dot. A dot in a folder name does not count.
std::string ExtractFileExt(std::string_view Path);
std::string ExtractFileName(std::string_view Path);
// The folder part of Path, with its trailing delimiter ("" for a bare name).
std::string ExtractFilePath(std::string_view Path);

std::string IncludeTrailingDelimiter(std::string_view Folder);

// True when Path is Folder or lies below it, compared by whole components
// and exactly (both absolute and resolved, as ResolvePath gives them):
// "/a/b" is within "/a", "/a/bc" is not.
bool IsPathWithin(std::string_view Path, std::string_view Folder);

// True when Text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view Text);
// Length of the well-formed UTF-8 sequence at Text[I], 0 when none starts
// there.
size_t Utf8SequenceLength(std::string_view Text, size_t I);
std::string ExcludeTrailingDelimiter(std::string_view Folder);

// A name for a terminal or a report line: Name as it is when it holds no
// control character (below 0x20, or 0x7F); otherwise quoted as a shell
// reads it back, the way ls shows such names: 'a'$'\n''b', every control
// byte as $'\n', $'\t', $'\r' or $'\033' (octal), a quote as \'. So no
// name can move the cursor, colour the terminal or forge a line.
std::string QuotedName(std::string_view Name);

}  // namespace larkspan
