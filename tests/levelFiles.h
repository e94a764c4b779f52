// levelFiles.h — test support: a fresh temporary working directory to write level files into.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "board.h"

// Each test runs in its own empty directory with assets/levels/ in it, so the
// level sequence sees exactly the files the test writes. The directory is removed
// afterwards and the sequence is left with no board at level 0.
class LevelDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldDir = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "vwlevelsXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        std::filesystem::create_directories(dir / "assets/levels");
        std::filesystem::current_path(dir);
    }

    void TearDown() override {
        std::filesystem::remove_all(dir / "assets");
        loadInitialBoard();  // finds no file: drops the board, back to level 0
        std::filesystem::current_path(oldDir);
        std::filesystem::remove_all(dir);
    }

    // Writes `text` as level number `n` and returns its path.
    std::string writeLevel(int n, const std::string& text) {
        char name[64];
        std::snprintf(name, sizeof name, "assets/levels/level%02d.txt", n);
        writeFile(name, text);
        return name;
    }

    void writeFile(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }

    std::filesystem::path oldDir;
    std::filesystem::path dir;
};

// Death tests only see standard error; the game's data errors go to standard output.
inline void sendStdoutToStderr() {
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

// A 5 x 4 room with the exit in the north-east corner, one guard facing north, no
// dogs, no SGs, and counts 1, 1, 1, 0.
inline const char* const EXAMPLE_LEVEL =
    "5,4,\n"
    "3,3,3,3,3,\n"
    "3,0,0,4,3,\n"
    "3,0,2,1,3,\n"
    "3,3,3,3,3,\n"
    "999,\n"
    "1,1,2,\n"
    "999,\n"
    "2,2,0,\n"
    "999,\n"
    "999,\n"
    "999,\n"
    "1,1,1,0\n";
