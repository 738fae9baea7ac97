#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/FatalMemory.h"
#include "base/Catalog.h"
#include "base/Prompter.h"

namespace fim {
namespace {

// Fails the allocation of one tag; every other buffer comes from calloc.
SharedBuffers::Allocator FailingAt(const char* failTag) {
    return [failTag](std::size_t bytes, const char* tag) -> void* {
        if (std::strcmp(tag, failTag) == 0) return nullptr;
        return std::calloc(bytes, 1);
    };
}

// Writes what the box would show to stderr, so a death test can see the box came before the exit.
class StderrPrompter : public Prompter {
  public:
    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) override {
        std::fprintf(stderr, "BOX[%s] stop=%d ok=%d first=%s\n", caption.c_str(),
                     icon == PromptIcon::Stop, buttons == PromptButtons::Ok,
                     text.substr(0, text.find('\r')).c_str());
        return PromptAnswer::Ok;
    }
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
};

TEST(FatalMemoryDeathTest, ConsoleHandlerPrintsCaptionMessageAndEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SharedBuffers buffers;
            buffers.Allocate(FailingAt("AVL"), FatalMemoryHandler());
            std::fputs("returned from the fatal handler\n", stderr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(kFatalMemoryExitStatus),
        "Alloc AVL: Sorry to report a serious memory error\\.\n.*support@brevik-audio\\.example\n"
        "Program will shut down\\.\nMEMORY ERROR");
}

TEST(FatalMemoryDeathTest, PrompterShowsTheStopBoxBeforeTheExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StderrPrompter prompter;
            SharedBuffers buffers;
            buffers.Allocate(FailingAt("PLD"), FatalMemoryHandler(&prompter));
            std::exit(0);
        },
        ::testing::ExitedWithCode(kFatalMemoryExitStatus),
        "BOX\\[Alloc PLD \\] stop=1 ok=1 first=Sorry to report a serious memory error\\.\n"
        "MEMORY ERROR");
}

TEST(FatalMemoryDeathTest, TextFollowsTheSelectedLanguage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SelectLanguage(true);
            FatalMemoryError("Alloc PLI", nullptr);
        },
        ::testing::ExitedWithCode(kFatalMemoryExitStatus),
        "Alloc PLI: Entschuldigung, es gibt ein Speicherproblem\\.\n.*Das Programm wird beendet\n"
        "MEMORY ERROR");
}

}  // namespace
}  // namespace fim
