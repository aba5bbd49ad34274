#include "catalogue/query.h"

namespace kolva {

bool OpenIndex(CIndex& index, const std::filesystem::path& folder, SearchTarget target) {
    return index.Open(folder, kIndexBaseName, IndexModeOf(target));
}

void RunSearch(CIndex& index, std::u16string& keywords, SearchMethod method, bool variant) {
    if (method == SearchMethod::kOr)
        index.SearchOr(keywords, variant);
    else
        index.SearchAnd(keywords, variant);
}

}  // namespace kolva
