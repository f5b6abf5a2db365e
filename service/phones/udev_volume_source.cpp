#include "service/phones/udev_volume_source.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "service/core/text.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

constexpr char kMountTable[] = "/proc/self/mountinfo";

// Mount points escape blanks, tabs, newlines and backslashes as three octal digits.
std::string unescape(std::string_view text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                result.push_back(static_cast<char>(std::stoi(std::string(digits), nullptr, 8)));
                i += 3;
                continue;
            }
        }
        result.push_back(text[i]);
    }
    return result;
}

std::string read_all(int fd) {
    std::string text;
    if (::lseek(fd, 0, SEEK_SET) < 0) {
        return text;
    }
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::string read_mount_table() {
    std::ifstream in(kMountTable);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<MountedVolume> find_mount(const std::string& mountPoint) {
    for (const MountedVolume& volume : parse_mount_table(read_mount_table())) {
        if (volume.mountPoint == mountPoint) {
            return volume;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<MountedVolume> parse_mount_table(std::string_view text) {
    std::vector<MountedVolume> volumes;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint, field;
        if (!(fields >> id >> parent >> numbers >> root >> mountPoint)) {
            continue;
        }
        while (fields >> field && field != "-") {
        }
        std::string type, source;
        if (field != "-" || !(fields >> type >> source) || source.rfind("/dev/", 0) != 0) {
            continue;
        }
        MountedVolume volume;
        char colon = 0;
        std::istringstream devnum(numbers);
        if (!(devnum >> volume.major >> colon >> volume.minor) || colon != ':' ||
            volume.major == 0) {
            continue;
        }
        volume.mountPoint = unescape(mountPoint);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

UdevVolumeSource::UdevVolumeSource() : m_stopEvent(::eventfd(0, EFD_CLOEXEC)) {}

UdevVolumeSource::~UdevVolumeSource() {
    if (m_monitor != nullptr) {
        udev_monitor_unref(m_monitor);
    }
    if (m_udev != nullptr) {
        udev_unref(m_udev);
    }
    if (m_mountTable >= 0) {
        ::close(m_mountTable);
    }
    if (m_stopEvent >= 0) {
        ::close(m_stopEvent);
    }
}

bool UdevVolumeSource::open() {
    m_mountTable = ::open(kMountTable, O_RDONLY | O_CLOEXEC);
    m_udev = udev_new();
    if (m_udev != nullptr) {
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor != nullptr &&
            (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", nullptr) < 0 ||
             udev_monitor_enable_receiving(m_monitor) < 0)) {
            udev_monitor_unref(m_monitor);
            m_monitor = nullptr;
        }
    }
    if (m_mountTable >= 0) {
        for (MountedVolume& volume : parse_mount_table(read_all(m_mountTable))) {
            m_mounted[volume.mountPoint] = volume;
        }
    }
    // The mount table alone tells every change that matters; the monitor only
    // wakes us earlier.
    return m_mountTable >= 0 && m_stopEvent >= 0;
}

std::vector<std::wstring> UdevVolumeSource::present_volumes() {
    std::vector<std::wstring> roots;
    for (const auto& [mountPoint, volume] : m_mounted) {
        roots.push_back(to_wide(mountPoint));
    }
    return roots;
}

bool UdevVolumeSource::wait_changes(std::vector<VolumeChange>& changes) {
    while (true) {
        pollfd fds[3] = {{m_stopEvent, POLLIN, 0}, {m_mountTable, POLLPRI, 0}, {-1, POLLIN, 0}};
        if (m_monitor != nullptr) {
            fds[2].fd = udev_monitor_get_fd(m_monitor);
        }
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (fds[0].revents != 0) {
            return false;
        }
        if ((fds[2].revents & POLLIN) != 0) {
            while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
                udev_device_unref(device);
            }
        }
        rescan(changes);
        if (!changes.empty()) {
            return true;
        }
    }
}

void UdevVolumeSource::rescan(std::vector<VolumeChange>& changes) {
    if (m_mountTable < 0) {
        return;
    }
    std::map<std::string, MountedVolume> now;
    for (MountedVolume& volume : parse_mount_table(read_all(m_mountTable))) {
        now[volume.mountPoint] = volume;
    }
    for (const auto& [mountPoint, volume] : m_mounted) {
        if (now.count(mountPoint) == 0) {
            changes.push_back({false, to_wide(mountPoint)});
        }
    }
    for (const auto& [mountPoint, volume] : now) {
        if (m_mounted.count(mountPoint) == 0) {
            changes.push_back({true, to_wide(mountPoint)});
        }
    }
    m_mounted = std::move(now);
}

void UdevVolumeSource::stop() {
    const std::uint64_t one = 1;
    if (m_stopEvent >= 0 && ::write(m_stopEvent, &one, sizeof one) < 0) {
        TraceError("UsbManager: the volume watcher could not be told to stop");
    }
}

std::string UdevVolumeSource::device_property(const std::wstring& root, const char* name) {
    const std::optional<MountedVolume> volume = find_mount(to_narrow(root));
    if (!volume) {
        return {};
    }
    // A context of its own: udev contexts must not be shared between threads.
    udev* context = udev_new();
    if (context == nullptr) {
        return {};
    }
    std::string value;
    if (udev_device* device =
            udev_device_new_from_devnum(context, 'b', makedev(volume->major, volume->minor))) {
        if (const char* text = udev_device_get_property_value(device, name)) {
            value = text;
        }
        udev_device_unref(device);
    }
    udev_unref(context);
    return value;
}

bool UdevVolumeSource::is_usb_volume(const std::wstring& root) {
    return device_property(root, "ID_BUS") == "usb";
}

bool UdevVolumeSource::is_vendor_device(const std::wstring& root) {
    return is_usb_volume(root) && is_vendor_name(device_property(root, "ID_VENDOR"));
}

std::optional<std::wstring> UdevVolumeSource::volume_label(const std::wstring& root) {
    const std::filesystem::path folder(to_narrow(root));
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error) || ::access(folder.c_str(), R_OK) != 0) {
        return std::nullopt;
    }
    const std::string label = device_property(root, "ID_FS_LABEL");
    if (!label.empty()) {
        return to_wide(label);
    }
    const std::string name = folder.lexically_normal().filename().string();
    return to_wide(name.empty() ? folder.lexically_normal().parent_path().filename().string()
                                : name);
}

}  // namespace MapsService
