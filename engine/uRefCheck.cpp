#include "engine/uWebFilesMgr.h"

namespace larkspan {

// Placeholder until the reference check lands.
void TWebFilsMgr::KeepReferencedDuplicates() {}

}  // namespace larkspan
