// The variant table reader on an arbitrary "yitizi.txt", then the lookups of the search and the
// widening of an arbitrary keyword string.
//
// Input: variant table | rest: keywords (UTF-16)
#include <algorithm>

#include "fuzz_support.h"
#include "index/index.h"

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputReader in(data, size);
    const std::string_view table = in.Bytes();
    const std::u16string keywords = fuzz::InputReader::ToUtf16(in.Rest());
    const std::filesystem::path& folder = fuzz::WorkFolder();
    fuzz::WriteFile(folder / "yitizi.txt", table);

    CIndex index;
    index.LoadVariantTable(folder);
    fuzz::Check(index.GetVariantGroups() == ParseVariantTable(table));
    fuzz::Check(index.GetVariantGroups().size() <= size_t(kMaxVariantGroups));
    for (char16_t unit : keywords) {
        int32_t slot = -1;
        if (index.FindVariantSlot(unit, slot))
            fuzz::Check(slot >= kVariantSlotBase && slot < kSlotCount);
        else
            fuzz::Check(slot == -1);
        const VariantGroup forms = index.GetVariantForms(unit);
        fuzz::Check(std::any_of(forms.begin(), forms.end(),
                                [&](uint32_t m) { return char16_t(m & 0xFFFF) == unit; }));
    }
    std::vector<std::u16string> forms;
    index.ExpandVariants(keywords, forms);
    const std::u16string typed = keywords.substr(0, keywords.find(u'\0'));
    // Bounded, one unit per unit, and the keywords as typed among them.
    fuzz::Check(!forms.empty() && forms.size() <= 1024);
    for (const std::u16string& form : forms) fuzz::Check(form.size() == typed.size());
    fuzz::Check(std::find(forms.begin(), forms.end(), typed) != forms.end());
    return 0;
}
