// UTF-16 to code points and UTF-16 to UTF-8. Keywords and composed text are UTF-16 inside the
// program; stored pages and the page handed to the reading view are UTF-8. Both routines are
// stateless and touch nothing but their arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/utf16.h"

namespace kolva {

// How an unpaired surrogate is treated.
enum ConversionMode {
    kConvertStrict = 0,   // stops the conversion with kSourceIllegal
    kConvertLenient = 1,  // passes through as a character of its own value
};

// The result of both routines.
enum ConversionResult {
    kConversionOk = 0,       // all input converted
    kSourceExhausted = 1,    // the input ends with a high surrogate
    kTargetExhausted = 2,    // no room for the next code point (DecodeUtf16Units only)
    kSourceIllegal = 3,      // an unpaired surrogate in strict mode
};

// Decodes units from [source, sourceEnd) into [target, targetEnd). On return source and target
// point just past what was converted; a unit that could not be converted is left unread.
int DecodeUtf16Units(const char16_t*& source, const char16_t* sourceEnd, uint32_t*& target,
                     uint32_t* targetEnd, int mode);

// Appends the UTF-8 form of source to target. What was converted before a stop stays appended.
int AppendUtf8(std::u16string_view source, std::string& target, int mode);

// UTF-16 as UTF-8 (AppendUtf8, lenient): an unpaired surrogate written as its three-byte form, a
// high surrogate at the very end left out.
std::string ToUtf8(std::u16string_view text);

}  // namespace kolva
