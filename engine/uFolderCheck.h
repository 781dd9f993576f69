// The checks of a site folder and an output folder before a run, shared by
// the engine, the window and the command line so that all three refuse the
// same pairs.
#pragma once

#include <string>

namespace larkspan {

// True when one folder text begins with the other: blanks and control
// characters around both are ignored and ASCII letters compare without
// case. Refuses equal folders and one inside the other (and, like the
// window always did, a pair such as "/web" and "/web2").
bool FoldersOverlap(const std::string& RootPath, const std::string& OutputPath);

// The one test of whether a run could write into the site: true when the
// two folders, each resolved with ResolvePath (links followed, relative
// paths from the current folder, "x/." and ".." taken apart), are one
// folder or one lies inside the other, compared by whole path components
// ("/web" and "/web2" do not overlap), or when, by the identities of the
// folders and of every folder above each (FolderChainIds), one is the
// other or lies inside it, which also sees bind mounts and names that
// differ in case on a file system that ignores it. Neither folder needs to exist; an
// empty or unresolvable text overlaps everything (refused). The engine's
// Start, the command line and the window all use it; the window in
// addition to FoldersOverlap.
bool FoldersConflict(const std::string& RootPath, const std::string& OutputPath);

}  // namespace larkspan
