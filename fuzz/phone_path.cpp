// Whatever path and name a caller passes, the simulator's resolution stays
// inside the phone's memory folders.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "devlinx/sim/phone_path.h"
#include "service/core/text.h"

namespace {

namespace fs = std::filesystem;
using devlinx::sim::PhoneConfig;

// One phone with two memories, made once per process and removed at exit.
struct Farm {
    Farm() {
        std::string pattern = (fs::temp_directory_path() / "devlinx-fuzz-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        phone.folder = root / "p";
        fs::create_directories(phone.folder / "C");
        fs::create_directories(phone.folder / "E" / "maps");
        std::ofstream(phone.folder / "phone.ini") << "serial=p\n";
        fs::create_directory_symlink(root, phone.folder / "E" / "link");
    }
    ~Farm() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
    PhoneConfig phone;
};

bool inside(const fs::path& path, const fs::path& folder) {
    const std::string text = path.lexically_normal().string();
    const std::string prefix = folder.lexically_normal().string();
    return text.rfind(prefix, 0) == 0 &&
           (text.size() == prefix.size() || text[prefix.size()] == '/');
}

void check(const devlinx::sim::PhonePath& resolved, const Farm& farm) {
    if (resolved.is_phone_root) {
        return;
    }
    if (!resolved.memory || !inside(resolved.native, resolved.memory->folder) ||
        inside(resolved.native, farm.phone.folder / "E" / "link")) {
        std::abort();
    }
    for (const auto& part : resolved.native) {
        if (part == "..") {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Farm farm;
    const std::string input(reinterpret_cast<const char*>(data), size);
    // A path, then after the first NUL a name.
    const auto split = input.find('\0');
    const std::wstring path = MapsService::to_wide(input.substr(0, split));
    const std::wstring name =
        split == std::string::npos ? std::wstring() : MapsService::to_wide(input.substr(split + 1));

    devlinx::sim::PhonePath resolved;
    if (devlinx::sim::resolve_path(farm.phone, path.c_str(), resolved) == DLNK_OK) {
        check(resolved, farm);
    }
    if (devlinx::sim::resolve_child(farm.phone, path.c_str(), name.c_str(), resolved) == DLNK_OK) {
        check(resolved, farm);
        if (resolved.is_memory_root()) {
            std::abort();  // a memory is never a child to create or delete
        }
    }
    return 0;
}
