// pictureFit.cpp — the whole-multiple scaling rule for the window's picture.
#include "pictureFit.h"

#include <algorithm>
#include <cmath>

PictureFit fitPicture(int window_w, int window_h, int picture_w, int picture_h) {
    PictureFit fit;
    if (window_w <= 0 || window_h <= 0 || picture_w <= 0 || picture_h <= 0) {
        fit.scale = 0;
        fit.zoom = 0.0f;
        return fit;
    }
    const int scale = std::min(window_w / picture_w, window_h / picture_h);
    if (scale >= 1) {
        fit.scale = scale;
        fit.zoom = static_cast<float>(scale);
        fit.width = picture_w * scale;
        fit.height = picture_h * scale;
    } else {
        // The tighter direction fills the window exactly; the other one rounds
        // down, so the picture never spills over an edge.
        fit.scale = 0;
        const bool widthBinds = static_cast<long long>(window_w) * picture_h <=
                                static_cast<long long>(window_h) * picture_w;
        if (widthBinds) {
            fit.width = window_w;
            fit.height = std::max(1, static_cast<int>(static_cast<long long>(picture_h) * window_w / picture_w));
            fit.zoom = static_cast<float>(window_w) / picture_w;
        } else {
            fit.height = window_h;
            fit.width = std::max(1, static_cast<int>(static_cast<long long>(picture_w) * window_h / picture_h));
            fit.zoom = static_cast<float>(window_h) / picture_h;
        }
    }
    fit.x = (window_w - fit.width) / 2;
    fit.y = (window_h - fit.height) / 2;
    return fit;
}
