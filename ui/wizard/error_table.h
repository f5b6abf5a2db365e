#pragma once

#include <string>

#include "service/core/result_codes.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

// One row of the error table: what the error page says about a result code and
// whether it offers "Try Again".
struct ErrorRow {
    MapsService::Result code;
    TextId textId;
    bool retryable;
};

// The row of a code; null for a code without a row.
const ErrorRow* find_error_row(MapsService::Result code);

// The row's text with %1 replaced by the code in decimal; text 122 for a code
// without a row.
std::wstring error_text(MapsService::Result code);
// The row's mark; false for a code without a row.
bool retryable(MapsService::Result code);

}  // namespace atlasync::ui
