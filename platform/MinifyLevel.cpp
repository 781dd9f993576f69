#include "platform/MinifyLevel.h"

#include "platform/Text.h"

namespace larkspan {

std::optional<TMinifyLevel> MinifyLevelByName(std::string_view Name) {
  for (TMinifyLevel L : {TMinifyLevel::Spaces, TMinifyLevel::Safe, TMinifyLevel::Smallest})
    if (SameText(Name, MinifyLevelName(L))) return L;
  return std::nullopt;
}

std::string_view MinifyLevelName(TMinifyLevel Level) {
  switch (Level) {
    case TMinifyLevel::Spaces:
      return "spaces";
    case TMinifyLevel::Safe:
      return "safe";
    case TMinifyLevel::Smallest:
      return "smallest";
  }
  return "spaces";
}

}  // namespace larkspan
