#include "tests/devlinx/phone_farm.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/child_process.h"

namespace atlasync::testing {

PhoneFarm::PhoneFarm() : m_farm(m_root.path() / "farm") {
    std::filesystem::create_directories(m_farm);
    std::filesystem::create_directories(outside());
    ::setenv("DEVLINX_SIM_FARM", m_farm.c_str(), 1);
    ::setenv("DEVLINX_API_CONFIG", (m_root.path() / "API.ini").c_str(), 1);
    configure("[Devlinx]\nOptions=1\n");
}

PhoneFarm::~PhoneFarm() {
    ::unsetenv("DEVLINX_SIM_FARM");
    ::unsetenv("DEVLINX_API_CONFIG");
}

void PhoneFarm::create(const std::string& name, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"create", m_farm.string(), name};
    args.insert(args.end(), options.begin(), options.end());
    std::string output;
    ASSERT_EQ(run_program(DEVLINX_PHONE_PATH, args, &output), 0) << output;
}

void PhoneFarm::remove(const std::string& name) {
    std::string output;
    ASSERT_EQ(run_program(DEVLINX_PHONE_PATH, {"remove", m_farm.string(), name}, &output), 0)
        << output;
}

void PhoneFarm::configure(const std::string& settings) {
    write_file(m_root.path() / "API.ini", settings);
}

}  // namespace atlasync::testing
