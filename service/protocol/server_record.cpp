#include "service/protocol/server_record.h"

#include "service/core/trace.h"

namespace MapsService {

URLInfo::URLInfo(std::wstring name_, std::wstring url_, std::wstring version_,
                 std::wstring description_, std::wstring type_, std::wstring language_,
                 std::wstring checksum_, std::uint64_t byteSize_, std::uint64_t contentSize_,
                 std::int32_t id_, std::int32_t parentId_, std::int32_t itemId_,
                 std::vector<std::uint32_t> cityIndexes_)
    : name(std::move(name_)),
      url(std::move(url_)),
      version(std::move(version_)),
      description(std::move(description_)),
      type(std::move(type_)),
      language(std::move(language_)),
      checksum(std::move(checksum_)),
      byteSize(byteSize_),
      contentSize(contentSize_),
      id(id_),
      parentId(parentId_),
      itemId(itemId_),
      cityIndexes(std::move(cityIndexes_)) {
    TraceDebug(L"URLInfo: id:%d size:%d url:%s lang:%s", id,
               static_cast<int>(byteSize & 0xFFFFFFFF), url.c_str(), language.c_str());
}

}  // namespace MapsService
