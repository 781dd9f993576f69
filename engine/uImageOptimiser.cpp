#include "engine/uImageOptimiser.h"

namespace larkspan {

// Placeholder until the optimisers are wired: every picture is copied.
TImageOptimiser::TImageOptimiser(const TAppConfig* Config, std::string ProgramFolder)
    : Config(Config), ProgramFolder(std::move(ProgramFolder)) {}

bool TImageOptimiser::ReducePicture(const std::string& Source, const std::string& Destination) {
  LastFailed = false;
  return false;
}

std::string TImageOptimiser::BuildParams(const std::string& Source,
                                         const std::string& Destination) const {
  return std::string();
}

}  // namespace larkspan
