// What an output folder holds that the last run did not write: files of
// earlier runs whose site files were deleted, renamed or are now filtered
// out. Found after a run, and removed on request, so that the output
// mirrors the site.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace larkspan {

class TOutputMirror {
 public:
  // Lists every entry beneath OutputDir that is not a folder (files, links,
  // FIFOs...) and is not in Written (the output paths the run wrote, as
  // OutputDir + "/" + relative path), into Stale in path order. Links are
  // never followed; a folder on another file system or one that is a
  // folder of the site SiteDir (a bind mount) is not entered. OutputDir is
  // reached through the run's write root when one is live. Throws
  // Exception when a folder cannot be listed.
  void Find(const std::string& SiteDir, const std::string& OutputDir,
            const std::vector<std::string>& Written);

  // Removes every entry of Stale (a link itself, never what it leads to),
  // then each folder that this left empty, up to OutputDir (kept). Every
  // removal goes through the write root when one is live, so a folder
  // swapped for a link meanwhile fails instead of being followed. An entry
  // that cannot be removed goes to Failures ("path: reason") and the rest
  // goes on. Returns how many were removed.
  int Remove();

  // After a run: Find, then, when Delete and Stale is not empty and
  // Confirm (when given) answers true for Stale's count, Remove. A folder
  // that cannot be listed goes to Failures as its reason: the files the
  // run wrote stand whatever happens here. Throws only what Confirm throws.
  void Mirror(const std::string& SiteDir, const std::string& OutputDir,
              const std::vector<std::string>& Written, bool Delete,
              const std::function<bool(int Count)>& Confirm);

  std::string OutputDir;           // as given to Find, ending in "/"
  std::vector<std::string> Stale;  // relative to OutputDir, "/" between names
  std::vector<std::string> Failures;
  int Removed = 0;
};

}  // namespace larkspan
