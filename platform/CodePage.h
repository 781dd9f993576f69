// The code page of a site's text files: one typed value, parsed once from the
// name a user gives (command line, settings file, the window's list) and
// handed on as it is to everything that reads those files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

// Utf8, Gbk, Big5 and Single are ASCII-compatible: every byte below 0x80 that
// does not belong to a multi-byte character is itself. UTF-16 is not.
enum class TCodePage {
  Utf8,
  Gbk,  // GB2312, GBK and GB18030 alike (sites labelled GB2312 hold GBK)
  Big5,
  Single,  // ISO-8859-1 and any other single-byte code page
  Utf16LE,
  Utf16BE,
};

// The code page a character-set name means ("GB2312", "gbk", "Big5",
// "ISO-8859-1", "UTF-8", "utf8", "UTF-16", "Unicode", "UCS-2", "cp936", ...),
// ASCII case ignored and so are "-", "_", ".", blanks and tabs. Nothing for an
// empty or unknown name: the caller decides between refusing and a default.
std::optional<TCodePage> ParseCodePage(std::string_view Name);

// The names ParseCodePage takes, for a message to a user who gave another
// one: "GB2312, GBK, ..., windows-125x (ASCII case ignored)". Aliases of these
// (cp936, latin1, ...) are taken too but not listed.
std::string AcceptedCodePageNames();

// The usual name of Page ("GB2312", "Big5", "ISO-8859-1", "UTF-8", "UTF-16",
// "UTF-16BE"); ParseCodePage(CodePageName(P)) == P for every P.
const char* CodePageName(TCodePage Page);

}  // namespace larkspan
