// The phone manager's phones and drives as plain records.

#include "tools/commands/session_report.h"

#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/text.h"
#include "service/devices/file_system.h"
#include "service/phones/phone_manager.h"

namespace atlasync::tool {

using namespace MapsService;

std::vector<PhoneReport> connected_phones() {
    std::vector<Phone*> phones;
    (void)PhoneManager::GetConnectedPhones(phones);
    std::vector<PhoneReport> reports;
    for (Phone* phone : phones) {
        PhoneReport report{phone->id(),
                           to_narrow(phone->name()),
                           to_narrow(phone->serial_number()),
                           to_narrow(phone->model_name()),
                           phone->device_type(),
                           phone->device_generation(),
                           {}};
        for (PhoneDrive* drive : phone->drives()) {
            FileSystem& files = drive->file_system();
            report.drives.push_back({drive->id(), to_narrow(drive->name()),
                                     to_narrow(files.get_memory_type()), drive->valid(),
                                     static_cast<std::int64_t>(files.total_space_bytes()),
                                     static_cast<std::int64_t>(files.free_space_bytes())});
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

}  // namespace atlasync::tool
