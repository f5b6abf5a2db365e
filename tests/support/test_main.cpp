// The main of every test binary. Each test process gets a temporary folder of
// its own: what the product and the tests put below $TMPDIR (the product's
// "atlasync-<uid>" work folder among it) never meets another test process's,
// and is gone when the process ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const atlasync::testing::TempDir tmp;
    // Others may pass through, as they may through /tmp: a test that runs a
    // second user gives that user a folder below this one.
    std::filesystem::permissions(tmp.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const atlasync::testing::ScopedVariable tmpdir{"TMPDIR", tmp.path().string()};
    return RUN_ALL_TESTS();
}
