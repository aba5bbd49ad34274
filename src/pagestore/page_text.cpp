#include "pagestore/page_text.h"

namespace kolva {

void ReadPageBody(std::string_view page, int column, PageBody& body) {
    ParsePage(page, body.nodes);
    body.column = column == 1 ? 1 : 0;
    SplitFilterItems(body.nodes[size_t(body.column) + 1], body.items);
    body.chars.clear();
    for (size_t k = 0; k < body.items.size(); ++k)
        ForEachRunChar(body.items[k].text, [&](uint32_t offset, uint32_t length, char32_t c) {
            body.chars.push_back(BodyChar{c, uint32_t(k), offset, length});
        });
}

}  // namespace kolva
