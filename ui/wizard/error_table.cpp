#include "ui/wizard/error_table.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>

namespace atlasync::ui {

namespace {

// Codes 0 and 8 have no row; 6 and 7 have rows although the wizard treats them
// as success and never shows them.
constexpr std::array<ErrorRow, 33> kErrorTable = {{
    {1, 109, false},   {2, 110, true},    {3, 111, false},   {4, 112, true},    {5, 113, true},
    {6, 114, false},   {7, 115, false},   {9, 116, true},    {10, 117, false},  {11, 118, true},
    {12, 119, false},  {13, 120, true},   {14, 121, true},   {15, 132, true},   {16, 141, false},
    {17, 142, true},   {18, 143, true},   {19, 166, true},   {100, 146, false}, {101, 147, false},
    {102, 148, false}, {103, 149, false}, {104, 150, false}, {105, 151, false}, {106, 152, false},
    {107, 153, false}, {108, 154, false}, {109, 155, true},  {110, 156, false}, {111, 157, false},
    {112, 158, false}, {113, 159, false}, {114, 165, false},
}};

static_assert(std::is_sorted(kErrorTable.begin(), kErrorTable.end(),
                             [](const ErrorRow& a, const ErrorRow& b) { return a.code < b.code; }));

}  // namespace

const ErrorRow* find_error_row(MapsService::Result code) {
    const auto row =
        std::lower_bound(kErrorTable.begin(), kErrorTable.end(), code,
                         [](const ErrorRow& r, MapsService::Result c) { return r.code < c; });
    return row != kErrorTable.end() && row->code == code ? &*row : nullptr;
}

std::wstring error_text(MapsService::Result code) {
    const ErrorRow* row = find_error_row(code);
    const std::wstring number = std::to_wstring(code);
    return format_text(text(row != nullptr ? row->textId : kTextUnknownFailure), {number});
}

bool retryable(MapsService::Result code) {
    const ErrorRow* row = find_error_row(code);
    return row != nullptr && row->retryable;
}

}  // namespace atlasync::ui
