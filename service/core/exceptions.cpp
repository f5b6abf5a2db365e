#include "service/core/exceptions.h"

#include <sstream>

#include "service/core/trace.h"

namespace MapsService {

Exception::Exception(std::string message, Result code)
    : m_message(std::move(message)), m_code(code) {
    TraceError("Exception created (%s)", m_message.c_str());
}

namespace {

template <typename Number>
Number read_number(const std::wstring& text) {
    std::wistringstream stream(text);
    Number value{};
    // A leading minus would wrap around silently; refuse it like any non-number.
    stream >> std::ws;
    if (stream.peek() == L'-') {
        throw ConversionFailedException();
    }
    stream >> value;
    if (stream.fail()) {
        throw ConversionFailedException();
    }
    return value;
}

}  // namespace

std::uint32_t wstring_to_uint32(const std::wstring& text) {
    return read_number<std::uint32_t>(text);
}

std::uint64_t wstring_to_uint64(const std::wstring& text) {
    return read_number<std::uint64_t>(text);
}

const std::wstring& get_required_value(const WideMap& values, const std::wstring& key) {
    const auto found = values.find(key);
    if (found == values.end()) {
        throw MissingKeyException(key);
    }
    return found->second;
}

std::wstring get_optional_value(const WideMap& values, const std::wstring& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::wstring() : found->second;
}

}  // namespace MapsService
