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
#include "auxwindows/ui/TimeLevelPainter.h"
#include "cli/ArgReader.h"
#include "cli/Commands.h"
#include "finder/WindowTable.h"
#include "shell/Catalog.h"
#include "spectrum/FftEngine.h"
#include "spectrum/TimeWindow.h"

namespace fim::cli {

namespace {

constexpr int kWidth = 517;
constexpr int kHeight = 247;

int Refuse(const std::string& text) {
    std::fprintf(stderr, "fimtool tld: %s\n", text.c_str());
    return 1;
}

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
    ArgReader a(args, {"--in", "--png", "--start"}, {});
    int64_t start = a.Int("--start", 0, 1, 262144);
    if (!a.Ok()) return Refuse(Msg(78) + ": " + a.Error());
    const std::string in = a.Text("--in");
    const std::string png = a.Text("--png");
    if (in.empty() || png.empty()) return Refuse(Msg(78) + ": --in IR.mtf --png OUT.png");
    if (Extension(in) != "mtf") return Refuse(Msg(78) + ": " + in);

    TimeFileData data;
    const TimeFileStatus status = ReadTimeFile(in, data);
    if (status != TimeFileStatus::Ok) {
        return Refuse(std::string(TimeFileStatusText(status)) + ": " + in);
    }
    if (start == 0) start = DefaultStart(data);

    WindowTable window;
    FftEngine engine;
    LevelMatrix matrix;
    if (!ComputeLevels(TflSettings{}, data.samples, start, window, engine, matrix)) {
        return Refuse(Msg(78));
    }
    const QImage image = TimeLevelImage(matrix, kWidth, kHeight);
    // The PNG replaces an existing file only when it is complete.
    QSaveFile file(QString::fromStdString(png));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        return Refuse(Msg(39) + ": " + png);
    }
    return 0;
}

}  // namespace fim::cli
