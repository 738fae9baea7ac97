#include <gtest/gtest.h>

#include "FileTestUtil.h"
#include "audio/RiffReader.h"
#include "audio/WaveFile.h"

namespace fim {
namespace {

using test::Bytes;

WaveStatus ReadBytes16(const Bytes& bytes, WaveData& out, uint64_t max = UINT64_MAX) {
    MemorySource src(bytes.data(), bytes.size());
    return ReadWave16(src, out, max);
}

TEST(WaveReadTest, MonoSixteenBitSamplesAndFormat) {
    const std::vector<int16_t> s = {0, 1, -1, 32767, -32768, 1234};
    const Bytes file = test::RiffWave({test::FmtChunk(1, 1, 48000, 16), test::DataChunk(s)});
    WaveData w;
    ASSERT_EQ(ReadBytes16(file, w), WaveStatus::Ok);
    EXPECT_EQ(w.format.channels, 1);
    EXPECT_EQ(w.format.sampleRate, 48000u);
    EXPECT_EQ(w.framesInFile, 6u);
    EXPECT_EQ(w.samples, s);
}

TEST(WaveReadTest, ChunksInAnyOrderWithOddPaddedChunkBetween) {
    // An odd-sized chunk is followed by a pad byte; "fmt " after "data" is still found.
    Bytes odd;
    test::PutId(odd, "LIST");
    test::Put32(odd, 5);
    test::PutId(odd, "INFO");
    odd.push_back('x');
    odd.push_back(0);  // pad
    const std::vector<int16_t> s = {7, -7, 300};
    const Bytes file = test::RiffWave({odd, test::DataChunk(s), test::FmtChunk(1, 1, 44100, 16)});
    WaveData w;
    ASSERT_EQ(ReadBytes16(file, w), WaveStatus::Ok);
    EXPECT_EQ(w.samples, s);
}

TEST(WaveReadTest, RefusalsReportTheirStatusAndCatalogCaption) {
    const std::vector<int16_t> s = {1, 2};
    struct Case {
        const char* name;
        Bytes file;
        WaveStatus status;
        int message;
    };
    Bytes notRiff = test::RiffWave({test::FmtChunk(1, 1, 44100, 16), test::DataChunk(s)});
    notRiff[8] = 'A';  // form "AAVE"
    Bytes shortFmt;
    test::PutId(shortFmt, "fmt ");
    test::Put32(shortFmt, 8);
    for (int i = 0; i < 8; ++i) shortFmt.push_back(1);
    const Case cases[] = {
        {"no RIFF form WAVE", notRiff, WaveStatus::NoWaveChunk, 26},
        {"empty file", {}, WaveStatus::NoWaveChunk, 26},
        {"no fmt", test::RiffWave({test::DataChunk(s)}), WaveStatus::NoFmtChunk, 27},
        {"fmt too short", test::RiffWave({shortFmt, test::DataChunk(s)}), WaveStatus::NoFmtChunk,
         27},
        {"no data", test::RiffWave({test::FmtChunk(1, 1, 44100, 16)}), WaveStatus::NoDataChunk, 28},
        {"compressed", test::RiffWave({test::FmtChunk(3, 1, 44100, 32), test::DataChunk(s)}),
         WaveStatus::NotPcm, 17},
        {"8 bit", test::RiffWave({test::FmtChunk(1, 1, 44100, 8), test::DataChunk(s)}),
         WaveStatus::Not16Bit, 19},
        {"zero channels", test::RiffWave({test::FmtChunk(1, 0, 44100, 16), test::DataChunk(s)}),
         WaveStatus::NoFmtChunk, 27},
    };
    for (const auto& c : cases) {
        WaveData w;
        w.samples = {42};
        EXPECT_EQ(ReadBytes16(c.file, w), c.status) << c.name;
        EXPECT_EQ(WaveStatusMessage(c.status), c.message) << c.name;
        EXPECT_EQ(w.samples, std::vector<int16_t>{42}) << c.name << ": output changed on refusal";
    }
}

TEST(WaveReadTest, DeclaredSizesBeyondTheFileAreCutAtItsEnd) {
    const std::vector<int16_t> s = {10, 20, 30, 40, 50};
    // Data chunk claims 1 MB and the RIFF chunk 2 GB; only the 5 samples exist, plus half a
    // sample that must not become a value.
    Bytes file = test::RiffWave({test::FmtChunk(1, 1, 44100, 16), test::DataChunk(s, 1u << 20)},
                                0x80000000u);
    file.push_back(0x11);
    WaveData w;
    ASSERT_EQ(ReadBytes16(file, w), WaveStatus::Ok);
    EXPECT_EQ(w.framesInFile, 5u);
    EXPECT_EQ(w.samples, s);
    // Every prefix of the file is either refused or read within its bytes (ASan watches).
    for (std::size_t n = 0; n < file.size(); ++n) {
        Bytes cut(file.begin(), file.begin() + static_cast<long>(n));
        cut.shrink_to_fit();
        WaveData p;
        if (ReadBytes16(cut, p) == WaveStatus::Ok) {
            EXPECT_LE(p.samples.size() * 2 + 44, n);
        }
    }
}

TEST(WaveReadTest, StereoFramesAndPartialReadsFromAnOffset) {
    std::vector<int16_t> s;
    for (int i = 0; i < 20; ++i) s.push_back(static_cast<int16_t>(i * (i % 2 ? -1 : 1)));
    const Bytes file = test::RiffWave({test::FmtChunk(1, 2, 44100, 16), test::DataChunk(s)});
    MemorySource src(file.data(), file.size());
    WaveReader r;
    ASSERT_EQ(r.Open(src), WaveStatus::Ok);
    EXPECT_EQ(r.FrameCount(), 10u);
    int16_t out[8] = {};
    EXPECT_EQ(r.ReadFrames16(8, out, 4), 2u);  // only frames 8 and 9 exist
    EXPECT_EQ(out[0], 16);
    EXPECT_EQ(out[1], -17);
    EXPECT_EQ(out[3], -19);
    EXPECT_EQ(out[4], 0) << "written past the frames read";
    EXPECT_EQ(r.ReadFrames16(10, out, 1), 0u);
}

TEST(WaveReadTest, LongFileReadsUpToTheLimit) {
    std::vector<int16_t> s(300000);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(i * 7919u);
    const Bytes file = test::RiffWave({test::FmtChunk(1, 1, 44100, 16), test::DataChunk(s)});
    WaveData w;
    ASSERT_EQ(ReadBytes16(file, w, 262144), WaveStatus::Ok);
    EXPECT_EQ(w.framesInFile, 300000u);
    ASSERT_EQ(w.samples.size(), 262144u);
    EXPECT_EQ(w.samples[262143], s[262143]);
    EXPECT_EQ(w.samples[100000], s[100000]);
}

TEST(WaveReadTest, ExtensiblePcmIsPcmOtherSubformatsAreNot) {
    auto ext = [](uint16_t sub) {
        Bytes b;
        test::PutId(b, "fmt ");
        test::Put32(b, 40);
        test::Put16(b, 0xFFFE);
        test::Put16(b, 1);
        test::Put32(b, 44100);
        test::Put32(b, 88200);
        test::Put16(b, 2);
        test::Put16(b, 16);
        test::Put16(b, 22);
        test::Put16(b, 16);
        test::Put32(b, 4);
        const unsigned char guid[16] = {0,    0,    0,    0,    0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        test::Put16(b, sub);
        b.insert(b.end(), guid + 2, guid + 16);
        return b;
    };
    WaveData w;
    EXPECT_EQ(ReadBytes16(test::RiffWave({ext(1), test::DataChunk({5})}), w), WaveStatus::Ok);
    EXPECT_EQ(w.samples, std::vector<int16_t>{5});
    EXPECT_EQ(ReadBytes16(test::RiffWave({ext(3), test::DataChunk({5})}), w), WaveStatus::NotPcm);
}

TEST(WaveWriteTest, MonoHeaderIsTheCanonicalLayoutByteForByte) {
    test::TempDir dir;
    const std::string path = dir.File("a.wav");
    const int16_t s[3] = {1, -2, 0x1234};
    ASSERT_TRUE(WriteWave16(path, 44100, 1, s, 3));
    Bytes expect;
    test::PutId(expect, "RIFF");
    test::Put32(expect, 6 + 36);
    test::PutId(expect, "WAVE");
    test::PutId(expect, "fmt ");
    for (uint32_t v : {16u}) test::Put32(expect, v);
    test::Put16(expect, 1);
    test::Put16(expect, 1);
    test::Put32(expect, 44100);
    test::Put32(expect, 88200);
    test::Put16(expect, 2);
    test::Put16(expect, 16);
    test::PutId(expect, "data");
    test::Put32(expect, 6);
    for (int v : {0x01, 0x00, 0xFE, 0xFF, 0x34, 0x12})
        expect.push_back(static_cast<unsigned char>(v));
    EXPECT_EQ(test::ReadBytes(path), expect);
}

TEST(WaveWriteTest, StereoRoundTripAndBadLayoutsWriteNothing) {
    test::TempDir dir;
    const std::string path = dir.File("s.wav");
    std::vector<int16_t> s = {1, 2, 3, 4, -5, -6};
    ASSERT_TRUE(WriteWave16(path, 96000, 2, s.data(), 3));
    WaveData w;
    ASSERT_EQ(ReadWave16(path, w), WaveStatus::Ok);
    EXPECT_EQ(w.format.channels, 2);
    EXPECT_EQ(w.format.blockAlign, 4);
    EXPECT_EQ(w.format.byteRate, 384000u);
    EXPECT_EQ(w.samples, s);

    std::string error;
    EXPECT_FALSE(WriteWave16(path, 44100, 3, s.data(), 2, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteWave16(path, 0, 1, s.data(), 2));
    ASSERT_EQ(ReadWave16(path, w), WaveStatus::Ok);
    EXPECT_EQ(w.samples, s) << "a refused write changed the old file";
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(WaveReadTest, MissingFileCannotOpen) {
    test::TempDir dir;
    WaveData w;
    EXPECT_EQ(ReadWave16(dir.File("none.wav"), w), WaveStatus::CannotOpen);
    EXPECT_EQ(ReadWave16(dir.Path().string(), w), WaveStatus::CannotOpen);  // a folder
}

}  // namespace
}  // namespace fim
