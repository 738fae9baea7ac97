#include "shell/CatalogTexts.h"

namespace fim {

// Filled in index order; indices the catalog skips stay empty.
const char* const kEnglishTexts[330] = {
    "MLS based measurement tool for PA setup",
};

const char* const kGermanTexts[330] = {
    "MLS basiertes Messprogramm für PA Setup",
};

}  // namespace fim
