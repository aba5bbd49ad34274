#include "pagestore/compose.h"

#include "pagestore/filelist.h"
#include "pagestore/hitmark.h"

namespace kolva {

int ComposeMarkedPage(const PageBody& body, int target, const PageHits& hits, std::string& html) {
    const std::vector<HTMLNode>& nodes = body.nodes;
    const std::string& cell = nodes[size_t(body.column) + 1].text;
    // The marked cell is written straight into the page.
    html.reserve(html.size() + kFrameT1.size() + kFrameT2.size() + kFrameT3.size() +
                 kFrameT4.size() + nodes[0].text.size() + nodes[1].text.size() +
                 nodes[2].text.size() + cell.size() / 2 + hits.hits.size() * 64);
    html.append(kFrameT1).append(nodes[0].text).append(kFrameT2);
    int anchors = 0;
    if (body.column == 0) anchors = WriteMarkedBody(body, target, hits, html);
    else html.append(nodes[1].text);
    html.append(kFrameT3);
    if (body.column == 1) anchors = WriteMarkedBody(body, target, hits, html);
    else html.append(nodes[2].text);
    html.append(kFrameT4);
    return anchors;
}

int BodyColumn(int pageNumber) {
    // The mathematical remainder: an odd negative number is the second cell too.
    return pageNumber % 2 == 0 ? 0 : 1;
}

int CFileList::GetBodyColumn(int index) const {
    std::string name;
    int number = 0;
    return GetPageName(index, name) && PageNumberFromName(name, number) ? BodyColumn(number) : 0;
}

}  // namespace kolva
