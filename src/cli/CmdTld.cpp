// fimtool tld --in IR.mtf [--start S] --png OUT.png: the time-level diagram of an impulse
// response as a PNG heat map (517 × 247 pixels, the window's paint box).

#include <QImage>
#include <QSaveFile>
#include <QString>
#include <cmath>
#include <cstdio>
#include <string>

#include "audio/TimeFile.h"
#include "auxwindows/TimeLevelDiagram.h"
#include "auxwindows/ui/paint/TimeLevelPainter.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/FftEngine.h"
#include "finder/WindowTable.h"
#include "spectrum/TimeWindow.h"

namespace fim::cli {

namespace {

constexpr int kWidth = 517;
constexpr int kHeight = 247;

constexpr std::string_view kCommand = "tld";

// viewStart of the 10 ms window around the peak (largest absolute sample, 1-based).
int64_t DefaultStart(const TimeFileData& d) {
    std::size_t peak = 0;
    for (std::size_t i = 1; i < d.samples.size(); ++i) {
        if (std::fabs(d.samples[i]) > std::fabs(d.samples[peak])) peak = i;
    }
    const int64_t P = static_cast<int64_t>(peak) + 1;
    const int64_t before = TimeWindow::SamplesFor(TenMsWindow().timeBefore, d.sampleRate);
    return P > before ? P - before : 1;
}

}  // namespace

int RunTld(const Args& args) {
    CommandLine a("tld", "The time-level diagram of an impulse response as a PNG heat map.");
    a.Option("--in", "IR.mtf", "the impulse response")
        .Option("--start", "S", "first sample (default: 10 ms before the peak)")
        .Option("--png", "OUT.png", "the diagram");
    if (!a.Parse(args))
        return a.HelpShown() ? 0 : Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + a.Error());
    int64_t start = a.Int("--start", 0, 1, 262144);
    if (!a.Ok()) return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + a.Error());
    const std::string in = a.Text("--in");
    const std::string png = a.Text("--png");
    if (in.empty() || png.empty())
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --in IR.mtf --png OUT.png");
    if (Extension(in) != "mtf") return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + in);

    TimeFileData data;
    const TimeFileStatus status = ReadTimeFile(in, data);
    if (status != TimeFileStatus::Ok) {
        return Refuse(kCommand, std::string(TimeFileStatusText(status)) + ": " + in);
    }
    if (start == 0) start = DefaultStart(data);

    WindowTable window;
    FftEngine engine;
    LevelMatrix matrix;
    if (!ComputeLevels(TflSettings{}, data.samples, start, window, engine, matrix)) {
        return Refuse(kCommand, Msg(kMsgIllegalInput));
    }
    const QImage image = TimeLevelImage(matrix, kWidth, kHeight);
    // The PNG replaces an existing file only when it is complete.
    QSaveFile file(QString::fromStdString(png));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        return Refuse(kCommand, Msg(kMsgFileSaveError) + ": " + png);
    }
    return 0;
}

}  // namespace fim::cli
