#include "platform/InstanceLock.h"
