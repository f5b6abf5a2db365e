#pragma once

#include <cstdint>

namespace MapsService::tlv {

// Every stream ends with this tag and a zero length; decoding stops at it.
inline constexpr std::uint8_t kTagEnd = 0;

// Items of a server-package request, in the order they are sent.
inline constexpr std::uint8_t kTagRequestType = 1;      // 16-bit
inline constexpr std::uint8_t kTagPackageName = 65;     // narrow string
inline constexpr std::uint8_t kTagRequestVariant = 63;  // 32-bit
inline constexpr std::uint8_t kTagLanguage = 2;         // wide string, optional
inline constexpr std::uint8_t kTagPropertyName = 68;    // narrow string, names the next 69
inline constexpr std::uint8_t kTagPropertyValue = 69;   // value of the named property
inline constexpr std::uint8_t kTagRequestFlag = 99;     // flag
inline constexpr std::uint8_t kTagPageSize = 3;         // 32-bit: records asked for
inline constexpr std::uint8_t kTagPageOffset = 49;      // 32-bit: records already received

// Fixed values the server expects in a package request; their meaning is the server's.
inline constexpr std::uint16_t kPackageRequestType = 8;
inline constexpr std::uint32_t kPackageRequestVariant = 10;
inline constexpr bool kPackageRequestFlag = true;
inline constexpr const char* kPropertyVersion = "Ver";
inline constexpr const char* kPropertyOperatingSystem = "OS";

// Items of a catalog reply. A record is the items up to its end tag.
inline constexpr std::uint8_t kTagRecordName = 21;      // wide string
inline constexpr std::uint8_t kTagRecordId = 69;        // 32-bit signed
inline constexpr std::uint8_t kTagRecordParentId = 70;  // 32-bit signed
inline constexpr std::uint8_t kTagAttributeName = 83;   // wide string
inline constexpr std::uint8_t kTagAttributeValue = 84;  // wide string, for the pending name
inline constexpr std::uint8_t kTagRecordEnd = 254;

// Content type of every TLV exchange with the map server.
inline constexpr const wchar_t* kContentType = L"application/x-tlv";

}  // namespace MapsService::tlv
