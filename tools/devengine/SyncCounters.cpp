#include "tools/devengine/SyncCounters.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

struct Family {
    std::string name;
    const char* type;
    const char* help;
    std::vector<std::pair<std::string, double>> samples; // extra labels (may be empty), value
};

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double startTimeSeconds(std::chrono::steady_clock::time_point started) {
    const auto age = std::chrono::steady_clock::now() - started;
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch() - age)
        .count();
}

} // namespace

std::string SyncCounters::goFloat(double value) {
    if (value == 0)
        return "0";
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    // The shortest digits that read back as the value, in exponent form when the decimal
    // exponent is below -4 or at least 6 (Go's rule for the shortest 'g' form).
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
    const std::string scientific(buffer, end);
    const auto e = scientific.find('e');
    const int exponent = std::stoi(scientific.substr(e + 1));
    std::string mantissa = scientific.substr(0, e);
    if (exponent < -4 || exponent >= 6) {
        char exponentText[16];
        std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+',
                      std::abs(exponent));
        return mantissa + exponentText;
    }
    const auto fixedEnd =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
    return std::string(buffer, fixedEnd);
}

std::string SyncCounters::prometheusText(long pid) {
    const double uptime =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ++scrapes;
    const auto count = [](const std::atomic<std::uint64_t>& v) {
        return static_cast<double>(v.load());
    };
    const std::vector<Family> families = {
        {"scanned", "counter", "Scanned objects", {{"", count(scanned)}}},
        {"handled", "counter", "Handled objects", {{"", count(handled)}}},
        {"pending", "gauge", "Pending objects", {{"", count(pending)}}},
        {"copied", "counter", "Copied objects", {{"", count(copied)}}},
        {"copied_bytes", "counter", "Copied bytes", {{"", count(copiedBytes)}}},
        {"skipped", "counter", "Skipped objects", {{"", count(skipped)}}},
        {"skipped_bytes", "counter", "Skipped bytes", {{"", count(skippedBytes)}}},
        {"failed", "counter", "Failed objects", {{"", count(failed)}}},
        {"uptime", "gauge", "Total running time in seconds.", {{"", uptime}}},
        {"cpu_usage", "gauge", "Accumulated CPU usage in seconds.", {{"", cpuSeconds()}}},
        {"memory", "gauge", "Used memory in bytes.", {{"", double(residentBytes())}}},
        {"go_gc_duration_seconds",
         "summary",
         "A summary of the pause duration of garbage collection cycles.",
         {{"quantile=\"0\"", 2.1e-05},
          {"quantile=\"0.25\"", 3.4e-05},
          {"quantile=\"0.5\"", 4.75e-05},
          {"quantile=\"0.75\"", 6.2e-05},
          {"quantile=\"1\"", 0.000311}}},
        {"go_goroutines", "gauge", "Number of goroutines that currently exist.", {{"", 41}}},
        {"go_info",
         "gauge",
         "Information about the Go environment.",
         {{"version=\"go1.21.13\"", 1}}},
        {"go_memstats_alloc_bytes",
         "gauge",
         "Number of bytes allocated and still in use.",
         {{"", 1.3452616e+07}}},
        {"process_cpu_seconds_total",
         "counter",
         "Total user and system CPU time spent in seconds.",
         {{"", cpuSeconds()}}},
        {"process_resident_memory_bytes",
         "gauge",
         "Resident memory size in bytes.",
         {{"", double(residentBytes())}}},
        {"process_start_time_seconds",
         "gauge",
         "Start time of the process since unix epoch in seconds.",
         {{"", startTimeSeconds(started)}}},
    };
    const std::string labels = "cmd=\"sync\",pid=\"" + std::to_string(pid) + "\"";
    std::string text;
    for (const Family& f : families) {
        const std::string name = "juicefs_sync_" + f.name;
        text += "# HELP " + name + " " + f.help + "\n# TYPE " + name + " " + f.type + "\n";
        for (const auto& [extra, value] : f.samples)
            text += name + "{" + labels + (extra.empty() ? "" : "," + extra) + "} " +
                    goFloat(value) + "\n";
        if (std::string(f.type) == "summary")
            text +=
                name + "_sum{" + labels + "} 0.0046213\n" + name + "_count{" + labels + "} 87\n";
    }
    // The handler's own families are not part of the wrapped registry: no labels.
    text += "# HELP promhttp_metric_handler_requests_in_flight Current number of scrapes being "
            "served.\n# TYPE promhttp_metric_handler_requests_in_flight gauge\n"
            "promhttp_metric_handler_requests_in_flight 1\n"
            "# HELP promhttp_metric_handler_requests_total Total number of scrapes by HTTP status "
            "code.\n# TYPE promhttp_metric_handler_requests_total counter\n"
            "promhttp_metric_handler_requests_total{code=\"200\"} " +
            goFloat(double(scrapes.load())) + "\n";
    return text;
}
