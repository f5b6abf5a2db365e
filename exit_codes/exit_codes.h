#pragma once

#include <cstdint>
#include <span>

// The exit statuses of atlasync, atlasync-tool, atlasync-mapserver and
// devlinx-phone. A failure of the service ends a run with the service's own
// result code, so that a script sees the code the wizard's error page names;
// the statuses below are the ones the service has no code for, or the ones a
// program names. A leaf that includes nothing of the service, so that the
// phone simulator's tool may use it too; its source checks that the service's
// codes are the same.
namespace atlasync {

inline constexpr int kExitOk = 0;
// The service's "Unspecified error", and any failure of a program that has no
// more precise status.
inline constexpr int kExitFailed = 1;
inline constexpr int kExitCancelled = 2;
// No phone and no maps drive to work on: the service's answer when a drive
// cannot be found by its id.
inline constexpr int kExitNoPhone = 4;
// A bad command line, as sysexits' EX_USAGE: apart from every service code.
inline constexpr int kExitUsage = 64;
// atlasync-tool check: every step succeeded and an update is offered. Not
// 100, which the service answers for an installation left to finish on the
// phone.
inline constexpr int kExitUpdateOffered = 99;

// The programs a status can end.
enum ExitProgram : unsigned {
    kExitWizard = 1U << 0,     // atlasync
    kExitTool = 1U << 1,       // atlasync-tool
    kExitMapServer = 1U << 2,  // atlasync-mapserver
    kExitPhone = 1U << 3,      // devlinx-phone
};

struct ExitCode {
    int status;
    unsigned programs;    // ExitProgram bits
    const char* meaning;  // one sentence, as the man pages print it
};

// Every status, in ascending order; a status that means other things to other
// programs has a row for each.
std::span<const ExitCode> exit_codes();

// The exit status for a run that ended with `result`: the code itself when the
// table names it for the wizard or the tool, else kExitFailed (a status is one
// byte; the service's 0x8001 would read as 1 anyway, and success codes such as
// 6 never end a run).
int exit_status_for(std::int32_t result);

}  // namespace atlasync
