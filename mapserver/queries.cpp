#include "mapserver/queries.h"

#include <cstring>
#include <memory>

#include "service/core/text.h"
#include "service/protocol/tlv_tags.h"

namespace atlasync::mapserver {

namespace {

namespace tlv = MapsService::tlv;
using MapsService::Decode;
using MapsService::TlvItem;

constexpr std::uint8_t kTagListSize = 3;

// A narrow string value: text ending in a zero byte.
std::optional<std::string> narrow_value(const TlvItem& item) {
    if (item.length == 0 || item.value[item.length - 1] != 0) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(item.value),
                       strnlen(reinterpret_cast<const char*>(item.value), item.length));
}

std::optional<std::uint16_t> uint16_value(const TlvItem& item) {
    if (item.length != 2) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(item.value[0] | (item.value[1] << 8));
}

std::optional<std::uint32_t> uint32_value(const TlvItem& item) {
    if (item.length != 4) {
        return std::nullopt;
    }
    return Decode::value_uint32(item);
}

template <typename T>
std::optional<T> refuse(QueryError& error, std::string message) {
    error.message = std::move(message);
    return std::nullopt;
}

}  // namespace

QueryItems::QueryItems(std::string_view hexText)
    : m_decode(std::make_shared<Decode>(hexText.data(), hexText.size(), Decode::kHex)) {}

std::optional<QueryItems> QueryItems::parse(std::string_view hexText, QueryError& error) {
    if (hexText.empty()) {
        return refuse<QueryItems>(error, "missing query");
    }
    if (hexText.size() % 2 != 0) {
        return refuse<QueryItems>(error, "query is not whole bytes of hexadecimal text");
    }
    for (char c : hexText) {
        if (!Decode::is_hex_digit(static_cast<std::uint8_t>(c))) {
            return refuse<QueryItems>(error, "query is not hexadecimal text");
        }
    }
    QueryItems query(hexText);
    if (!query.m_decode->complete()) {
        return refuse<QueryItems>(error, "query is a truncated TLV stream");
    }
    return query;
}

std::optional<PackageQuery> parse_package_query(std::string_view hexText, QueryError& error) {
    const auto items = QueryItems::parse(hexText, error);
    if (!items) {
        return std::nullopt;
    }
    PackageQuery query;
    bool typeSeen = false;
    bool nameSeen = false;
    bool sizeSeen = false;
    bool offsetSeen = false;
    bool variantSeen = false;
    bool flagSeen = false;
    std::optional<std::string> propertyName;
    for (const TlvItem& item : items->items()) {
        switch (item.tag) {
            case tlv::kTagRequestType:
                if (uint16_value(item) != tlv::kPackageRequestType) {
                    return refuse<PackageQuery>(error, "not a package request");
                }
                typeSeen = true;
                break;
            case tlv::kTagPackageName: {
                const auto name = narrow_value(item);
                if (!name || name->empty()) {
                    return refuse<PackageQuery>(error, "bad package name");
                }
                query.name = *name;
                nameSeen = true;
                break;
            }
            case tlv::kTagRequestVariant:
                if (uint32_value(item) != tlv::kPackageRequestVariant) {
                    return refuse<PackageQuery>(error, "request variant 10 expected");
                }
                variantSeen = true;
                break;
            case tlv::kTagRequestFlag:
                if (item.length != 1 || item.value[0] != 0xFF) {
                    return refuse<PackageQuery>(error, "request flag 0xFF expected");
                }
                flagSeen = true;
                break;
            case tlv::kTagLanguage: {
                const auto language = Decode::value_wide_string(item);
                if (!language) {
                    return refuse<PackageQuery>(error, "bad language");
                }
                query.language = MapsService::to_narrow(*language);
                break;
            }
            case tlv::kTagPropertyName:
                propertyName = narrow_value(item);
                if (!propertyName) {
                    return refuse<PackageQuery>(error, "bad property name");
                }
                break;
            case tlv::kTagPropertyValue: {
                if (!propertyName) {
                    return refuse<PackageQuery>(error, "property value without a name");
                }
                // The version travels as a wide string, the operating system as a narrow one.
                if (*propertyName == tlv::kPropertyVersion) {
                    const auto version = Decode::value_wide_string(item);
                    if (!version) {
                        return refuse<PackageQuery>(error, "bad version property");
                    }
                    query.version = MapsService::to_narrow(*version);
                } else {
                    const auto value = narrow_value(item);
                    if (!value) {
                        return refuse<PackageQuery>(error, "bad property value");
                    }
                    if (*propertyName == tlv::kPropertyOperatingSystem) {
                        query.operatingSystem = *value;
                    }
                }
                propertyName.reset();
                break;
            }
            case tlv::kTagPageSize: {
                const auto size = uint32_value(item);
                if (!size) {
                    return refuse<PackageQuery>(error, "bad page size");
                }
                query.pageSize = *size;
                sizeSeen = true;
                break;
            }
            case tlv::kTagPageOffset: {
                const auto offset = uint32_value(item);
                if (!offset) {
                    return refuse<PackageQuery>(error, "bad page offset");
                }
                query.pageOffset = *offset;
                offsetSeen = true;
                break;
            }
            default:
                break;
        }
    }
    if (!typeSeen || !nameSeen || !sizeSeen || !offsetSeen) {
        return refuse<PackageQuery>(error, "package request lacks its type, name or page");
    }
    if (!variantSeen || !flagSeen) {
        return refuse<PackageQuery>(error, "package request lacks its variant or flag");
    }
    return query;
}

std::optional<ServiceQuery> parse_service_query(std::string_view hexText,
                                                std::uint16_t expectedType, QueryError& error) {
    const auto items = QueryItems::parse(hexText, error);
    if (!items) {
        return std::nullopt;
    }
    ServiceQuery query;
    bool typeSeen = false;
    for (const TlvItem& item : items->items()) {
        if (item.tag == tlv::kTagRequestType) {
            const auto type = uint16_value(item);
            if (!type) {
                return refuse<ServiceQuery>(error, "bad request type");
            }
            query.type = *type;
            typeSeen = true;
        } else if (item.tag == kTagListSize) {
            query.wantsList = true;
        }
    }
    if (!typeSeen || query.type != expectedType) {
        return refuse<ServiceQuery>(error,
                                    "request type " + std::to_string(expectedType) + " expected");
    }
    return query;
}

}  // namespace atlasync::mapserver
