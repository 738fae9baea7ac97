// Replays the seed corpus of each file reader through its fuzz target in an ordinary build, so
// every input a fuzzer once broke a reader with (kept in fuzz/corpus/<reader>/ with its fix)
// stays fixed under the normal tests and the sanitizer build, without clang or libFuzzer.
//   fim_fuzz_replay READER CORPUS_FOLDER
// Each target's entry point is compiled under the name Fuzz_<reader> (see CMakeLists.txt).

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#define FIM_FUZZ_READERS(X) \
    X(time_file) X(wave) X(calibration) X(spectrum) X(smc) X(miccal_text) X(trace)

#define FIM_DECLARE(name) extern "C" int Fuzz_##name(const uint8_t* data, size_t size);
FIM_FUZZ_READERS(FIM_DECLARE)
#undef FIM_DECLARE

namespace {

struct Reader {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};

#define FIM_ENTRY(name) {#name, Fuzz_##name},
const Reader kReaders[] = {FIM_FUZZ_READERS(FIM_ENTRY)};
#undef FIM_ENTRY

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fim_fuzz_replay READER CORPUS_FOLDER\n");
        return 2;
    }
    const Reader* reader = nullptr;
    for (const Reader& r : kReaders) {
        if (std::strcmp(r.name, argv[1]) == 0) reader = &r;
    }
    if (reader == nullptr) {
        std::fprintf(stderr, "fim_fuzz_replay: no reader \"%s\"\n", argv[1]);
        return 2;
    }
    std::error_code ec;
    std::vector<std::filesystem::path> inputs;
    for (const auto& e : std::filesystem::directory_iterator(argv[2], ec)) {
        if (e.is_regular_file()) inputs.push_back(e.path());
    }
    if (ec || inputs.empty()) {
        std::fprintf(stderr, "fim_fuzz_replay: no inputs in %s\n", argv[2]);
        return 1;
    }
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        // A broken check aborts inside the target, naming the check; the input is named first.
        std::printf("%s\n", path.filename().c_str());
        std::fflush(stdout);
        reader->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
