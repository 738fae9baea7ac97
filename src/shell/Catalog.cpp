#include "shell/Catalog.h"

#include <array>
#include <cstdio>

#include "shell/CatalogTexts.h"

namespace fim {

namespace {

struct Catalog {
    std::array<std::string, kCatalogSize> english;
    std::array<std::string, kCatalogSize> german;
    Language active = Language::English;
    std::string helpFile = "Mive.hlp";

    Catalog() {
        for (int i = 0; i < kCatalogSize; ++i) {
            english[i] = kEnglishTexts[i] ? kEnglishTexts[i] : "";
            german[i] = kGermanTexts[i] ? kGermanTexts[i] : "";
        }
    }
};

Catalog& TheCatalog() {
    static Catalog catalog;
    return catalog;
}

}  // namespace

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

}  // namespace fim
