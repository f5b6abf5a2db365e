#include "tests/support/card_image.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/own_mounts.h"

namespace atlasync::testing {

namespace fs = std::filesystem;

namespace {

constexpr long kFuseMagic = 0x65735546;

// A program of the system's, also where root's programs live off the PATH.
std::string program(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = std::string(path != nullptr ? path : "") + ":/usr/sbin:/sbin";
    for (std::size_t at = 0; at <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', at), folders.size());
        const fs::path candidate = fs::path(folders.substr(at, end - at)) / name;
        if (end > at && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
        at = end + 1;
    }
    return {};
}

std::string driver_of(CardImage::Format format) {
    return program(format == CardImage::Format::ExFat ? "mount.exfat-fuse" : "fusefat");
}

std::string formatter_of(CardImage::Format format) {
    return program(format == CardImage::Format::ExFat ? "mkfs.exfat" : "mkfs.vfat");
}

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Attaches the image to a free loop device that detaches itself once its
// last user closes it; answers the device's open descriptor.
int attach(const fs::path& image, std::string& device) {
    const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    const int backing = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
    if (control < 0 || backing < 0) {
        fail("cannot open the loop control or " + image.string());
    }
    int loop = -1;
    for (int attempt = 0; loop < 0 && attempt < 20; ++attempt) {
        const int number = ::ioctl(control, LOOP_CTL_GET_FREE);
        if (number < 0) {
            fail("no free loop device");
        }
        device = "/dev/loop" + std::to_string(number);
        loop = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        loop_config config{};
        config.fd = static_cast<std::uint32_t>(backing);
        config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
        if (loop >= 0 && ::ioctl(loop, LOOP_CONFIGURE, &config) != 0) {
            // Taken by someone else between the two calls: the next one.
            ::close(loop);
            loop = -1;
        }
    }
    ::close(control);
    ::close(backing);
    if (loop < 0) {
        fail("cannot attach " + image.string());
    }
    return loop;
}

}  // namespace

std::string CardImage::unavailable(Format format) {
    const char* name = format == Format::ExFat ? "exFAT" : "FAT32";
    if (::geteuid() != 0) {
        return std::string("mounting a ") + name + " card image needs root";
    }
    if (::access("/dev/loop-control", R_OK | W_OK) != 0) {
        return "no loop devices here (/dev/loop-control)";
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        return "no FUSE here (/dev/fuse)";
    }
    if (driver_of(format).empty() || formatter_of(format).empty()) {
        return std::string("the ") + name + " tools are not installed (scripts/install-deps)";
    }
    return {};
}

CardImage::CardImage(const fs::path& folder, Format format, std::uint64_t bytes,
                     std::uint32_t cluster)
    : m_format(format), m_image(folder / "card.img") {
    std::ofstream(m_image).close();
    fs::resize_file(m_image, bytes);
    std::vector<std::string> args;
    if (format == Format::ExFat) {
        if (cluster != 0) {
            args = {"-c", std::to_string(cluster)};
        }
    } else {
        args = {"-F", "32"};
        if (cluster != 0) {
            args.insert(args.end(), {"-s", std::to_string(cluster / 512)});
        }
    }
    args.push_back(m_image.string());
    std::string output;
    if (run_program(formatter_of(format), args, &output) != 0) {
        throw std::runtime_error("cannot format " + m_image.string() + ": " + output);
    }
    mount();
}

CardImage::CardImage(const fs::path& image, Format format) : m_format(format), m_image(image) {
    mount();
}

CardImage::~CardImage() {
    if (m_driver < 0) {
        return;
    }
    try {
        unmount();
    } catch (const std::exception&) {
        ::kill(m_driver, SIGKILL);
        ::waitpid(m_driver, nullptr, 0);
    }
}

void CardImage::mount() {
    // Out of sight of other tests' tools, which would take it for a volume
    // just plugged in and may update it.
    if (!own_mounts()) {
        fail("cannot mount " + m_image.string() + " for this test alone");
    }
    m_mountPoint = m_image.parent_path() / (m_image.stem().string() + ".mnt");
    fs::create_directories(m_mountPoint);
    const int loop = attach(m_image, m_device);
    const std::string driver = driver_of(m_format);
    // In the foreground, so that the driver is ours to stop and dies with us.
    std::vector<std::string> args = m_format == Format::ExFat
                                        ? std::vector<std::string>{driver, "-d"}
                                        : std::vector<std::string>{driver, "-f", "-o", "rw+"};
    args.insert(args.end(), {m_device, m_mountPoint.string()});
    const pid_t parent = ::getpid();
    m_driver = ::fork();
    if (m_driver == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        const int quiet = ::open("/dev/null", O_RDWR);
        ::dup2(quiet, STDIN_FILENO);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Held until the driver has the device open: its last close detaches it.
    bool mounted = false;
    for (int waited = 0; !mounted && waited < 3000; ++waited) {
        struct statfs info {};
        mounted = ::statfs(m_mountPoint.c_str(), &info) == 0 && info.f_type == kFuseMagic;
        if (!mounted && ::waitpid(m_driver, nullptr, WNOHANG) == m_driver) {
            m_driver = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(loop);
    if (!mounted) {
        throw std::runtime_error("the driver did not mount " + m_image.string());
    }
}

void CardImage::cut(const fs::path& copy) const {
    if (::kill(m_driver, SIGSTOP) != 0) {
        fail("cannot stop the driver");
    }
    int status = 0;
    ::waitpid(m_driver, &status, WUNTRACED);
    std::error_code error;
    fs::copy_file(m_image, copy, fs::copy_options::overwrite_existing, error);
    ::kill(m_driver, SIGCONT);
    if (error) {
        throw std::runtime_error("cannot copy " + m_image.string() + ": " + error.message());
    }
}

void CardImage::unmount() {
    if (m_driver < 0) {
        return;
    }
    std::string output;
    if (run_program(program("umount"), {m_mountPoint.string()}, &output) != 0) {
        throw std::runtime_error("cannot unmount " + m_mountPoint.string() + ": " + output);
    }
    ::waitpid(m_driver, nullptr, 0);
    m_driver = -1;
    fs::remove(m_mountPoint);
}

}  // namespace atlasync::testing
