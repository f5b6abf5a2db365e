# Every dependency is a Debian package installed by scripts/install-deps.

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
# The tools' JSON output, and the tests that read it back.
find_package(nlohmann_json 3.10 REQUIRED)

if(ATLASYNC_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(ATLASYNC_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
