#include "audio/platform/SoundSystemLog.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#ifdef FIM_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace fim {

namespace {

constexpr std::size_t kKeptLines = 500;

std::mutex logMutex;
std::deque<std::string> logLines;
std::atomic<int> shown{-1};  // -1: not decided yet (the environment decides on first use)

#ifdef FIM_HAVE_ALSA
// ALSA's library messages, formatted as ALSA itself prints them.
void AlsaMessage(const char* file, int line, const char* function, int err, const char* fmt, ...) {
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::string entry = "ALSA lib " + std::string(file != nullptr ? file : "?") + ":" +
                        std::to_string(line) + ":(" + (function != nullptr ? function : "?") +
                        ") " + text;
    if (err != 0) entry += std::string(": ") + snd_strerror(err);
    LogSoundSystemMessage(entry);
}
#endif

void JackMessage(const char* text) { LogSoundSystemMessage(std::string("JACK: ") + text); }

// JACK is only there when PortAudio was built with it; its functions are looked up in the
// running process, so the program neither links JACK itself nor needs its headers.
void RouteJack() {
    using MessageFunction = void (*)(const char*);
    using Setter = void (*)(MessageFunction);
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (auto set = reinterpret_cast<Setter>(dlsym(RTLD_DEFAULT, name))) set(JackMessage);
    }
}

}  // namespace

void RouteSoundSystemMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A JACK client would otherwise try to start a JACK server when none runs.
        setenv("JACK_NO_START_SERVER", "1", 0);
#ifdef FIM_HAVE_ALSA
        snd_lib_error_set_handler(AlsaMessage);
#endif
        RouteJack();
    });
}

void ShowSoundSystemMessages(bool show) { shown = show ? 1 : 0; }

bool SoundSystemMessagesShown() {
    int s = shown.load();
    if (s < 0) {
        const char* env = std::getenv("FIM_DEBUG_AUDIO");
        s = env != nullptr && std::strcmp(env, "1") == 0 ? 1 : 0;
        int expected = -1;
        if (!shown.compare_exchange_strong(expected, s)) s = expected;
    }
    return s == 1;
}

void LogSoundSystemMessage(const std::string& line) {
    {
        std::lock_guard lock(logMutex);
        logLines.push_back(line);
        if (logLines.size() > kKeptLines) logLines.pop_front();
    }
    if (SoundSystemMessagesShown()) std::fprintf(stderr, "%s\n", line.c_str());
}

std::vector<std::string> SoundSystemMessages() {
    std::lock_guard lock(logMutex);
    return {logLines.begin(), logLines.end()};
}

}  // namespace fim
