#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/ConsolePrompter.h"

namespace fim::cli {
namespace {

// Runs `fn` with a ConsolePrompter writing into a temporary file and returns what it printed.
template <typename Fn>
std::string Captured(Fn fn) {
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return {};
    ConsolePrompter prompter(f);
    fn(prompter);
    std::rewind(f);
    std::string out;
    char buf[256];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

TEST(ConsolePrompter, PrintsCaptionAndTextWithConsoleLineBreaks) {
    const std::string out = Captured([](ConsolePrompter& p) {
        p.Inform("Samplerate Problem:",
                 "Cal File recordet with: 48000\rMeasurement samplerate: "
                 "44100\r\nend");
        p.Ask("", "no caption", PromptButtons::Ok, PromptIcon::None);
    });
    EXPECT_EQ(out,
              "Samplerate Problem:: Cal File recordet with: 48000\nMeasurement samplerate: 44100\n"
              "end\nno caption\n");
}

TEST(ConsolePrompter, NeverAgreesToAnythingWithoutAPerson) {
    std::string out = Captured([](ConsolePrompter& p) {
        EXPECT_EQ(p.Ask("c", "t", PromptButtons::Ok, PromptIcon::Stop), PromptAnswer::Ok);
        EXPECT_EQ(p.Ask("c", "t", PromptButtons::OkCancel, PromptIcon::Question),
                  PromptAnswer::Cancel);
        EXPECT_EQ(p.Ask("c", "t", PromptButtons::YesNo, PromptIcon::Question), PromptAnswer::No);
        EXPECT_EQ(p.Ask("c", "t", PromptButtons::YesNoCancel, PromptIcon::Question),
                  PromptAnswer::Cancel);
        // A device failure box must not loop on Retry forever.
        EXPECT_EQ(p.Ask("c", "t", PromptButtons::RetryCancel, PromptIcon::Stop),
                  PromptAnswer::Cancel);
        EXPECT_EQ(p.Ask("c", "t", PromptButtons::AbortRetryIgnore, PromptIcon::Stop),
                  PromptAnswer::Abort);
        FileDialogRequest request;
        request.title = "Load time trace from:";
        EXPECT_FALSE(p.ChooseOpenFile(request).has_value());
        EXPECT_FALSE(p.ChooseSaveFile(request).has_value());
    });
    // Every box is printed; the file dialogs print nothing.
    EXPECT_EQ(out, "c: t\nc: t\nc: t\nc: t\nc: t\nc: t\n");
}

}  // namespace
}  // namespace fim::cli
