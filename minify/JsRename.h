// Local renaming: every symbol that is not pinned gets a short name. Names
// go by slots: a scope's symbols take the slots after those of the scopes
// around it, so no renamed symbol can hide another that a reference inside
// it still needs; sibling scopes reuse slots. The most used slots get the
// shortest names; reserved words and every name in Info.Taken are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "minify/JsScope.h"

namespace larkspan::minify {

// Sets NewName of the symbols below Program.TopScope. Names must stay alive
// as long as the program: it holds the text of the new names. Printed is the
// program as printed without new names: the letters new names are made of
// go by their frequency in it, the names to be renamed not counted, so the
// most used names repeat the output's most common letters (and a second run
// on the output picks the same names).
void RenameJsLocals(TJsProgram& Program, std::string_view Printed, const TJsScopeInfo& Info,
                    std::vector<std::string>& Names);

}  // namespace larkspan::minify
