// main.cpp — artgen: writes every tile and screen image of the game.
//   artgen [--out DIR] [--sources DIR]
// DIR/tiles gets the 5 terrain BMPs and 34 actor PNGs, DIR/screens the title and ending BMPs,
// DIR/icons the desktop icon in the hicolor theme's layout, ready to install under share/icons.
#include "artgen.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv)
{
    std::string out = "assets";
    std::string sources = ARTGEN_SOURCE_DIR;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--out") == 0)
            out = argv[++i];
        else if (i + 1 < argc && std::strcmp(argv[i], "--sources") == 0)
            sources = argv[++i];
        else {
            std::fprintf(stderr, "usage: artgen [--out DIR] [--sources DIR]\n");
            return 2;
        }
    }

    std::error_code ec;
    std::filesystem::create_directories(out + "/tiles", ec);
    std::filesystem::create_directories(out + "/screens", ec);

    const TileSet actors = buildActorTiles(sources + "/sprites");
    const TileSet terrain = buildTerrainTiles();
    TileSet all = actors;
    all.insert(terrain.begin(), terrain.end());
    const Font font(sources + "/font.txt");

    int written = 0;
    auto check = [&](bool ok, const std::string& path) {
        if (!ok)
            artFail("cannot write " + path);
        ++written;
    };
    for (const auto& [stem, img] : terrain) {
        std::string path = out + "/tiles/" + stem + ".bmp";
        check(writeBmp24(img, path), path);
    }
    for (const auto& [stem, img] : actors) {
        std::string path = out + "/tiles/" + stem + ".png";
        check(writePng(img, path), path);
    }
    check(writeBmp24(buildTitleScreen(font, all), out + "/screens/title.bmp"), out + "/screens/title.bmp");
    check(writeBmp24(buildEndingScreen(font, all), out + "/screens/ending.bmp"), out + "/screens/ending.bmp");
    for (int size : ICON_SIZES) {
        const std::string dir = out + "/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        std::filesystem::create_directories(dir, ec);
        check(writePng(buildIcon(size, sources + "/sprites"), dir + "/veilwalker.png"), dir + "/veilwalker.png");
    }
    std::printf("artgen: wrote %d images under %s\n", written, out.c_str());
    return 0;
}
