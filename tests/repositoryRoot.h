// repositoryRoot.h — test support: run a test from the repository's root, where the
// shipped assets are found by the same relative paths the game uses.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

class RepositoryRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = std::filesystem::current_path();
        // ctest names the root in the environment; a test run by hand falls back to
        // the checkout it was built from.
        const char* root = std::getenv("VW_SOURCE_DIR");
#ifdef VW_SOURCE_ROOT
        if (!root) root = VW_SOURCE_ROOT;
#endif
        ASSERT_NE(root, nullptr) << "VW_SOURCE_DIR must name the repository root";
        std::filesystem::current_path(root);
    }
    void TearDown() override { std::filesystem::current_path(home); }

    std::filesystem::path home;
};
