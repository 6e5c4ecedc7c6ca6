#include "app/activity/StatsSample.h"

#include "app/activity/SaturatingMath.h"

void StatsSample::accumulate(const StatsSample& mount) {
    uploading = SaturatingMath::add(uploading, mount.uploading);
    stagingBlocks = SaturatingMath::add(stagingBlocks, mount.stagingBlocks);
    stagingWritingBlocks = SaturatingMath::add(stagingWritingBlocks, mount.stagingWritingBlocks);
    stagingBlockBytes = SaturatingMath::add(stagingBlockBytes, mount.stagingBlockBytes);
    putBytes = SaturatingMath::add(putBytes, mount.putBytes);
}
