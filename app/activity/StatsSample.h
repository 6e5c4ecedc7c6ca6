#pragma once

#include <QtGlobal>

// The six JuiceFS counters the activity reader uses, from one mount's .stats file or summed
// over several.
struct StatsSample {
    qint64 uploading = 0;            // juicefs_object_request_uploading
    qint64 stagingBlocks = 0;        // juicefs_staging_blocks
    qint64 stagingWritingBlocks = 0; // juicefs_staging_writing_blocks
    qint64 stagingBlockBytes = 0;    // juicefs_staging_block_bytes
    qint64 putBytes = 0;             // juicefs_object_request_data_bytes_PUT
    qint64 blockcacheMissBytes = 0;  // juicefs_blockcache_miss_bytes (per mount, never summed)

    // Adds one mount's summed counters, saturating at the 64-bit limits.
    void accumulate(const StatsSample& mount);

    bool operator==(const StatsSample&) const = default;
};
