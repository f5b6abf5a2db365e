#pragma once

#include <memory>
#include <vector>

#include "service/content/version_info.h"
#include "service/core/result_codes.h"
#include "service/protocol/server_package.h"

namespace MapsService {

class MapBasePackage;
class PhoneDrive;
class RegionQNRMap;
class VoiceBasePackage;

// Holds the one catalog of a kind that a drive uses and forwards to it.
class PackageContainer {
public:
    virtual ~PackageContainer() = default;

    [[nodiscard]] virtual Result load(PhoneDrive& drive) = 0;
    void clear();
    void copy_records(std::vector<ServerRecord>& out) const;
    void convert_records(std::vector<URLInfo>& out);
    void get_addons(const std::vector<std::int32_t>& chosen, std::vector<URLInfo>& list);
    ServerPackage* package() const { return m_package.get(); }

protected:
    std::unique_ptr<ServerPackage> m_package;
};

// The map catalog of a drive: "map5" for map versions x.1, else "mapporterzippkg".
class MapContainer : public PackageContainer {
public:
    // The catalog of the drive's map version in config.cfg.
    [[nodiscard]] Result load(PhoneDrive& drive) override;
    [[nodiscard]] Result load(PhoneDrive& drive, const VersionInfo& mapVersion);
    // Null until a catalog's region table was loaded whole.
    RegionQNRMap* region_table() const;
};

// The voice catalog of a drive, chosen by its client version; loading links
// the installed voices to it.
class VoiceContainer : public PackageContainer {
public:
    [[nodiscard]] Result load(PhoneDrive& drive) override;
    VoiceBasePackage* voice_package() const;
};

}  // namespace MapsService
