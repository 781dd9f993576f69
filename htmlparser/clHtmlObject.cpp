#include "htmlparser/clHtmlObject.h"

#include <algorithm>

namespace larkspan {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
  // Owned components are destroyed last-added first; each one unlinks itself,
  // so the list shrinks as we go.
  while (!FComponents.empty()) delete FComponents.back();
  if (FOwner) {
    auto& List = FOwner->FComponents;
    List.erase(std::find(List.begin(), List.end(), this));
  }
}

}  // namespace larkspan
