// The variant table "yitizi.txt": plain 8-bit text, one group a line (LF, a CR before it allowed
// and kept), members as hexadecimal code points separated by ",", e.g. "4E07,842C\r\n".
// Empty lines and empty fields are skipped; a field is read as strtoul(field, 0, 16) reads it.
#include <algorithm>
#include <cstdint>

#include "index/index.h"
#include "platform/checksum.h"

namespace kolva {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// strtoul(field, nullptr, 16) with a 32-bit unsigned long: blanks, a sign, an optional 0x, hex
// digits up to the first other byte; 0 without digits; an overflow gives 0xFFFFFFFF.
uint32_t ParseHexField(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    if (i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        HexDigit(field[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    bool overflow = false;
    for (; i < field.size() && HexDigit(field[i]) >= 0; ++i) {
        value = value * 16 + uint64_t(HexDigit(field[i]));
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
    }
    if (overflow) return UINT32_MAX;
    return negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
}

// Calls f for every maximal run of bytes in text without sep.
template <typename F>
void ForEachPiece(std::string_view text, char sep, F&& f) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(sep, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) f(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

std::vector<VariantGroup> ParseVariantTable(std::string_view bytes, size_t limit) {
    std::vector<VariantGroup> groups;
    // Room for every line at once: a table grown a group at a time would take (and clear) new
    // memory at each doubling, which is what opening a collection pays most for.
    groups.reserve(std::min<size_t>(size_t(std::count(bytes.begin(), bytes.end(), '\n')) + 1, limit));
    ForEachPiece(bytes, '\n', [&](std::string_view line) {
        if (groups.size() >= limit) return;
        VariantGroup group;
        ForEachPiece(line, ',', [&](std::string_view field) {
            group.push_back(ParseHexField(field));
        });
        groups.push_back(std::move(group));
    });
    return groups;
}

void CIndex::LoadVariantTable(const std::filesystem::path& folder) {
    ++m_generation;
    m_variantGroups.clear();
    m_variantTableSize = kNoFile;
    m_variantTableChecksum = 0;
    std::string bytes;
    if (ReadWholeFile(folder / "yitizi.txt", bytes)) {
        m_variantGroups = ParseVariantTable(bytes);
        m_variantTableSize = bytes.size();
        m_variantTableChecksum = Checksum64(bytes.data(), bytes.size());
    }
    IndexVariantGroups();
}

void CIndex::IndexVariantGroups() {
    m_groupOfMember.clear();
    m_groupOfUnit.clear();
    size_t members = 0;
    for (const VariantGroup& group : m_variantGroups) members += group.size();
    m_groupOfMember.reserve(members);
    m_groupOfUnit.reserve(members);
    for (size_t g = 0; g < m_variantGroups.size(); ++g) {
        for (uint32_t member : m_variantGroups[g]) {
            m_groupOfMember.emplace_back(member, uint32_t(g));
            m_groupOfUnit.emplace_back(member & 0xFFFF, uint32_t(g));
        }
    }
    // Sorted by member, then group: the first entry of a member names the first group holding it.
    std::sort(m_groupOfMember.begin(), m_groupOfMember.end());
    std::sort(m_groupOfUnit.begin(), m_groupOfUnit.end());
}

int64_t CIndex::FirstGroupOf(const std::vector<std::pair<uint32_t, uint32_t>>& groupOf,
                             uint32_t key) {
    const auto at = std::lower_bound(groupOf.begin(), groupOf.end(), std::make_pair(key, 0u));
    return at != groupOf.end() && at->first == key ? int64_t(at->second) : -1;
}

bool CIndex::FindVariantSlot(uint32_t codePoint, int32_t& slot) const {
    const int64_t g = FirstGroupOf(m_groupOfMember, codePoint);
    if (g < 0) return false;
    slot = kVariantSlotBase + int32_t(g);
    return true;
}

}  // namespace kolva
