// A mount's .stats file: read as the activity tick reads it, then run through the upload
// model, whose rate and estimate must stay finite whatever the counters say.
#include "app/activity/SourceSampler.h"
#include "app/activity/StatsParser.h"
#include "app/activity/UploadBurstModel.h"
#include "fuzz/FuzzInput.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzInput::bytes(data, size);
    const SourceSampler::StatsRead read = SourceSampler::readStats(FuzzInput::fileHolding(bytes));
    const StatsSample sample = read.sample.value_or(StatsParser::parse(QString::fromUtf8(bytes)));

    UploadBurstModel model;
    const auto start = UploadBurstModel::TimePoint{};
    model.update(sample.stagingBlockBytes, 0, start);
    model.update(sample.stagingBlockBytes, sample.putBytes, start + std::chrono::seconds(4));
    model.update(sample.stagingBlocks, sample.uploading, start + std::chrono::seconds(5));
    FuzzInput::require(std::isfinite(model.uploadRate()) && model.uploadRate() >= 0,
                       "upload rate is a finite non-negative number");
    if (const auto eta = model.uploadETA())
        FuzzInput::require(std::isfinite(*eta) && *eta >= 0, "estimate is finite");
    const double fraction = model.uploadFraction();
    FuzzInput::require(fraction >= 0 && fraction <= 1, "uploaded share lies in [0, 1]");
    return 0;
}
