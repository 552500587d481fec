// A fixture with its own volumes: two temporary folders stand in for the
// mounted volumes "TestDisk" and "OtherDisk", so that the default list of
// every mounted volume is known and paths resolve to real folders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "IntakeTestSupport.h"
#include "platform/posix/CatalogInternal.h"

namespace intake_test {

class IntakeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        root_ = std::filesystem::path("/var/tmp") /
                ("sw-params-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(root_ / "disk" / "Docs" / "Inner");
        std::filesystem::create_directories(root_ / "disk" / "Music");
        std::filesystem::create_directories(root_ / "other");
        sw::posix::SetVolumeTableForTesting(
            {{"TestDisk", (root_ / "disk").string()}, {"OtherDisk", (root_ / "other").string()}});
        // The handler reads location items as FSRefs through these.
        ASSERT_EQ(InstallFileCoercions(), noErr);
        ClearSearchParameters();
    }
    void TearDown() override {
        ClearSearchParameters();
        sw::posix::SetVolumeTableForTesting({});
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    std::filesystem::path root_;
    ScopedAlertRecorder alerts_;
};

}  // namespace intake_test
