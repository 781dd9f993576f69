// The picture optimisers: "jpegoptim", "gifsicle" and "pngout", one process
// per picture, started in the program's folder.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

class TAppConfig;

// The optimiser ReducePicture starts for the pair Source -> Destination under
// Config's switches: "jpegoptim", "gifsicle" or "pngout" with its arguments,
// or an empty Program and no arguments when no rule applies. Every JPEG loses
// its EXIF data; for a turned photo ReducePicture then writes back an EXIF
// segment holding the orientation alone.
struct TOptimiserCall {
  std::string Program;
  std::vector<std::string> Args;
};
TOptimiserCall OptimiserCallFor(const TAppConfig& Config, const std::string& Source,
                                const std::string& Destination);

// Used on the engine's worker thread, one picture at a time.
class TImageOptimiser {
 public:
  // Config must outlive the optimiser; its switches are read at every call.
  // ProgramFolder is where the optimisers are looked for first (then in the
  // helper folders, then on PATH: FindProgram) and the folder they run in.
  TImageOptimiser(const TAppConfig* Config, std::string ProgramFolder);

  // Leaves an optimised copy of Source at Destination and returns true, or
  // returns false when the caller must copy Source itself (no rule applies,
  // the optimiser is missing or failed, or its result is larger or empty).
  // A file already at Destination is deleted first, so that a file left by
  // an earlier run is never taken for the result; on false nothing of the
  // optimiser's is left at Destination. Every optimiser runs under the tool
  // time limit (ToolTimeoutSeconds); running past it is a failure.
  // REQUIRES: Destination's folder exists; Destination's file name is
  // Source's; Destination is not Source (false, untouched, if it is).
  bool ReducePicture(const std::string& Source, const std::string& Destination);

  // True when a rule applies to Source (an optimiser would be started).
  bool HasRuleFor(const std::string& Source) const;

  // True after a ReducePicture that returned false because an optimiser that
  // was started failed (non-zero exit, killed, no or empty result), as
  // opposed to "no rule", "optimiser missing" or "result larger than the
  // source" (jpegoptim writes nothing when it cannot make a JPEG smaller,
  // which counts as larger).
  bool LastFailed = false;

  // How the last ReducePicture went, for the per-file report.
  enum class TOutcome { NoRule, Missing, NotSmaller, Failed, Stopped, Optimised };
  TOutcome LastOutcome = TOutcome::NoRule;
  std::string LastProgram;  // the optimiser it chose, "" for no rule
  std::string LastFailure;  // what went wrong when it failed ("exit status 1", ...)
  int LastPid = -1;         // the optimiser's process id, -1 when none was started

  // True after a ReducePicture whose pngout stopped at its safety cap (a
  // runaway run, exit status 3): a failure like any other, Destination is
  // removed and the caller copies Source.
  bool LastTimeCapped = false;

  // The optimiser that would run for Source ("jpegoptim", ...), "" when no
  // rule applies.
  std::string ProgramFor(const std::string& Source) const;

 private:
  const TAppConfig* Config;
  std::string ProgramFolder;
};

// The EXIF orientation (tag 0x0112 of the first image directory) of the JPEG
// file Path: 1..8 as stored, 1 ("normal") when the file has none or is not
// a readable JPEG. Reads segment headers up to the Exif segment wherever it
// lies and never fails on malformed data.
int JpegOrientation(const std::string& Path);

}  // namespace larkspan
