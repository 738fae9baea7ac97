// fim_save_loop DIR [ROUNDS]: saves each kind of file the program writes, through the program's
// own writers, round after round with the round number as the new content, until killed (or
// after ROUNDS rounds). Every value in a file is its round number, so a reader can tell a
// complete file of some round from a torn one. The killed-save test runs and kills it.

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/TimeFile.h"
#include "settings/platform/QSettingsTree.h"
#include "spectrum/SpectrumFiles.h"
#include "traces/TraceFile.h"

using namespace fim;

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fim_save_loop DIR [ROUNDS]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const long rounds = argc > 2 ? std::atol(argv[2]) : -1;
    std::vector<double> samples(262144);
    std::vector<SpectrumRecord> bins(16384);
    std::vector<SmoothRecord> records(kSmoothRecords);
    SmoothSpectrum trace{};
    for (long round = 1; rounds < 0 || round <= rounds; ++round) {
        const double v = static_cast<double>(round);
        samples.assign(samples.size(), v);
        bins.assign(bins.size(), SpectrumRecord{v, v});
        for (int i = 0; i < kSmoothRecords; ++i) {
            records[i] = {50.0 + 100.0 * i, v, v};
            trace[static_cast<std::size_t>(i)] = records[i];
        }
        bool ok = WriteTimeFile(dir + "/room.mtf", 44100.0, samples.data(), samples.size()) &&
                  WriteFftSpectrumFile(dir + "/spectrum.mfr", v, 32768, 44100.0, bins.data()) &&
                  WriteSmoothSpectrumFile(dir + "/spectrum.smr", v, 44100.0, records.data()) &&
                  WriteTraceFile(dir + "/trace.trc", v, 44100.0, trace);
        QSettingsTree settings(QString::fromStdString(dir + "/settings.conf"));
        for (int i = 0; i < 200; ++i) {
            settings.WriteFloat("Value " + std::to_string(i), v);
        }
        ok = ok && settings.Flush();
        if (!ok) {
            std::fprintf(stderr, "fim_save_loop: round %ld failed\n", round);
            return 1;
        }
    }
    return 0;
}
