#include "tools/devengine/SyncCounters.h"

#include <utility>
#include <vector>

std::string SyncCounters::prometheusText(long pid) const {
    struct Metric {
        const char* name;
        const char* type;
        const char* help;
        std::uint64_t value;
    };
    const std::vector<Metric> metrics = {
        {"scanned", "counter", "Scanned objects", scanned},
        {"handled", "counter", "Handled objects", handled},
        {"pending", "gauge", "Pending objects", pending},
        {"copied", "counter", "Copied objects", copied},
        {"copied_bytes", "counter", "Copied bytes", copiedBytes},
        {"skipped", "counter", "Skipped objects", skipped},
        {"skipped_bytes", "counter", "Skipped bytes", skippedBytes},
        {"failed", "counter", "Failed objects", failed},
    };
    const std::string labels = "{cmd=\"sync\",pid=\"" + std::to_string(pid) + "\"}";
    std::string text;
    for (const auto& m : metrics) {
        const std::string name = std::string("juicefs_sync_") + m.name;
        text += "# HELP " + name + " " + m.help + "\n# TYPE " + name + " " + m.type + "\n" + name +
                labels + " " + std::to_string(m.value) + "\n";
    }
    return text;
}
