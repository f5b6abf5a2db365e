#include "mapserver/content_types.h"

#include "mapserver/text_util.h"

namespace atlasync::mapserver {

std::string content_type_of(std::string_view path) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {"zip", "application/zip"},   {"cdt", "image/x-coreldrawtemplate"},
        {"xml", "application/xml"},   {"sis", "application/vnd.symbian.install"},
        {"tlv", "application/x-tlv"}, {"hdr", "application/x-hdr"},
        {"txt", "text/plain"},        {"html", "text/html"},
    };
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
        const std::string extension = to_lower(path.substr(dot + 1));
        for (const auto& [known, type] : kTypes) {
            if (extension == known) {
                return type;
            }
        }
    }
    return "application/octet-stream";
}

}  // namespace atlasync::mapserver
