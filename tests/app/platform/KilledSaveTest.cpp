// The process killed in the middle of saving: a child saves large files of every kind in a loop
// (tests/helpers/SaveLoop.cpp) and is killed at random points, 50 times. After every kill each
// file must be a complete file of some round: the old one or a new one, never a torn mixture.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "audio/TimeFile.h"
#include "settings/platform/QSettingsTree.h"
#include "spectrum/SpectrumFiles.h"
#include "traces/TraceFile.h"

extern char** environ;

namespace fim {
namespace {

pid_t StartSaveLoop(const std::string& dir, const char* rounds) {
    std::string program = FIM_SAVE_LOOP_PATH;
    std::vector<char*> argv = {program.data(), const_cast<char*>(dir.c_str()),
                               const_cast<char*>(rounds), nullptr};
    if (rounds == nullptr) argv[2] = nullptr;
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    return pid;
}

// The round a complete file belongs to; nullopt (with a failure) for a torn or unreadable file.
std::optional<double> TimeFileRound(const std::string& path) {
    TimeFileData d;
    if (ReadTimeFile(path, d) != TimeFileStatus::Ok || d.samplesInFile != 262144) return {};
    for (double s : d.samples) {
        if (s != d.samples[0]) return {};
    }
    return d.samples[0];
}

std::optional<double> FftRound(const std::string& path) {
    FftSpectrumFile f;
    if (ReadFftSpectrum(path, f) != SpectrumFileStatus::Ok || f.fftSize != 32768) return {};
    for (const SpectrumRecord& b : f.bins) {
        if (b.Magnitude != f.lowestFrequency || b.Phase != f.lowestFrequency) return {};
    }
    return f.lowestFrequency;
}

std::optional<double> SmoothRound(const std::string& path) {
    SmoothSpectrumFile f;
    if (ReadSmoothSpectrum(path, f) != SpectrumFileStatus::Ok) return {};
    for (int i = 0; i < kSmoothRecords; ++i) {
        if (f.records[i].Magnitude != f.lowestFrequency) return {};
    }
    return f.lowestFrequency;
}

std::optional<double> TraceRound(const std::string& path) {
    const auto bytes = ReadFileBytes(path, 7104);
    if (!bytes) return {};
    const auto t = ParseTraceFile(*bytes);
    if (!t) return {};
    for (const SmoothRecord& r : t->Records) {
        if (r.Magnitude != t->LowFrequencyLimit) return {};
    }
    return t->LowFrequencyLimit;
}

std::optional<double> SettingsRound(const std::string& path) {
    QSettingsTree tree(QString::fromStdString(path));
    if (tree.Status() != SettingsStatus::Ok) return {};
    const auto first = tree.ReadFloat("Value 0");
    if (!first) return {};
    for (int i = 1; i < 200; ++i) {
        if (tree.ReadFloat("Value " + std::to_string(i)) != first) return {};
    }
    return first;
}

TEST(KilledSave, EveryFileIsACompleteOldOrNewOne) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    const pid_t first = StartSaveLoop(dir, "1");
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    struct Kind {
        const char* name;
        std::optional<double> (*round)(const std::string&);
    };
    const Kind kinds[] = {{"room.mtf", TimeFileRound},
                          {"spectrum.mfr", FftRound},
                          {"spectrum.smr", SmoothRound},
                          {"trace.trc", TraceRound},
                          {"settings.conf", SettingsRound}};
    std::mt19937 random(19);
    std::uniform_int_distribution<int> delayMs(0, 400);
    int newerSeen = 0;
    for (int kill = 0; kill < 50; ++kill) {
        const pid_t pid = StartSaveLoop(dir, nullptr);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the save loop ended by itself";
        for (const Kind& k : kinds) {
            const auto round = k.round(dir + "/" + k.name);
            ASSERT_TRUE(round.has_value()) << k.name << " is torn after kill " << kill + 1;
            if (*round > 1) ++newerSeen;
        }
    }
    // The kills fell on saves in progress, not only before the first one.
    EXPECT_GT(newerSeen, 0);
}

}  // namespace
}  // namespace fim
