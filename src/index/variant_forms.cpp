// The variant forms of a keyword string: every way of writing it with the members of its units'
// variant groups. The search and composition need no forms: they look a character up under its
// group's slot (index_search.cpp, hit_finder.h); the forms are for whoever wants them listed.
#include <algorithm>
#include <cstdint>

#include "index/index.h"

namespace kolva {

namespace {

// At most this many forms are produced for one keyword string, and at most this many units in
// all forms together: every keyword up to 512 units may have 1,024 forms, while one pasted
// keyword of 100,000 units keeps only a few.
constexpr size_t kMaxVariantForms = 1024;
constexpr size_t kMaxVariantUnits = kMaxVariantForms * 512;

}  // namespace

VariantGroup CIndex::GetVariantForms(char16_t unit) const {
    // Only the low 16 bits of a member are compared (and later written): a keyword's surrogate
    // pair is widened as two separate units.
    const int64_t g = FirstGroupOf(m_groupOfUnit, unit);
    return g < 0 ? VariantGroup{unit} : m_variantGroups[size_t(g)];
}

void CIndex::ExpandVariants(std::u16string_view keywords,
                            std::vector<std::u16string>& forms) const {
    // The keyword string ends at its first NUL, as the search takes it.
    keywords = keywords.substr(0, keywords.find(u'\0'));

    // One choice list per unit. The number of forms is the product of the lists' sizes, so it is
    // bounded: a unit keeps its whole group while the running product P stays within the bound;
    // the first unit whose group would push P over the bound, and every unit after it, keeps
    // only itself. The keyword as typed thus always stays one of the forms, and below the bound
    // nothing changes.
    const size_t maxForms = std::clamp<size_t>(
        kMaxVariantUnits / std::max<size_t>(keywords.size(), 1), 1, kMaxVariantForms);
    std::vector<VariantGroup> choices;
    choices.reserve(keywords.size());
    size_t product = 1;
    bool bounded = false;
    for (char16_t unit : keywords) {
        VariantGroup group = GetVariantForms(unit);
        if (!bounded && product * group.size() <= maxForms) {
            product *= group.size();
            choices.push_back(std::move(group));
        } else {
            bounded = true;
            choices.push_back(VariantGroup{unit});
        }
    }

    // Depth first: the first unit's choice changes slowest, each list walked in group order.
    forms.clear();
    forms.reserve(product);
    std::vector<size_t> pick(choices.size(), 0);
    std::u16string form(keywords.size(), u'\0');
    while (true) {
        // A member whose low 16 bits are 0 gives the unit U+0000, which stays inside the form.
        for (size_t i = 0; i < choices.size(); ++i) form[i] = char16_t(choices[i][pick[i]] & 0xFFFF);
        forms.push_back(form);
        size_t i = choices.size();
        while (i > 0 && ++pick[i - 1] == choices[i - 1].size()) pick[--i] = 0;
        if (i == 0) break;
    }
}

}  // namespace kolva
