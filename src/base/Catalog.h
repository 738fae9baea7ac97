#pragma once
// The message catalog: every text the program's logic puts on screen, by index 0 … 329, in
// English and German. Texts are UTF-8; a line break inside a text is "\r".

#include <string>

namespace fim {

constexpr int kCatalogSize = 330;

// The program's title: window captions, the application name and the about box.
constexpr const char* kApplicationTitle = "MIV V1.70";

enum class Language { English, German };

// Fills both lists from the constant texts. Lookups build it on first use as well; start-up calls
// it explicitly so the catalog exists before anything else runs.
void BuildCatalog();

// Entry `index` of the active list (English until SelectLanguage chooses German).
const std::string& Msg(int index);
// Entry `index` of a given list, whatever the active one.
const std::string& CatalogText(Language language, int index);

void SelectLanguage(bool german);
Language ActiveLanguage();
// "Miv.hlp" for German, "Mive.hlp" for English.
const std::string& HelpFileName();

// Primary language of a keyboard-layout/language identifier: the low 10 bits. German is 7.
bool IsGermanLanguageId(unsigned languageId);

// Formats a date and time with a pattern of message 311's kind: mmm (abbreviated month name),
// mmmm (full month name), dd, yyyy, hh, nn, and literal text in single quotes. Month names are
// in the given language.
std::string FormatDatePattern(const std::string& pattern, Language language, int year, int month,
                              int day, int hour, int minute);

}  // namespace fim
