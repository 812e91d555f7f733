// Saves the root window of an X display as a PNG: how the README's picture is made.
//   screenshot OUTPUT.png   (the display is taken from DISPLAY)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "screenshot: cannot open the X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        std::fprintf(stderr, "screenshot: cannot read the screen\n");
        return 1;
    }

    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image->width, image->height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(image->width) * 3);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            row[x * 3 + 0] = static_cast<png_byte>((pixel & image->red_mask) >> __builtin_ctzl(image->red_mask));
            row[x * 3 + 1] = static_cast<png_byte>((pixel & image->green_mask) >> __builtin_ctzl(image->green_mask));
            row[x * 3 + 2] = static_cast<png_byte>((pixel & image->blue_mask) >> __builtin_ctzl(image->blue_mask));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
