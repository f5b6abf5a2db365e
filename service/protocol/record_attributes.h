#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace MapsService {

// A catalog record's attributes, name -> value, in name order. All texts of a
// record share one buffer: a catalog page carries thousands of attributes, and
// one allocation per record instead of three per attribute is what lets a page
// decode in a fraction of a millisecond.
class RecordAttributes {
public:
    using Entry = std::pair<std::wstring_view, std::wstring_view>;  // name, value

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Entry;

        const_iterator() = default;
        Entry operator*() const { return m_owner->entry(m_index); }
        const_iterator& operator++() {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++m_index;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

    private:
        friend class RecordAttributes;
        const_iterator(const RecordAttributes* owner, std::size_t index)
            : m_owner(owner), m_index(index) {}
        const RecordAttributes* m_owner = nullptr;
        std::size_t m_index = 0;
    };

    RecordAttributes() = default;
    RecordAttributes(
        std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> entries);

    // Adds the attribute, or gives an existing one the new value.
    void set(std::wstring_view name, std::wstring_view value);
    // Adds the attribute from UTF-16LE units read up to the first zero unit, with
    // the surrounding quotes stripped from both texts; an attribute whose name or
    // value is empty before stripping is left out. For decoders: no intermediate
    // strings are made.
    void set_utf16le(const std::uint8_t* name, std::size_t nameUnits, const std::uint8_t* value,
                     std::size_t valueUnits);

    std::optional<std::wstring_view> find(std::wstring_view name) const;
    bool contains(std::wstring_view name) const { return find(name).has_value(); }
    // The value, empty when the attribute is absent.
    std::wstring value(std::wstring_view name) const;

    std::size_t size() const { return m_slots.size(); }
    bool empty() const { return m_slots.empty(); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_slots.size()}; }
    Entry entry(std::size_t index) const;

    // Room for this many attributes and characters without reallocating.
    void reserve(std::size_t attributes, std::size_t characters);
    std::size_t characters() const { return m_text.size(); }

    // Same names with the same values.
    bool operator==(const RecordAttributes& other) const;

private:
    struct Slot {
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
        std::uint32_t valueOffset;
        std::uint32_t valueLength;
    };

    std::wstring_view text(std::uint32_t offset, std::uint32_t length) const {
        return std::wstring_view(m_text).substr(offset, length);
    }
    // The index of the first slot whose name is not less than the name.
    std::size_t lower_bound(std::wstring_view name) const;
    // Places a slot whose texts were appended to the buffer, replacing one of the
    // same name.
    void place(Slot slot);

    std::wstring m_text;
    std::vector<Slot> m_slots;  // sorted by name
};

}  // namespace MapsService
