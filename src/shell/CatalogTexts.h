#pragma once
// The two text lists of the catalog, index-aligned (entry N of both is the same message).

namespace fim {

extern const char* const kEnglishTexts[330];
extern const char* const kGermanTexts[330];

}  // namespace fim
