// A dry run's decisions: once the pictures' digests are known, what a run
// would do to every file the scan found, the duplicates it would keep
// because a file still refers to them included. Nothing is written; pages
// are rewritten in memory only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/uDuplicates.h"
#include "engine/uFileResult.h"
#include "engine/uRunRecord.h"

namespace larkspan {

class TAppConfig;
class TFileWriter;
class TSiteScan;

class TDryRun {
 public:
  // Scan (its work lists after the scan), Settings, Duplicates (final) and
  // Writer (whose tools plan the pictures and whose rewriter reads the
  // pages) must outlive the object. Jobs is how many threads may read the
  // site's other text files for references at once.
  TDryRun(const TSiteScan& Scan, const TAppConfig& Settings, const TDuplicateSet& Duplicates,
          TFileWriter& Writer, int Jobs);

  // Adds to Records one record per file of the scan's work lists (the
  // masters, the pages, the files to minify, the rest), one per duplicate
  // the run would keep (also put into Run.KeptDuplicates) and one per
  // duplicate it would leave out. The pictures' records say whether their
  // optimiser would run, given Run.MissingTools. BeforePage(Path) is called
  // before each page is read, and BeforeFile() before each other file is
  // read for references (on any of the Jobs threads); either may throw to
  // end the dry run. Throws Exception when a file cannot be read.
  void Record(TFileResults& Records, TRunRecord& Run,
              const std::function<void(const std::string& Path)>& BeforePage,
              const std::function<void()>& BeforeFile);

 private:
  // The duplicates a file would still refer to after the pages' rewriting.
  std::vector<TKeptDuplicate> KeptDuplicates(
      const std::function<void(const std::string& Path)>& BeforePage,
      const std::function<void()>& BeforeFile);

  const TSiteScan& Scan;
  const TAppConfig& Settings;
  const TDuplicateSet& Duplicates;
  TFileWriter& Writer;
  int Jobs;
};

// Adds a record (DuplicateLeftOut, SameContentAs its master) for every
// duplicate of Duplicates that is not in Kept. A run records them so once
// it has written what it keeps; a dry run once it has decided.
void RecordLeftOutDuplicates(const TSiteScan& Scan, const TDuplicateSet& Duplicates,
                             const std::vector<TKeptDuplicate>& Kept, TFileResults& Records);

}  // namespace larkspan
