#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// Unusual failures inside the service; operations turn them into their code.
class Exception : public std::exception {
public:
    Exception(std::string message, Result code);
    const char* what() const noexcept override { return m_message.c_str(); }
    Result code() const { return m_code; }

private:
    std::string m_message;
    Result m_code;
};

class MemoryException : public Exception {
public:
    MemoryException() : Exception("error while allocating memory", kResultFailed) {}
};

class PhoneDriveInvalidException : public Exception {
public:
    PhoneDriveInvalidException() : Exception("no valid phone drive", kResultInvalidDrive) {}
};

class DiskErrorException : public Exception {
public:
    DiskErrorException() : Exception("error in operation on local disk", kResultDiskError) {}
};

class MissingKeyException : public std::exception {
public:
    explicit MissingKeyException(std::wstring key) : m_key(std::move(key)) {}
    const std::wstring& key() const { return m_key; }

private:
    std::wstring m_key;
};

class ConversionFailedException : public std::exception {};

// Read a number the way a wide string stream does: leading blanks skipped,
// reading stops at the first character that cannot continue the number.
// Throw ConversionFailedException when no number could be read.
std::uint32_t wstring_to_uint32(const std::wstring& text);
std::uint64_t wstring_to_uint64(const std::wstring& text);

using WideMap = std::map<std::wstring, std::wstring>;

// Throws MissingKeyException carrying the key when it is absent.
const std::wstring& get_required_value(const WideMap& values, const std::wstring& key);
// Answers an empty string when the key is absent.
std::wstring get_optional_value(const WideMap& values, const std::wstring& key);

}  // namespace MapsService
