#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Catalog.h"
#include "base/CatalogTexts.h"

namespace fim {
namespace {

// Decodes UTF-8 strictly (no overlong forms, no surrogates); nullopt on any malformed sequence.
std::optional<std::vector<char32_t>> DecodeUtf8(const std::string& s) {
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (extra > 0 && i + extra >= s.size()) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (extra > 0 && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
            return std::nullopt;
        }
        out.push_back(cp);
        i += 1 + extra;
    }
    return out;
}

bool IsLatin1Letter(char32_t c) { return c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7; }
bool IsLower(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7); }
bool HasLetter(const std::vector<char32_t>& t) {
    return std::any_of(t.begin(), t.end(), [](char32_t c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsLatin1Letter(c);
    });
}

// Restores English after a test that switches the language.
class CatalogLanguage : public ::testing::Test {
  protected:
    void TearDown() override { SelectLanguage(false); }
};

TEST_F(CatalogLanguage, PrimaryLanguageSevenIsGermanWhateverTheSubLanguage) {
    for (unsigned id : {0x0407u, 0x0807u, 0x0C07u, 0x1007u, 0x1407u}) {
        EXPECT_TRUE(IsGermanLanguageId(id)) << std::hex << id;
    }
    // A whole keyboard-layout handle: only its low word's low 10 bits count.
    EXPECT_TRUE(IsGermanLanguageId(0x04070407u));
    for (unsigned id : {0x0409u, 0x040Cu, 0x0809u, 0x0000u, 0x0107u, 0x0406u, 0x0417u}) {
        EXPECT_FALSE(IsGermanLanguageId(id)) << std::hex << id;
    }
}

TEST_F(CatalogLanguage, SelectionSwitchesEveryTextAndTheHelpFile) {
    BuildCatalog();
    SelectLanguage(true);
    EXPECT_EQ(ActiveLanguage(), Language::German);
    EXPECT_EQ(HelpFileName(), "Miv.hlp");
    for (int i = 0; i < kCatalogSize; ++i) {
        ASSERT_EQ(Msg(i), CatalogText(Language::German, i)) << i;
    }
    EXPECT_EQ(Msg(258), "GERING");

    SelectLanguage(false);
    EXPECT_EQ(ActiveLanguage(), Language::English);
    EXPECT_EQ(HelpFileName(), "Mive.hlp");
    for (int i = 0; i < kCatalogSize; ++i) {
        ASSERT_EQ(Msg(i), CatalogText(Language::English, i)) << i;
    }
    EXPECT_EQ(Msg(258), "LOW");
}

TEST(Catalog, RowsAreInRangeAscendingAndUnique) {
    int previous = -1;
    for (int r = 0; r < kCatalogRowCount; ++r) {
        const CatalogRow& row = kCatalogRows[r];
        EXPECT_GT(row.index, previous) << "row " << r;
        EXPECT_LT(row.index, kCatalogSize);
        ASSERT_NE(row.english, nullptr);
        ASSERT_NE(row.german, nullptr);
        previous = row.index;
    }
}

TEST(Catalog, SkippedIndicesAreEmptyAndEveryOtherHasBothLanguages) {
    const std::set<int> skipped = {1, 2, 3, 20, 21, 47, 75, 76, 77, 148, 149, 237};
    int filled = 0;
    for (int i = 0; i < kCatalogSize; ++i) {
        const std::string& en = CatalogText(Language::English, i);
        const std::string& de = CatalogText(Language::German, i);
        if (skipped.count(i)) {
            EXPECT_TRUE(en.empty()) << i;
            EXPECT_TRUE(de.empty()) << i;
        } else {
            EXPECT_FALSE(en.empty()) << i;
            EXPECT_FALSE(de.empty()) << i;
            ++filled;
        }
    }
    EXPECT_EQ(filled, 318);
    // Out-of-range indices give an empty text rather than reading past the lists.
    EXPECT_TRUE(CatalogText(Language::English, -1).empty());
    EXPECT_TRUE(CatalogText(Language::German, kCatalogSize).empty());
}

TEST(Catalog, TextsAreUtf8WithOnlyLatin1LettersAndCarriageReturnBreaks) {
    for (Language lang : {Language::English, Language::German}) {
        for (int i = 0; i < kCatalogSize; ++i) {
            const auto decoded = DecodeUtf8(CatalogText(lang, i));
            ASSERT_TRUE(decoded.has_value()) << i;
            for (char32_t c : *decoded) {
                const bool ok = c == '\r' || (c >= 0x20 && c < 0x7F) || IsLatin1Letter(c);
                EXPECT_TRUE(ok) << "message " << i << " has U+" << std::hex
                                << static_cast<unsigned>(c);
            }
        }
    }
}

// Callers join fragments with values: the German text must keep the joints of the English one,
// its line breaks and its menu accelerators.
TEST(Catalog, GermanKeepsTheFormCallersRelyOn) {
    for (int i = 0; i < kCatalogSize; ++i) {
        const std::string& en = CatalogText(Language::English, i);
        const std::string& de = CatalogText(Language::German, i);
        if (en.empty()) continue;
        EXPECT_EQ(en.back() == ' ', de.back() == ' ') << i << " \"" << de << '"';
        EXPECT_EQ(en.front() == ' ', de.front() == ' ') << i;
        EXPECT_EQ(en.front() == '\r', de.front() == '\r') << i;
        EXPECT_EQ(std::count(en.begin(), en.end(), '\r'), std::count(de.begin(), de.end(), '\r'))
            << i;
        EXPECT_EQ(std::count(en.begin(), en.end(), '&'), std::count(de.begin(), de.end(), '&'))
            << i;
    }
}

TEST(Catalog, UpperCaseEnglishStaysUpperCaseInGerman) {
    // Rows whose German form is deliberately mixed case.
    const std::set<int> mixed = {103, 104, 269, 270};
    for (int i = 0; i < kCatalogSize; ++i) {
        const auto en = *DecodeUtf8(CatalogText(Language::English, i));
        const auto de = *DecodeUtf8(CatalogText(Language::German, i));
        if (!HasLetter(en) || std::any_of(en.begin(), en.end(), IsLower) || mixed.count(i)) {
            continue;
        }
        EXPECT_FALSE(std::any_of(de.begin(), de.end(), IsLower))
            << "message " << i << ": " << CatalogText(Language::German, i);
    }
}

TEST(Catalog, RowsWhoseExactFormMatters) {
    EXPECT_EQ(CatalogText(Language::English, 269), "ABSOLUTE WINDOW");
    EXPECT_EQ(CatalogText(Language::English, 270), "ABSOLUTE WINDOW");
    EXPECT_EQ(CatalogText(Language::German, 269), "Absolute Grenzen anwenden");
    EXPECT_EQ(CatalogText(Language::German, 270), "Absolute Grenze");
    EXPECT_EQ(CatalogText(Language::German, 8),
              "EINGANG \u00DCBERSTEUERT, BITTE DEN PEGEL REDUZIEREN\rSPITZENPEGEL: ");
    EXPECT_EQ(CatalogText(Language::German, 312), "MIV FFT Ausdruck vom:  ");
    EXPECT_EQ(CatalogText(Language::English, 44), CatalogText(Language::German, 44));
    EXPECT_EQ(CatalogText(Language::English, 223), "Invert main trace");
    EXPECT_EQ(CatalogText(Language::German, 223), "Hauptkurve invertieren");
}

TEST(Catalog, MemoryErrorAndBitDepthNotesNameTheSupportAddress) {
    const std::string address = "support@brevik-audio.example";
    for (Language lang : {Language::English, Language::German}) {
        const std::string& m25 = CatalogText(lang, 25);
        // Three lines: the apology, the request naming the address, the shutdown notice.
        const auto first = m25.find('\r');
        const auto second = m25.find('\r', first + 1);
        ASSERT_NE(second, std::string::npos);
        EXPECT_EQ(m25.find('\r', second + 1), std::string::npos);
        const std::string middle = m25.substr(first + 1, second - first - 1);
        EXPECT_NE(middle.find(address), std::string::npos);
        EXPECT_NE(CatalogText(lang, 329).find(address), std::string::npos);
    }
    EXPECT_EQ(
        CatalogText(Language::English, 25).rfind("Sorry to report a serious memory error.\r", 0),
        0u);
    EXPECT_TRUE(CatalogText(Language::English, 25).ends_with("\rProgram will shut down."));
    EXPECT_EQ(CatalogText(Language::German, 25)
                  .rfind("Entschuldigung, es gibt ein Speicherproblem.\r", 0),
              0u);
    EXPECT_TRUE(CatalogText(Language::German, 25).ends_with("\rDas Programm wird beendet"));
}

TEST(CatalogDate, MessagePatternInBothLanguages) {
    const std::string& en = CatalogText(Language::English, 311);
    const std::string& de = CatalogText(Language::German, 311);
    EXPECT_EQ(FormatDatePattern(en, Language::English, 2001, 3, 5, 14, 7),
              "Mar/05/2001 time: 14:07");
    EXPECT_EQ(FormatDatePattern(de, Language::German, 2001, 3, 5, 14, 7),
              "05/M\u00E4rz/2001 Um: 14:07");
    // Midnight and single-digit fields are zero-padded; the last month of the year.
    EXPECT_EQ(FormatDatePattern(en, Language::English, 1999, 12, 31, 0, 0),
              "Dec/31/1999 time: 00:00");
    EXPECT_EQ(FormatDatePattern(de, Language::German, 2026, 10, 1, 9, 5),
              "01/Oktober/2026 Um: 09:05");
}

TEST(CatalogDate, PatternTokens) {
    EXPECT_EQ(FormatDatePattern("mmm", Language::German, 2001, 3, 1, 0, 0), "M\u00E4r");
    EXPECT_EQ(FormatDatePattern("mmmm", Language::English, 2001, 5, 1, 0, 0), "May");
    EXPECT_EQ(FormatDatePattern("mm.yy", Language::English, 2001, 5, 1, 0, 0), "05.01");
    // Quoted text is copied as it stands, even when it holds pattern letters.
    EXPECT_EQ(FormatDatePattern("'dd mm' dd", Language::English, 2001, 5, 7, 0, 0), "dd mm 07");
    // An unterminated quote copies the rest rather than reading past the pattern.
    EXPECT_EQ(FormatDatePattern("hh'h", Language::English, 2001, 5, 7, 8, 0), "08h");
    // A month outside 1 … 12 gives no name instead of indexing past the table.
    EXPECT_EQ(FormatDatePattern("mmm-yyyy", Language::English, 2001, 13, 7, 8, 0), "-2001");
}

}  // namespace
}  // namespace fim
