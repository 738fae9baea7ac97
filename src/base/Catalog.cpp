// src/base/: what every subsystem uses. The message catalog (English and German texts by index),
// the Prompter through which every message box and file dialog goes, the SettingsTree and its
// in-memory and QSettings implementations, atomic file writes, byte reading, the file messages,
// recent-file lists and colour values. It includes nothing of the other folders.

#include "base/Catalog.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/CatalogTexts.h"

namespace fim {

namespace {

struct Catalog {
    std::array<std::string, kCatalogSize> english;
    std::array<std::string, kCatalogSize> german;
    Language active = Language::English;
    std::string helpFile = "Mive.hlp";

    Catalog() {
        for (int r = 0; r < kCatalogRowCount; ++r) {
            const CatalogRow& row = kCatalogRows[r];
            if (row.index < 0 || row.index >= kCatalogSize) continue;
            english[row.index] = row.english;
            german[row.index] = row.german;
        }
    }
};

Catalog& TheCatalog() {
    static Catalog catalog;
    return catalog;
}

constexpr std::array<const char*, 12> kEnglishMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 12> kGermanMonths = {
    "Januar", "Februar", "März",      "April",   "Mai",      "Juni",
    "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
// Abbreviations are not always the first three letters of the full name ("Mär" is three
// characters but four bytes in UTF-8), so they have their own table.
constexpr std::array<const char*, 12> kEnglishShortMonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kGermanShortMonths = {
    "Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};

std::string MonthName(Language language, int month, bool full) {
    if (month < 1 || month > 12) return {};
    const bool german = language == Language::German;
    const auto& table = full ? (german ? kGermanMonths : kEnglishMonths)
                             : (german ? kGermanShortMonths : kEnglishShortMonths);
    return table[static_cast<std::size_t>(month - 1)];
}

std::string Digits(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// Length of the run of `c` starting at pattern[i].
std::size_t RunLength(const std::string& pattern, std::size_t i, char c) {
    std::size_t n = 0;
    while (i + n < pattern.size() && (pattern[i + n] == c || pattern[i + n] == c - 'a' + 'A')) {
        ++n;
    }
    return n;
}

}  // namespace

void BuildCatalog() { (void)TheCatalog(); }

const std::string& CatalogText(Language language, int index) {
    static const std::string empty;
    if (index < 0 || index >= kCatalogSize) return empty;
    Catalog& c = TheCatalog();
    return language == Language::German ? c.german[index] : c.english[index];
}

const std::string& Msg(int index) { return CatalogText(TheCatalog().active, index); }

void SelectLanguage(bool german) {
    Catalog& c = TheCatalog();
    c.active = german ? Language::German : Language::English;
    c.helpFile = german ? "Miv.hlp" : "Mive.hlp";
}

Language ActiveLanguage() { return TheCatalog().active; }

const std::string& HelpFileName() { return TheCatalog().helpFile; }

bool IsGermanLanguageId(unsigned languageId) { return (languageId & 0x3FFu) == 7u; }

std::string FormatDatePattern(const std::string& pattern, Language language, int year, int month,
                              int day, int hour, int minute) {
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'' || c == '"') {
            // Quoted literal; an unterminated quote runs to the end of the pattern.
            const std::size_t close = pattern.find(c, i + 1);
            const std::size_t end = close == std::string::npos ? pattern.size() : close;
            out.append(pattern, i + 1, end - i - 1);
            i = end == pattern.size() ? end : end + 1;
            continue;
        }
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        std::size_t n = 0;
        switch (lower) {
            case 'y':
                n = RunLength(pattern, i, 'y');
                out += n >= 3 ? Digits(year, 4) : Digits(year % 100, 2);
                break;
            case 'm':
                n = RunLength(pattern, i, 'm');
                if (n >= 4) {
                    n = 4;
                    out += MonthName(language, month, true);
                } else if (n == 3) {
                    out += MonthName(language, month, false);
                } else {
                    out += Digits(month, static_cast<int>(n));
                }
                break;
            case 'd':
                n = std::min<std::size_t>(RunLength(pattern, i, 'd'), 2);
                out += Digits(day, static_cast<int>(n));
                break;
            case 'h':
                n = std::min<std::size_t>(RunLength(pattern, i, 'h'), 2);
                out += Digits(hour, static_cast<int>(n));
                break;
            case 'n':
                n = std::min<std::size_t>(RunLength(pattern, i, 'n'), 2);
                out += Digits(minute, static_cast<int>(n));
                break;
            default:
                n = 1;
                out += c;
                break;
        }
        i += n;
    }
    return out;
}

}  // namespace fim
