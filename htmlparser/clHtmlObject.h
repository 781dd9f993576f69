// The parser's owned objects. TComponent adds to the platform's TObject (the
// sender of callbacks) an optional owner that destroys the component when it
// is destroyed itself.
#pragma once

#include <vector>

#include "platform/Object.h"

namespace larkspan {

// A TObject that may be given an owner at construction. The owner destroys
// every component it still owns when it is destroyed; a component destroyed
// earlier takes itself off its owner's list. Not copyable.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }

 private:
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};

}  // namespace larkspan
