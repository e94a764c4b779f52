// pictureFit.h — where the 800 × 600 picture goes in a window of any size, kept free of OpenGL.
#pragma once

// The picture's place in the window, in window pixels from the bottom left. A
// window that holds the picture once or more shows it at the largest whole
// multiple that fits (`zoom` = `scale`, every pixel a scale × scale block); a
// smaller one shows it shrunk to fit (`scale` 0, `zoom` below 1). Either way it
// is centred, the rest of the window black.
struct PictureFit {
    int scale = 1;      // the whole multiple, or 0 when the picture is shrunk
    float zoom = 1.0f;  // what glPixelZoom gets
    int x = 0, y = 0;   // the picture's lower-left corner
    int width = 0, height = 0;  // the pixels it covers

    bool operator==(const PictureFit&) const = default;
};

// The fit of a picture_w × picture_h picture in a window_w × window_h window. A
// window of no pixels in either direction gets an empty fit.
PictureFit fitPicture(int window_w, int window_h, int picture_w, int picture_h);
