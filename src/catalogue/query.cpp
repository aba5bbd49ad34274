#include "catalogue/query.h"

namespace kolva {

bool OpenIndex(CIndex& index, const std::filesystem::path& folder, SearchTarget target) {
    return index.Open(folder, kIndexBaseName, IndexModeOf(target));
}

SearchResult RunSearch(CIndex& index, std::u16string_view keywords, SearchMethod method,
                       bool variant) {
    return method == SearchMethod::kOr ? index.SearchOr(keywords, variant)
                                       : index.SearchAnd(keywords, variant);
}

}  // namespace kolva
