#pragma once
// The catalog's rows: index, English text, German text (entry N of both lists is the same
// message). Rows are in ascending index order; indices without a row stay empty in both lists.

namespace fim {

struct CatalogRow {
    int index;
    const char* english;
    const char* german;
};

extern const CatalogRow kCatalogRows[];
extern const int kCatalogRowCount;

}  // namespace fim
