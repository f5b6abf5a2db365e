// The service's phones and drives as the tool's records.

#include "tools/commands/session_report.h"

#include "service/core/text.h"

namespace atlasync::tool {

using namespace MapsService;

std::vector<PhoneReport> connected_phones() {
    std::vector<PhoneReport> reports;
    for (const PhoneInfo& phone : MapsService::connected_phones()) {
        PhoneReport report{phone.id,
                           to_narrow(phone.name),
                           to_narrow(phone.serialNumber),
                           to_narrow(phone.model),
                           phone.deviceType,
                           phone.generation,
                           {}};
        for (const DriveInfo& drive : phone.drives) {
            report.drives.push_back({drive.id, to_narrow(drive.name), to_narrow(drive.memoryType),
                                     drive.valid, drive.totalBytes, drive.freeBytes});
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

}  // namespace atlasync::tool
