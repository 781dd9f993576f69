// The root of every class that raises callbacks: the first argument of every
// callback is the object that raised it, typed as TObject* (the engine, the
// HTML parser). Nothing else: no ownership, no identity beyond the address.
#pragma once

namespace larkspan {

struct TObject {
  virtual ~TObject() = default;
};

}  // namespace larkspan
