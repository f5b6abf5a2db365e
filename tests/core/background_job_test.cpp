#include "service/core/background_job.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "service/core/exceptions.h"

using namespace MapsService;

// A job's outcome comes back whole, a thrown one too: a download that throws
// must never be taken for one that succeeded.
TEST(BackgroundJob, CollectAnswersTheJobsResultOrTheCodeOfWhatItThrew) {
    BackgroundJob job;
    job.start([] { return kResultCorruptArchive; });
    EXPECT_EQ(job.collect(), kResultCorruptArchive);
    job.start([]() -> Result { throw DiskErrorException(); });
    EXPECT_EQ(job.collect(), kResultDiskError);
    job.start([]() -> Result { throw std::runtime_error("no digest"); });
    EXPECT_EQ(job.collect(), kResultFailed);
    job.start([] { return kResultOk; });
    EXPECT_EQ(job.collect(), kResultOk);
    EXPECT_FALSE(job.pending());
}
