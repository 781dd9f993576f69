// The picture optimisers: "jpegoptim", "gifsicle" and "pngout", one process
// per picture, started in the program's folder.
#pragma once

#include <string>

namespace larkspan {

class TAppConfig;

class TImageOptimiser {
 public:
  // Config must outlive the optimiser; its switches are read at every call.
  TImageOptimiser(const TAppConfig* Config, std::string ProgramFolder);

  // Leaves an optimised copy of Source at Destination and returns true, or
  // returns false when the caller must copy Source itself (no rule applies,
  // the optimiser is missing or failed, or its result is larger or empty).
  // REQUIRES: Destination's folder exists; Destination's file name is
  // Source's.
  bool ReducePicture(const std::string& Source, const std::string& Destination);

  // The parameter text ReducePicture would hand to the optimiser for this
  // pair, "" when no rule applies (for tests and logs).
  std::string BuildParams(const std::string& Source, const std::string& Destination) const;

  // True after a ReducePicture that returned false because an optimiser that
  // was started failed (non-zero exit, killed, no or empty result), as
  // opposed to "no rule" or "result larger than the source".
  bool LastFailed = false;

 private:
  const TAppConfig* Config;
  std::string ProgramFolder;
};

}  // namespace larkspan
