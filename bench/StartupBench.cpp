// Start-up time of the program to its first painted main window (shared buffers, FFT tables,
// settings, sound devices, windows), against a bare QApplication with one empty window started
// the same way. Each iteration starts a fresh process (fim_startup_probe) on the offscreen
// platform with its own settings and temporary folders, and times it until the window is painted.
// Counter rss_mb: resident memory of the process right after that first paint.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A private configuration and temporary folder, so the probe neither meets a running program
// (single instance) nor the user's settings.
struct ProbeHome {
    ProbeHome() {
        char pattern[] = "/tmp/fim-startup-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "config");
        fs::create_directories(root / "tmp");
        fs::create_directories(root / "runtime");
        fs::permissions(root / "runtime", fs::perms::owner_all);
    }
    ~ProbeHome() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::vector<std::string> Environment() const {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string v = *e;
            if (v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("TMPDIR=", 0) == 0 ||
                v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("XDG_RUNTIME_DIR=", 0) == 0) {
                continue;
            }
            env.push_back(v);
        }
        env.push_back("XDG_CONFIG_HOME=" + (root / "config").string());
        env.push_back("TMPDIR=" + (root / "tmp").string());
        env.push_back("XDG_RUNTIME_DIR=" + (root / "runtime").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        return env;
    }
    fs::path root;
};

struct ProbeResult {
    double seconds = 0.0;
    long residentKiB = -1;
    bool painted = false;
    bool exited = false;  // with status 0
    bool ok() const { return painted && exited; }
};

// Starts the probe in `mode`; the time runs from the start of the process to the "painted" line.
ProbeResult RunProbe(const ProbeHome& home, const char* mode) {
    ProbeResult result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

    std::vector<std::string> env = home.Environment();
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = FIM_STARTUP_PROBE_PATH;
    std::string modeArg = mode;
    char* argv[] = {path.data(), modeArg.data(), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return result;
    }
    FILE* out = fdopen(pipeFds[0], "r");
    char line[128] = {};
    if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr &&
        std::sscanf(line, "painted %ld", &result.residentKiB) == 1) {
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.painted = true;
    }
    if (out != nullptr) std::fclose(out);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

void StartupCase(benchmark::State& state, const char* mode) {
    ProbeHome home;
    // The program starts with stored settings, as it does every day; a first start would ask
    // questions first.
    if (std::string(mode) == "fim" && !RunProbe(home, "seed").exited) {
        state.SkipWithError("the probe could not write its settings");
        return;
    }
    double resident = 0.0;
    for (auto _ : state) {
        const ProbeResult r = RunProbe(home, mode);
        if (!r.ok()) {
            state.SkipWithError("the probe did not paint its window");
            return;
        }
        state.SetIterationTime(r.seconds);
        resident = static_cast<double>(r.residentKiB) / 1024.0;
    }
    state.counters["rss_mb"] = resident;
}

void BM_StartupBareWindow(benchmark::State& state) { StartupCase(state, "bare"); }
void BM_StartupToFirstPaint(benchmark::State& state) { StartupCase(state, "fim"); }

}  // namespace

BENCHMARK(BM_StartupBareWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
