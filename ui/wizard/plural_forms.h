#pragma once

#include <cstdint>

namespace atlasync::ui {

// Whether a count takes a text's form for one ("1 Minute") rather than its
// other form ("2 Minutes") in a language, a Windows-kind id (0 when not known).
// Most of our languages keep the form for one to 1 alone; French uses it for 0
// too.
bool takes_one_form(std::uint32_t languageId, std::uint64_t count);

}  // namespace atlasync::ui
