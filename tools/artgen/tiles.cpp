// tiles.cpp — the actor tiles: pixel-art sprites enlarged, outlined and shadowed, and their
// derived families (mirrored west views, see-through cloak, fakes marked with the true kind).
#include "artgen.h"

#include <algorithm>

namespace {

constexpr int SCALE = 2;
constexpr int FOOT_Y = 46;       // first tile row below a sprite's feet

// The sprite enlarged and placed centred, standing on FOOT_Y, in an empty tile.
Image placeSprite(const Image& sprite)
{
    if (sprite.width() * SCALE > TILE_W - 2 || sprite.height() * SCALE > FOOT_Y - 1)
        artFail("sprite of " + std::to_string(sprite.width()) + "x" + std::to_string(sprite.height()) +
                " does not fit a tile");
    Image tile(TILE_W, TILE_H);
    Image big = sprite.scaled(SCALE);
    tile.draw(big, (TILE_W - big.width()) / 2, FOOT_Y - big.height());
    return tile;
}

// A one-pixel ring of `colour` around everything the layer covers.
Image outline(const Image& layer, Rgba colour)
{
    Image ring(layer.width(), layer.height());
    for (int y = 0; y < layer.height(); ++y)
        for (int x = 0; x < layer.width(); ++x) {
            if (layer.at(x, y).a == 0 && layer.nearCover(x, y, 1))
                ring.at(x, y) = colour;
        }
    return ring;
}

int spriteWidth(const Image& layer)
{
    int lo = layer.width(), hi = -1;
    for (int y = 0; y < layer.height(); ++y)
        for (int x = 0; x < layer.width(); ++x)
            if (layer.at(x, y).a != 0) {
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
    return hi < lo ? 0 : hi - lo + 1;
}

// Shadow on the ground, then the ring, then the figure.
Image finish(const Image& layer, Rgba ring, uint8_t shadowAlpha)
{
    Image tile(TILE_W, TILE_H);
    float rx = std::max(8.0f, spriteWidth(layer) * 0.42f);
    tile.fillEllipse(TILE_W / 2.0f, FOOT_Y - 1.0f, rx, 3.5f, rgb(0x000000, shadowAlpha));
    tile.draw(outline(layer, ring), 0, 0);
    tile.draw(layer, 0, 0);
    return tile;
}

const Rgba INK = rgb(0x140f1c);

// The player's image worn by an enemy: washed in the enemy's colour and ringed with it.
Image fakeOf(const Image& heroLayer, Rgba tint)
{
    return heroLayer.recoloured([&](Rgba& c) {
        int luma = (c.r * 77 + c.g * 150 + c.b * 29) >> 8;
        Rgba washed{uint8_t(std::min(255, tint.r * (luma + 60) / 255)),
                    uint8_t(std::min(255, tint.g * (luma + 60) / 255)),
                    uint8_t(std::min(255, tint.b * (luma + 60) / 255)), c.a};
        c = mix(c, washed, 0.55f);
    });
}

// The cloaked player: the whole figure there for its player to follow, but veiled: washed in
// the cloak's pale blue and see-through, more so on every other row like a shimmer of heat,
// inside a bright ring with glints that no other tile has. Nothing of it is fully opaque.
Image cloakOf(const Image& heroLayer)
{
    Image body = heroLayer.recoloured([](Rgba& c) { c = mix(c, rgb(0xa8e0ff, c.a), 0.45f); });
    for (int y = 0; y < body.height(); ++y)
        for (int x = 0; x < body.width(); ++x) {
            Rgba& c = body.at(x, y);
            c.a = uint8_t(c.a * (y % 2 == 0 ? 85 : 55) / 100);
        }
    Image tile(TILE_W, TILE_H);
    tile.draw(outline(heroLayer, rgb(0x7ce8ff, 240)), 0, 0);
    tile.draw(body, 0, 0);
    // A few glints along the ring, placed by a fixed rule so every facing sparkles alike.
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x)
            if (tile.at(x, y).a == 240 && noise(x, y, 7) < 40)
                tile.at(x, y) = rgb(0xffffff, 250);
    return tile;
}

struct Family {
    const char* stem;      // file stem of the four tiles, before "_back" etc.
    const char* sprites;   // sprite file stem
};

}

TileSet buildActorTiles(const std::string& spriteDir)
{
    Palette pal = loadPalette(spriteDir + "/palette.txt");
    auto sprite = [&](const std::string& name) { return loadPixelArt(spriteDir + "/" + name + ".txt", pal); };

    // Each family in its four facings, as placed layers before finishing.
    auto facings = [&](const std::string& base) {
        std::map<std::string, Image> f;
        f["back"] = placeSprite(sprite(base + "_back"));
        f["front"] = placeSprite(sprite(base + "_front"));
        f["right"] = placeSprite(sprite(base + "_right"));
        f["left"] = f["right"].mirrored();
        return f;
    };

    TileSet out;
    const auto hero = facings("hero");
    for (const Family& fam : {Family{"hero", "hero"}, Family{"g1", "g1"}, Family{"dog", "dog"},
                              Family{"command", "command"}}) {
        for (const auto& [facing, layer] : facings(fam.sprites))
            out[std::string(fam.stem) + "_" + facing] = finish(layer, INK, 90);
    }

    // A fake wears the player's image; a small figure of the enemy it really is, in the same
    // facing, stands in the corner so the player can still tell what lies beneath.
    struct Fake {
        const char* stem;
        const char* enemy;
        uint32_t tint;
    };
    for (const Fake& fk : {Fake{"g1fake", "g1", 0x5a8cff}, Fake{"dogfake", "dog", 0xd89040},
                           Fake{"commandfake", "command", 0xff5050}}) {
        for (const auto& [facing, layer] : hero) {
            Image mini = facing == "left" ? sprite(fk.enemy + std::string("_right")).mirrored()
                                          : sprite(fk.enemy + std::string("_") + facing);
            Image marker(TILE_W, TILE_H);
            // In the corner behind the player's face, so the two never overlap.
            marker.draw(mini, facing == "right" ? 1 : TILE_W - mini.width() - 1, 1);
            Image tile = finish(fakeOf(layer, rgb(fk.tint)), rgb(fk.tint), 90);
            tile.draw(outline(marker, rgb(fk.tint)), 0, 0);
            tile.draw(marker, 0, 0);
            out[std::string(fk.stem) + "_" + facing] = tile;
        }
    }

    for (const auto& [facing, layer] : hero)
        out["cloak_" + facing] = cloakOf(layer);

    out["pizza"] = finish(placeSprite(sprite("pizza")), INK, 70);
    out["bones"] = finish(placeSprite(sprite("bones")), INK, 60);
    return out;
}
