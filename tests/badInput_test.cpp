// Bad input the game reads, under a fatal handler that throws: every refusal comes back
// as the same report, nothing half-built is leaked, and the fuzzers' findings stay fixed.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Bitmap/Bitmap.h"
#include "board.h"
#include "check.h"
#include "pngLoader.h"
#include "testImages.h"

namespace {

using testimages::TempDir;

struct Stopped {
    int status;
    std::string message;
};

// Installs a handler that throws instead of ending the process, for one test.
class ThrowingFatalHandler : public ::testing::Test {
protected:
    void SetUp() override {
        setFatalHandler([](int status, const char* message) { throw Stopped{status, message}; });
    }
    void TearDown() override { setFatalHandler({}); }

    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir.path(name);
        testimages::writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
        return path;
    }

    // Runs `load` and returns what stopped it; fails the test if nothing did.
    template <typename Load>
    Stopped stoppedBy(Load load) {
        try {
            load();
        } catch (const Stopped& s) {
            return s;
        }
        ADD_FAILURE() << "the load was not refused";
        return {-1, ""};
    }

    TempDir dir;
};

using LevelBadInput = ThrowingFatalHandler;
using PngBadInput = ThrowingFatalHandler;

const std::string GRID = "3,2,\n0,0,3,\n2,1,4,\n999,\n";

TEST_F(LevelBadInput, EveryRefusalUnwindsTheHalfBuiltBoard) {
    struct Case {
        const char* what;
        std::string text;
        int status;
        const char* message;
    };
    // Each case is refused at a different point of construction, with actors and
    // lists already built; LeakSanitizer checks that unwinding frees all of it.
    const Case cases[] = {
        {"empty file", "", 1, "the file ends where the width was expected"},
        {"early end in the grid", "3,2,\n0,0,3,\n2,", 1, "the file ends where a terrain code was expected"},
        {"early end in a list", GRID + "0,0,1,999,0,0,1,999,", 1, "the file ends where a dog's x or 999 was expected"},
        {"not a number", GRID + "0,0,x", 1, "not a number where the player's facing was expected"},
        {"too large for an int", "99999999999,2,", 1, "not a number where the width was expected"},
        {"width 13", "13,2,", 134, "width > 0 && width <= MAX_BOARD_WIDTH"},
        {"height 0", "3,0,", 134, "height > 0 && height <= MAX_BOARD_HEIGHT"},
        {"terrain code 5", "3,2,\n0,0,5,", 134, "input_i >= FLOOR && input_i <= EXIT"},
        {"no 999 after the grid", "3,2,\n0,0,3,\n2,1,4,\n998,", 134, "i == DELIMITER"},
        {"player off the grid", GRID + "3,0,1,999,", 134, "i >= 0 && i < width && j >= 0 && j < height"},
        {"guard on a wall", GRID + "0,0,1,999,1,0,1,2,0,1,999,", 1, "character not standing on an OK tile: (2, 0)"},
        {"dog facing 4", GRID + "0,0,1,999,999,1,0,4,", 1, "character not standing on an OK tile: (1, 0)"},
        {"power count 100", GRID + "0,0,1,999,1,0,1,999,0,1,0,999,999,5,100,", 1, "power usage out of bounds: 100"},
    };
    for (const Case& c : cases) {
        const std::string path = write("level.txt", c.text);
        const Stopped s = stoppedBy([&] { Board board(path.c_str()); });
        EXPECT_EQ(s.status, c.status) << c.what;
        EXPECT_NE(s.message.find(c.message), std::string::npos) << c.what << ": " << s.message;
    }
    // The handler leaves nothing behind: a good file still loads.
    const std::string good = write("good.txt", GRID + "0,0,1,999,1,0,1,999,0,1,0,999,999,5,99,0,0");
    Board board(good.c_str());
    EXPECT_EQ(board.getGuards().size(), 1u);
    EXPECT_EQ(board.getDogs().size(), 1u);
    EXPECT_EQ(board.getDeadBodyUse(), 99);
}

// Found by fuzz_bmp: a height of 0 let any width through the size check, and the row
// length of 0x6060EAEA 32-bit pixels overflowed an int.
TEST(BmpBadInput, WideRowOfHeightZeroIsRefused) {
    TempDir dir;
    const std::string path = dir.path("wide.bmp");
    testimages::writeBytes(path, testimages::bmpHeader(0x6060EAEA, 0, 32));
    Bitmap bmp(path.c_str());
    EXPECT_FALSE(bmp.loaded);
    EXPECT_EQ(bmp.data, nullptr);
    EXPECT_EQ(bmp.error, "Bitmap dimensions are too large");

    // The widest rows that fit still load when there are none of them.
    testimages::writeBytes(path, testimages::bmpHeader(1000, 0, 24));
    EXPECT_TRUE(bmp.loadBMP(path.c_str()));
}

int openFileCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

// Found by fuzz_png under LeakSanitizer: with a handler that returns control to the
// caller, every refused file left its libpng structures, rows, pixels and FILE behind.
TEST_F(PngBadInput, RefusedFilesReleaseWhatTheReadHeld) {
    const std::string good = dir.path("good.png");
    testimages::PngImage img = testimages::blankGrey(3, 2);
    img.rows[0][0] = 0xA0;   // white, black, white over a black row
    ASSERT_TRUE(testimages::writePng(good, img));
    const std::string cut = dir.path("cut.png");
    ASSERT_TRUE(testimages::writePng(cut, testimages::blankGrey(64, 64)));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 30);
    const std::string notPng = write("not.png", "BM not a png at all");

    png_uint_32 width = 0, height = 0;
    png_bytep earlier = read_png_file(good.c_str(), width, height);
    ASSERT_NE(earlier, nullptr);
    const std::vector<uint8_t> before(earlier, earlier + 3 * 2 * 4);

    const int files = openFileCount();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(stoppedBy([&] { read_png_file(cut.c_str(), width, height); }).status, 1);
        EXPECT_EQ(stoppedBy([&] { read_png_file(notPng.c_str(), width, height); }).status, 1);
    }
    EXPECT_EQ(openFileCount(), files);
    // The failures freed their own pixels, never the earlier caller's image.
    EXPECT_EQ(std::vector<uint8_t>(earlier, earlier + 3 * 2 * 4), before);
    std::free(earlier);
}

}  // namespace
