// A small catalogue shared by the catalogue and result-row tests.
#pragma once

#include <string>
#include <vector>

#include "writer/writer.h"

namespace kolva::test {

inline CatalogueEntry Entry(std::u16string name, int32_t level, int32_t docID, int32_t docNo,
                            uint16_t cur) {
    return CatalogueEntry{std::move(name), level, docID, docNo, cur};
}

// 唐詩 > 李白 > 巻一 (pages 0-9, numbered 1-10), 巻二 (10-19, numbered 1-10);
//        杜甫 > 巻一 (20-24, numbered 5-9); and 宋詞 > 蘇軾 (no volumes, page 25).
inline std::vector<CatalogueEntry> Sample() {
    return {Entry(u"唐詩", 1, 1, 25, 1), Entry(u"李白", 2, 1, 20, 1),  Entry(u"巻一", 3, 1, 10, 1),
            Entry(u"巻二", 3, 11, 10, 1), Entry(u"杜甫", 2, 21, 5, 5), Entry(u"巻一", 3, 21, 5, 5),
            Entry(u"宋詞", 1, 26, 1, 1),  Entry(u"蘇軾", 2, 26, 1, 1)};
}

}  // namespace kolva::test
