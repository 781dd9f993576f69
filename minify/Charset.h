// Code pages of the text files a site holds, and the byte-level rules the
// minifiers follow in them. No I/O, no locale: bytes in, answers out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace larkspan::minify {

// The code page type is the platform's, so that the settings and the command
// line can parse a name once and every reader of the files shares its rules.
// The minifiers work in the ASCII-compatible code pages directly; UTF-16 is
// converted to UTF-8 before and back after (MinifyFile).
using larkspan::TCodePage;

// The code page one file is read in: a byte-order mark wins; a file that is
// valid UTF-8 and holds a non-ASCII byte is UTF-8 whatever the setting;
// otherwise Setting. Real GBK text rarely passes as UTF-8 (no whole file of
// 887 Chinese pages and posts did; 0.2% of their lines did, short ones with
// one or two characters most), and where it does nothing is lost: a valid
// UTF-8 text holds no ASCII trail byte, so both readings split its bytes
// into the same syntax. Without a mark, zero bytes on one side of every pair
// make a file UTF-16 whatever the setting; a UTF-16 setting is believed for a
// file that is neither of those nor valid UTF-8 (a page of ASCII labelled
// UTF-16 is read as UTF-8, not turned into nonsense; a file that then fails
// to convert is refused, never read byte by byte).
TCodePage DetectCodePage(std::string_view Bytes, TCodePage Setting);

// Bytes of the character that starts at Bytes[I] (I < size) in an
// ASCII-compatible code page: 1 for an ASCII byte; in Gbk and Big5 a lead
// byte (0x81-0xFE) takes the next byte with it whenever that byte can be a
// trail byte (Gbk 0x40-0xFE but 0x7F, Big5 0x40-0x7E and 0xA1-0xFE), so a
// trail byte 0x40-0x7E ("\", "{", "}", "|", letters) is never syntax; GB18030's
// four-byte form (lead, digit, lead, digit) is 4. A lead byte before an ASCII
// byte that cannot be a trail (a quote, a blank) stands alone, as browsers
// read it. A broken UTF-8 sequence counts its bytes one by one. Never more
// than the bytes left; a multi-byte character never holds a byte below 0x30.
size_t CharLength(TCodePage Page, std::string_view Bytes, size_t I);

// UTF-16 (with or without its byte-order mark) to UTF-8 and back. ToUtf8
// returns false for an odd length or an unpaired surrogate.
bool Utf16ToUtf8(std::string_view Bytes, bool BigEndian, std::string& Out);
// ToUtf16 writes U+FFFD for a byte that is not valid UTF-8 (check with
// IsValidUtf8 first where that matters).
std::string Utf8ToUtf16(std::string_view Utf8, bool BigEndian, bool WithBom);

// True when every byte of Bytes belongs to a well-formed UTF-8 sequence (no
// overlong forms, no surrogates).
bool IsValidUtf8(std::string_view Bytes);

// Number of UTF-16 code units Utf8 turns into (a broken byte counts 1).
size_t Utf16LengthOfUtf8(std::string_view Utf8);

}  // namespace larkspan::minify
