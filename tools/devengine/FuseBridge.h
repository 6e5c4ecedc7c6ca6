#pragma once

#include "tools/devengine/VolumeFs.h"

// The libfuse operation table, forwarding each call to the VolumeFs given to fuse_new.
namespace FuseBridge {

fuse_operations operations();

} // namespace FuseBridge
