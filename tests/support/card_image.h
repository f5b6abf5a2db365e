#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace atlasync::testing {

// A memory card as a card reader shows it: an image file formatted with a
// card's file system, attached to a loop device and mounted through the
// file system's FUSE driver, in the mount namespace of the calling thread's
// own (own_mounts). The driver dies with the test process, and the loop
// device goes with the driver.
class CardImage {
public:
    enum class Format { ExFat, Fat32 };

    // Why no card can be mounted here, for a skip message; empty when one can.
    static std::string unavailable(Format format);

    // Formats a new image of `bytes` in `folder`, with clusters of `cluster`
    // bytes (0: the formatter's choice), and mounts it.
    CardImage(const std::filesystem::path& folder, Format format, std::uint64_t bytes,
              std::uint32_t cluster = 0);
    // Mounts an image that exists, such as a copy taken by cut().
    CardImage(const std::filesystem::path& image, Format format);
    ~CardImage();
    CardImage(const CardImage&) = delete;
    CardImage& operator=(const CardImage&) = delete;

    const std::filesystem::path& mount_point() const { return m_mountPoint; }
    // What a card pulled now keeps: the driver is stopped while the image is
    // copied to `copy`, so what it has not yet written to the device is not in it.
    void cut(const std::filesystem::path& copy) const;
    // Unmounts and waits for the driver; the image stays. Throws on failure.
    void unmount();

private:
    void mount();

    Format m_format;
    std::filesystem::path m_image;
    std::filesystem::path m_mountPoint;
    std::string m_device;
    pid_t m_driver = -1;
};

}  // namespace atlasync::testing
