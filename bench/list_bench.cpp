// vexlarin-bench: lists a page through vexlarin-list against vexlarin-camsim, paced at the
// line's 9600 baud and unpaced, and sets the page time against the time the bytes alone need
// on the wire. Reports figures; fails only when a listing fails or a paced page beats the wire.
#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/machine.h"
#include "bench/replay_client.h"
#include "support/child_process.h"
#include "support/simulated_camera.h"
#include "support/support_failure.h"

namespace {

constexpr int kBaud = 9600;
constexpr int kBitsPerByte = 10;  // start, 8 data, stop
constexpr double kPingPauseS = 1.0;
constexpr int kLinesPerBlock = 18;

struct Options {
    int pacedRuns = 3;
    int unpacedRuns = 3;
    std::string camsim = VEXLARIN_CAMSIM;
    std::string lister = VEXLARIN_LIST;
};

struct Run {
    double pageS = 0;
    double cpuS = 0;
    int exchanges = 0;
    long bytes = 0;  // both directions, from the simulator's log
    std::vector<LoggedExchange> log;
};

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "vexlarin-bench: %s\n", text.c_str());
    std::exit(1);
}

}  // namespace

// A simulator or a lister that cannot be run ends the benchmark.
void SupportFailure(const std::string& what) {
    Fail(what);
}

namespace {

bool ParseOptions(int argc, char** argv, Options& options) {
    enum { kRuns = 1, kPacedRuns, kUnpacedRuns, kCamsim, kList };
    static const option kOptions[] = {{"runs", required_argument, nullptr, kRuns},
                                      {"paced-runs", required_argument, nullptr, kPacedRuns},
                                      {"unpaced-runs", required_argument, nullptr, kUnpacedRuns},
                                      {"camsim", required_argument, nullptr, kCamsim},
                                      {"list", required_argument, nullptr, kList},
                                      {nullptr, 0, nullptr, 0}};
    for (int option; (option = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
        if (option == kCamsim || option == kList) {
            (option == kCamsim ? options.camsim : options.lister) = optarg;
            continue;
        }
        char* end = nullptr;
        const long runs = option == '?' ? -1 : std::strtol(optarg, &end, 10);
        if (runs < 0 || runs > 100 || *end != '\0') {
            return false;
        }
        if (option != kUnpacedRuns) {
            options.pacedRuns = static_cast<int>(runs);
        }
        if (option != kPacedRuns) {
            options.unpacedRuns = static_cast<int>(runs);
        }
    }
    return optind == argc && options.pacedRuns + options.unpacedRuns > 0;
}

std::size_t CountLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return static_cast<std::size_t>(
        std::count(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>(), '\n'));
}

Run ListOnce(const Options& options, const std::string& dir, bool paced, int number) {
    const std::string log = dir + "/camsim-" + std::to_string(number) + ".log";
    SimulatedCamera simulator(log,
                              paced ? std::vector<std::string>{"--baud", std::to_string(kBaud)}
                                    : std::vector<std::string>{},
                              dir + "/camsim.err", options.camsim);

    const std::string file = dir + "/Vexlarin.txt";
    const std::size_t linesBefore = CountLines(file);
    ChildOptions child;
    child.directory = dir;
    child.errorFile = dir + "/list.err";
    child.environment = {"VEXLARIN_COM1=" + simulator.DevicePath()};
    for (int n = 2; n <= 4; ++n) {
        child.environment.push_back("VEXLARIN_COM" + std::to_string(n) + "=" + dir +
                                    "/no-such-port");
    }
    Run run;
    const auto start = std::chrono::steady_clock::now();
    ChildProcess lister({options.lister, "--port", "1"}, child);
    for (std::string line; lister.ReadLine(line);) {
    }
    const int status = lister.Wait(&run.cpuS);
    run.pageS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    simulator.Stop();
    if (status != 0) {
        Fail("vexlarin-list ended with status " + std::to_string(status) +
             " (its messages are in " + dir + "/list.err)");
    }
    if (CountLines(file) != linesBefore + kLinesPerBlock) {
        Fail("the listing did not append one block of 18 lines to " + file);
    }

    std::string error;
    run.log = ReadExchangeLog(log, error);
    if (!error.empty()) {
        Fail(error);
    }
    run.exchanges = static_cast<int>(run.log.size());
    for (const LoggedExchange& exchange : run.log) {
        run.bytes += static_cast<long>(exchange.command.size() + exchange.reply.size());
    }
    return run;
}

// The same exchanges replayed straight on a paced simulator: what the simulator and the
// terminal cost by themselves.
double ReplayOnce(const Options& options, const std::string& dir,
                  const std::vector<LoggedExchange>& exchanges) {
    std::string error;
    SimulatedCamera simulator("", {"--baud", std::to_string(kBaud)}, dir + "/camsim.err",
                              options.camsim);
    const double seconds = ReplayExchanges(simulator.DevicePath(), exchanges, error);
    simulator.Stop();
    if (!error.empty()) {
        Fail(error);
    }
    return seconds;
}

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

std::string Seconds(const Spread& s, int decimals = 3) {
    char text[128];
    std::snprintf(text, sizeof text, "%.*f s (min %.*f, max %.*f)", decimals, s.median, decimals,
                  s.min, decimals, s.max);
    return text;
}

std::vector<Run> RunSeries(const Options& options, const std::string& dir, bool paced, int count,
                           int& number) {
    std::vector<Run> runs;
    for (int i = 0; i < count; ++i) {
        runs.push_back(ListOnce(options, dir, paced, ++number));
        std::fprintf(stderr, "  %s run %d: %.3f s, %d exchanges, %ld bytes\n",
                     paced ? "paced" : "unpaced", i + 1, runs.back().pageS, runs.back().exchanges,
                     runs.back().bytes);
    }
    return runs;
}

template <typename Field>
std::vector<double> Collect(const std::vector<Run>& runs, Field field) {
    std::vector<double> values;
    for (const Run& run : runs) {
        values.push_back(field(run));
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: vexlarin-bench [--runs N] [--paced-runs N] [--unpaced-runs N]\n"
                     "                      [--camsim PATH] [--list PATH]\n"
                     "Lists page 0 through vexlarin-list against vexlarin-camsim, paced at %d "
                     "baud and unpaced,\nand compares the page time with the wire-time limit. "
                     "Default: 3 runs of each.\n",
                     kBaud);
        return 2;
    }
    const TempDir temporary;
    const std::string& dir = temporary.Path();

    int number = 0;
    const std::vector<Run> paced = RunSeries(options, dir, true, options.pacedRuns, number);
    const std::vector<Run> unpaced = RunSeries(options, dir, false, options.unpacedRuns, number);
    std::vector<double> replays;
    for (const Run& run : paced) {
        replays.push_back(ReplayOnce(options, dir, run.log));
        std::fprintf(stderr, "  replay run %d: %.3f s\n", static_cast<int>(replays.size()),
                     replays.back());
    }

    // Every run must have exchanged the same bytes, or the runs are not comparable.
    const Run& first = paced.empty() ? unpaced.front() : paced.front();
    for (const auto* series : {&paced, &unpaced}) {
        for (const Run& run : *series) {
            if (run.exchanges != first.exchanges || run.bytes != first.bytes) {
                Fail("the runs exchanged different bytes: " + std::to_string(run.bytes) +
                     " against " + std::to_string(first.bytes));
            }
        }
    }
    const double wireS = static_cast<double>(first.bytes) * kBitsPerByte / kBaud;
    const double limitS = wireS + kPingPauseS;

    std::printf("%s\n", MachineText().c_str());
    std::printf("exchanges per page        %d (counted from the simulator's log)\n",
                first.exchanges);
    std::printf("bytes exchanged           %ld (both directions)\n", first.bytes);
    std::printf(
        "wire-time limit           %.3f s = %ld bytes x %d bits / %d baud (%.3f s) + "
        "%.3f s pause after the ping\n",
        limitS, first.bytes, kBitsPerByte, kBaud, wireS, kPingPauseS);

    bool pacingBroken = false;
    if (!paced.empty()) {
        const Spread page = SpreadOf(Collect(paced, [](const Run& r) { return r.pageS; }));
        const Spread cpu = SpreadOf(Collect(paced, [](const Run& r) { return r.cpuS; }));
        std::printf("paced page (%d runs)      %s\n", static_cast<int>(paced.size()),
                    Seconds(page).c_str());
        std::printf(
            "  ratio to the limit      %.4f (%+.2f %%), %.3f ms over the limit per "
            "exchange\n",
            page.median / limitS, (page.median / limitS - 1) * 100,
            (page.median - limitS) * 1000 / first.exchanges);
        std::printf("  lister CPU (user+sys)   %s\n", Seconds(cpu).c_str());
        const Spread replay = SpreadOf(replays);
        std::printf(
            "replayed exchanges        %s, the same exchanges written and read straight "
            "on the\n                          paced simulator: %.3f ms per exchange over "
            "the wire from the simulator\n                          and the terminal "
            "alone, %.3f ms left to the lister\n",
            Seconds(replay).c_str(), (replay.median - wireS) * 1000 / first.exchanges,
            ((page.median - limitS) - (replay.median - wireS)) * 1000 / first.exchanges);
        pacingBroken = page.min < limitS || replay.min < wireS;
    }
    if (!unpaced.empty()) {
        const Spread page = SpreadOf(Collect(unpaced, [](const Run& r) { return r.pageS; }));
        const Spread cpu = SpreadOf(Collect(unpaced, [](const Run& r) { return r.cpuS; }));
        const Spread perExchange = SpreadOf(Collect(
            unpaced, [&](const Run& r) { return (r.pageS - kPingPauseS) * 1000 / r.exchanges; }));
        std::printf("unpaced page (%d runs)    %s\n", static_cast<int>(unpaced.size()),
                    Seconds(page).c_str());
        std::printf(
            "  per exchange            %.3f ms (min %.3f, max %.3f): (page - %.3f s "
            "pause) / %d, start and port opening included\n",
            perExchange.median, perExchange.min, perExchange.max, kPingPauseS, first.exchanges);
        std::printf("  lister CPU (user+sys)   %s\n", Seconds(cpu).c_str());
    }
    if (pacingBroken) {
        Fail("a paced page was faster than the wire-time limit: the pacing is broken");
    }
    return 0;
}
