#include "exit_codes/exit_codes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "service/core/result_codes.h"

namespace {

using namespace atlasync;

// The section's "*N*" entries, one line each: N and its tab-indented lines,
// joined by blanks.
std::string man_exit_status(const std::string& program) {
    std::ifstream page(std::string(ATLASYNC_MAN_DIR) + "/" + program + ".1.scd");
    EXPECT_TRUE(page) << program;
    const std::regex entry(R"(^\*(\d+)\*$)");
    std::smatch match;
    std::string table;
    bool inSection = false;
    bool inEntry = false;
    for (std::string line; std::getline(page, line);) {
        if (line.rfind("# ", 0) == 0) {
            inSection = line == "# EXIT STATUS";
            inEntry = false;
        } else if (inSection && std::regex_match(line, match, entry)) {
            table += (table.empty() ? "" : "\n") + match[1].str();
            inEntry = true;
        } else if (inEntry && line.rfind('\t', 0) == 0) {
            table += " " + line.substr(1);
        } else {
            inEntry = false;
        }
    }
    return table;
}

std::string code_exit_status(unsigned program) {
    std::ostringstream table;
    for (const ExitCode& code : exit_codes()) {
        if ((code.programs & program) != 0) {
            table << (table.tellp() > 0 ? "\n" : "") << code.status << " " << code.meaning;
        }
    }
    return table.str();
}

TEST(ExitCodes, EachManPageListsTheStatusesItsProgramEndsWithAsTheCodeNamesThem) {
    const struct {
        const char* program;
        unsigned bit;
    } programs[] = {{"atlasync", kExitWizard},
                    {"atlasync-tool", kExitTool},
                    {"atlasync-mapserver", kExitMapServer},
                    {"devlinx-phone", kExitPhone}};
    for (const auto& program : programs) {
        EXPECT_EQ(man_exit_status(program.program), code_exit_status(program.bit))
            << program.program;
    }
}

TEST(ExitCodes, AServiceResultEndsARunWithItselfWhenNamedElseWithOne) {
    const struct {
        std::int32_t result;
        int status;
    } cases[] = {
        {MapsService::kResultOk, kExitOk},
        {MapsService::kResultMapsNeedUpdate, kExitOk},  // success codes end no run
        {MapsService::kResultMapsUpdated, kExitOk},
        {MapsService::kResultCancelled, kExitCancelled},
        {MapsService::kResultInvalidDrive, kExitNoPhone},
        {MapsService::kResultServerError, 9},
        {MapsService::kResultDriveBusy, 19},
        {MapsService::kResultInstallerNotSupported, 114},
        {MapsService::kResultMapVersionChanged, kExitFailed},  // 0x8001 is no byte
        {kExitUsage, kExitFailed},                             // not the service's to answer
        {kExitUpdateOffered, kExitFailed},
        {-3, kExitFailed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exit_status_for(c.result), c.status) << c.result;
    }
}

}  // namespace
