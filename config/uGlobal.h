// Small shared helpers: where the settings live, list texts, the version text.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

// The settings folder, ending in "/": $XDG_CONFIG_HOME (or $HOME/.config)
// + "Ostrel Larkspan/"; the program's own folder when neither is set.
// Created with its parents when missing; a failure shows later, when the
// settings are saved.
std::string GetConfigFolder();
// The same folder, never created (for readers that must not write).
std::string ConfigFolderPath();

// How many bytes of Text equal Ch.
int CountChar(const std::string& Text, char Ch);

// Piece number Index (0-based) of Text cut at every Ch; "" for a negative
// index or one beyond the last piece.
std::string GetField(const std::string& Text, int Index, char Ch);

// The entries of a list text ("A|B|"): CountChar entries, each GetField;
// text after the last "|" is not an entry.
std::vector<std::string> ListTextEntries(const std::string& Text);
// Builds a list text: every entry followed by "|".
std::string MakeListText(const std::vector<std::string>& Entries);

// The FileVersion text embedded in the executable FileName, or "" when the
// file carries none or cannot be read.
std::string GetFileVersionText(const std::string& FileName);

}  // namespace larkspan
