// A long session on the fast Virtual Room (no room noise) through the run controller the main
// window drives: REPEAT periods at orders 12 and 16 in turn, with a time file saved and loaded
// back every 50 results (a load stops a repeating run; the soak starts it again). After the
// warm-up the process must not grow: resident memory within 2 MB, no more open files, no more
// threads; and every 25th response must equal the first one of its order.
// FIM_SOAK_RUNS sets the number of results (1000 when unset).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../audio/DeviceRunRig.h"
#include "audio/DeviceNotifier.h"
#include "audio/ImpulseFiles.h"
#include "audio/VirtualRoom.h"

namespace fim {
namespace {

namespace fs = std::filesystem;

struct Usage {
    long residentKb = 0;
    int threads = 0;
    int files = 0;
};

Usage Measure() {
    Usage u;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") status >> u.residentKb;
        if (key == "Threads:") status >> u.threads;
    }
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++u.files;
    return u;
}

int Runs() {
    const char* env = std::getenv("FIM_SOAK_RUNS");
    const int n = env != nullptr ? std::atoi(env) : 0;
    return n > 0 ? n : 1000;
}

TEST(Soak, RepeatRunsKeepMemoryFilesThreadsAndResponses) {
    const int runs = Runs();
    const fs::path dir =
        fs::temp_directory_path() / ("fim_soak_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string file = (dir / "soak.mtf").string();

    RoomParameters p;
    p.realTime = false;
    p.noiseDb = kRoomNoiseOffDb;
    p.reverbTime = 0.05;  // the tail dies within the ignored first period
    VirtualRoom room(p);
    testing::DeviceRunRig rig(room, kVirtualRoomName, [](const std::string&) { FAIL(); });
    MeasurementState& s = rig.s;
    s.MlsOrder = 12;
    s.AveragesTarget = 1;
    s.AtcMode = 0;
    s.PeakSync = false;
    s.IgnoreFirst = true;  // the room's first period starts from silence
    s.QualityCheck = true;
    s.DevicesClosed = true;
    ScriptedPrompter& prompter = rig.prompter;
    testing::CountingView& view = rig.view;
    SemaphoreWakeup& wake = rig.wake;
    RunController& controller = rig.controller;
    ImpulseFiles files(s, prompter);

    std::map<int, std::vector<double>> firstOfOrder;
    Usage warm;
    int order = 12;
    controller.Repeat = true;
    controller.NORMALClick();
    int seen = 0;
    while (seen < runs && !HasFatalFailure()) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (view.completed == seen && s.RunActive && std::chrono::steady_clock::now() < until) {
            wake.WaitFor(std::chrono::milliseconds(20));
            controller.DispatchDeviceEvents();
        }
        ASSERT_EQ(view.completed, seen + 1) << "the repeating run stopped after " << seen;
        seen = view.completed;
        ASSERT_EQ(s.MlsOrder, order);
        const std::vector<double> response(s.buffers.RLPd(), s.buffers.RLPd() + s.MlsPeriod());
        if (!firstOfOrder.count(order)) firstOfOrder[order] = response;
        if (seen % 25 == 0) {
            EXPECT_EQ(response, firstOfOrder[order]) << "response " << seen << ", order " << order;
        }
        if (seen == 100) warm = Measure();  // both orders have run, every buffer is in use
        if (seen % 50 == 0) {
            // Save the response and load it back, as a user does: the load stops the run.
            ASSERT_TRUE(files.SaveImpulse(file, 1));
            controller.StopRun();
            ASSERT_TRUE(files.LoadImpulse(file, 1));
            ASSERT_EQ(std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + s.MlsPeriod()),
                      response);
            order = order == 12 ? 16 : 12;
            controller.ChangeMlsOrder(order, false);
            controller.Repeat = true;  // stopping a run clears REPEAT
            controller.NORMALClick();
        }
    }
    controller.StopRun();
    controller.MIR1Click();
    EXPECT_EQ(rig.host.settingsOpened, 0) << "the sound settings were opened";
    EXPECT_EQ(rig.host.terminated, 0) << "the program was ended";
    EXPECT_TRUE(prompter.shown.empty())
        << prompter.shown[0].caption << ": " << prompter.shown[0].text;
    if (runs >= 200) {
        const Usage end = Measure();
#ifndef __SANITIZE_ADDRESS__  // the address sanitizer keeps freed memory in quarantine
        EXPECT_LE(end.residentKb - warm.residentKb, 2048);
#endif
        EXPECT_LE(end.files, warm.files);
        EXPECT_LE(end.threads, warm.threads);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace fim
