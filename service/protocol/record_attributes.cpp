#include "service/protocol/record_attributes.h"

#include <algorithm>

#include "service/protocol/utf16.h"

namespace MapsService {

namespace {

// The offset and length of the text inside its quotes.
std::pair<std::size_t, std::size_t> unquoted(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(L'"');
    if (first == std::wstring_view::npos) {
        return {0, 0};
    }
    return {first, text.find_last_not_of(L'"') + 1 - first};
}

}  // namespace

RecordAttributes::RecordAttributes(
    std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> entries) {
    for (const auto& [name, value] : entries) {
        set(name, value);
    }
}

std::size_t RecordAttributes::lower_bound(std::wstring_view name) const {
    const auto at = std::lower_bound(m_slots.begin(), m_slots.end(), name,
                                     [this](const Slot& slot, std::wstring_view key) {
                                         return text(slot.nameOffset, slot.nameLength) < key;
                                     });
    return static_cast<std::size_t>(at - m_slots.begin());
}

void RecordAttributes::place(Slot slot) {
    // Writers send attributes in name order: most land at the end.
    if (m_slots.empty() || text(m_slots.back().nameOffset, m_slots.back().nameLength) <
                               text(slot.nameOffset, slot.nameLength)) {
        m_slots.push_back(slot);
        return;
    }
    const auto at = m_slots.begin() + static_cast<std::ptrdiff_t>(
                                          lower_bound(text(slot.nameOffset, slot.nameLength)));
    if (at != m_slots.end() &&
        text(at->nameOffset, at->nameLength) == text(slot.nameOffset, slot.nameLength)) {
        // The old texts stay in the buffer unused; replacing is rare.
        at->valueOffset = slot.valueOffset;
        at->valueLength = slot.valueLength;
        return;
    }
    m_slots.insert(at, slot);
}

void RecordAttributes::set(std::wstring_view name, std::wstring_view value) {
    Slot slot{};
    slot.nameOffset = static_cast<std::uint32_t>(m_text.size());
    slot.nameLength = static_cast<std::uint32_t>(name.size());
    m_text.append(name);
    slot.valueOffset = static_cast<std::uint32_t>(m_text.size());
    slot.valueLength = static_cast<std::uint32_t>(value.size());
    m_text.append(value);
    place(slot);
}

void RecordAttributes::set_utf16le(const std::uint8_t* name, std::size_t nameUnits,
                                   const std::uint8_t* value, std::size_t valueUnits) {
    const std::size_t start = m_text.size();
    append_utf16le(m_text, name, nameUnits);
    const std::size_t valueStart = m_text.size();
    append_utf16le(m_text, value, valueUnits);
    const std::wstring_view all(m_text);
    const std::wstring_view nameText = all.substr(start, valueStart - start);
    const std::wstring_view valueText = all.substr(valueStart);
    if (nameText.empty() || valueText.empty()) {
        m_text.resize(start);
        return;
    }
    const auto [nameSkip, nameLength] = unquoted(nameText);
    const auto [valueSkip, valueLength] = unquoted(valueText);
    place(Slot{static_cast<std::uint32_t>(start + nameSkip), static_cast<std::uint32_t>(nameLength),
               static_cast<std::uint32_t>(valueStart + valueSkip),
               static_cast<std::uint32_t>(valueLength)});
}

std::optional<std::wstring_view> RecordAttributes::find(std::wstring_view name) const {
    const std::size_t at = lower_bound(name);
    if (at == m_slots.size() || text(m_slots[at].nameOffset, m_slots[at].nameLength) != name) {
        return std::nullopt;
    }
    return text(m_slots[at].valueOffset, m_slots[at].valueLength);
}

std::wstring RecordAttributes::value(std::wstring_view name) const {
    return std::wstring(find(name).value_or(std::wstring_view()));
}

RecordAttributes::Entry RecordAttributes::entry(std::size_t index) const {
    const Slot& slot = m_slots[index];
    return {text(slot.nameOffset, slot.nameLength), text(slot.valueOffset, slot.valueLength)};
}

void RecordAttributes::reserve(std::size_t attributes, std::size_t characters) {
    m_slots.reserve(attributes);
    m_text.reserve(characters);
}

bool RecordAttributes::operator==(const RecordAttributes& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
}

}  // namespace MapsService
