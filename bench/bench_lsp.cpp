// bench_lsp.cpp - the language server as an editor uses it: how long after a change (beyond the
// pause it waits for typing to stop) the diagnostics of the demo and of the maximum-size source
// come, and its resident memory before and after 1,000 edits.
#include "lsp_client.h"
#include "maxsource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr double DiagnosticsDelayMs = 150;  // the server's wait for typing to pause
constexpr double DemoTargetMs = 20;
constexpr double MaxSourceTargetMs = 1000;
constexpr int Edits = 1000;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

long ResidentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

std::string Uri(const fs::path& p) {
    return "file://" + fs::absolute(p).lexically_normal().string();
}

void Change(LspClient& c, const std::string& uri, int version, const std::string& text) {
    c.Notify("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", version}}},
                                        {"contentChanges", {{{"text", text}}}}});
}

// The median time from a change to its diagnostics, less the server's pause, over runs edits.
double MedianLatencyMs(LspClient& c, const std::string& uri, const std::string& text, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point sent = Clock::now();
        Change(c, uri, i + 2, text + std::string(static_cast<size_t>(i % 2), '\n'));
        // Timed to the last byte of the diagnostics: reading the JSON is the editor's work.
        for (;;) {
            const std::optional<std::string> body = c.NextBody(30000);
            if (!body) return -1;
            const std::string head = body->substr(0, 300);
            if (head.find("textDocument/publishDiagnostics") != std::string::npos &&
                head.find("\"" + uri + "\"") != std::string::npos)
                break;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count() -
                     DiagnosticsDelayMs);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool Open(LspClient& c, const std::string& uri, const std::string& text) {
    c.Notify(
        "textDocument/didOpen",
        {{"textDocument", {{"uri", uri}, {"languageId", "umb"}, {"version", 1}, {"text", text}}}});
    return c.Diagnostics(uri, 30000).has_value();
}

void Report(const char* what, double ms, double target) {
    const double ratio = ms / target;
    std::printf("%s: diagnostics %.1f ms after the pause (target %.0f ms), ratio %.2f (target <= "
                "1.00): %s\n",
                what, ms, target, ratio, ratio <= 1.0 ? "OK" : "SLOW");
}

}  // namespace

int main() {
    const fs::path demo = fs::path(UMB_DEMO) / "beacon.adv";
    const fs::path work =
        fs::temp_directory_path() / ("umb-bench-lsp-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const fs::path max = work / "max.adv";
    std::ofstream(max, std::ios::binary) << GenerateMaxSource();

    LspClient c;
    if (!c.Start(UMB_BINARY, UMB_DEMO) ||
        !c.Request(1, "initialize", {{"capabilities", Json::object()}}) || !c.Response(1)) {
        std::fprintf(stderr, "the language server did not start\n");
        return 1;
    }
    c.Notify("initialized");
    const std::string demoText = ReadFile(demo), maxText = ReadFile(max);
    const std::string demoUri = Uri(demo), maxUri = Uri(max);
    if (!Open(c, demoUri, demoText) || !Open(c, maxUri, maxText)) {
        std::fprintf(stderr, "no diagnostics came for an opened source\n");
        return 1;
    }
    Report("beacon.adv", MedianLatencyMs(c, demoUri, demoText, 15), DemoTargetMs);
    Report("max.adv", MedianLatencyMs(c, maxUri, maxText, 5), MaxSourceTargetMs);

    // Each edit is followed by a request that needs it checked, so every one is compiled.
    const long before = ResidentKb(c.pid);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < Edits; ++i) {
        Change(c, demoUri, 100 + i, demoText + std::string(static_cast<size_t>(i % 7), '\n'));
        if (!c.Request(1000 + i, "textDocument/documentSymbol",
                       {{"textDocument", {{"uri", demoUri}}}}) ||
            !c.Response(1000 + i, 30000)) {
            std::fprintf(stderr, "edit %d was not answered\n", i);
            return 1;
        }
        c.notifications.clear();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long after = ResidentKb(c.pid);
    std::printf("resident memory: %ld KiB before, %ld KiB after %d edits of beacon.adv (%.1f ms "
                "an edit with its outline)\n",
                before, after, Edits, seconds * 1000 / Edits);
    c.Request(2, "shutdown");
    c.Response(2);
    c.Notify("exit");
    c.Wait(10000);
    fs::remove_all(work);
    return 0;
}
