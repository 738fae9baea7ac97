// The sound libraries' own complaints reach the program's log, not the terminal, unless asked.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "audio/platform/SoundSystemLog.h"

#ifdef FIM_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace fim {
namespace {

bool Logged(const std::string& part) {
    const auto lines = SoundSystemMessages();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

#ifdef FIM_HAVE_ALSA
TEST(SoundSystemLog, AlsaComplaintsGoToTheLogAndToStderrOnlyWhenShown) {
    RouteSoundSystemMessages();
    ShowSoundSystemMessages(false);
    snd_pcm_t* pcm = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_LT(snd_pcm_open(&pcm, "fim_no_such_device_1", SND_PCM_STREAM_PLAYBACK, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(Logged("Unknown PCM fim_no_such_device_1"));

    ShowSoundSystemMessages(true);
    testing::internal::CaptureStderr();
    EXPECT_LT(snd_pcm_open(&pcm, "fim_no_such_device_2", SND_PCM_STREAM_PLAYBACK, 0), 0);
    const std::string shown = testing::internal::GetCapturedStderr();
    ShowSoundSystemMessages(false);
    EXPECT_NE(shown.find("ALSA lib "), std::string::npos) << shown;
    EXPECT_NE(shown.find("Unknown PCM fim_no_such_device_2"), std::string::npos) << shown;
}
#endif

// JACK comes in through PortAudio when PortAudio was built with it; a client that finds no
// server complains through JACK's error function, and no server is started for it.
TEST(SoundSystemLog, JackComplaintsGoToTheLogAndNoServerStarts) {
    using Open = void* (*)(const char*, int, int*, ...);
    using Close = int (*)(void*);
    const auto open = reinterpret_cast<Open>(dlsym(RTLD_DEFAULT, "jack_client_open"));
    const auto close = reinterpret_cast<Close>(dlsym(RTLD_DEFAULT, "jack_client_close"));
    if (open == nullptr || close == nullptr) GTEST_SKIP() << "PortAudio was built without JACK";
    RouteSoundSystemMessages();
    ShowSoundSystemMessages(false);
    int status = 0;
    testing::internal::CaptureStderr();
    void* client = open("fim_log_test", 0, &status);
    const std::string err = testing::internal::GetCapturedStderr();
    if (client != nullptr) {
        close(client);
        GTEST_SKIP() << "a JACK server runs here";
    }
    EXPECT_EQ(err, "");
    EXPECT_TRUE(Logged("JACK: "));
}

}  // namespace
}  // namespace fim
