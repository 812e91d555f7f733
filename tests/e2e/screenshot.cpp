#include "screenshot.h"

#include <array>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_set>

namespace {

std::array<bool, 256> displayableLevels() {
    std::array<bool, 256> levels{};
    for (int level = 0; level < 64; ++level) {
        levels[level * 255 / 63] = true;
    }
    return levels;
}

std::uint32_t packed(const Rgb& colour) {
    return static_cast<std::uint32_t>(colour.red) << 16 | static_cast<std::uint32_t>(colour.green) << 8 |
           colour.blue;
}

} // namespace

std::string describe(const Rect& rect) {
    std::ostringstream text;
    text << rect.width << "x" << rect.height << " at (" << rect.left << "," << rect.top << ")";
    return text.str();
}

std::string describe(const Rgb& colour) {
    std::ostringstream text;
    text << "(" << int(colour.red) << "," << int(colour.green) << "," << int(colour.blue) << ")";
    return text.str();
}

bool isDisplayableIntensity(std::uint8_t value) {
    static const std::array<bool, 256> levels = displayableLevels();
    return levels[value];
}

PixelCounts countPixels(const Screenshot& picture, const Rect& inside) {
    PixelCounts counts;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgb& pixel = picture.at(x, y);
            const bool in = inside.contains(x, y);
            if (!pixel.isBlack()) {
                (in ? counts.nonBlackInside : counts.nonBlackOutside) += 1;
                if (!in && counts.firstOutsideX < 0) {
                    counts.firstOutsideX = x;
                    counts.firstOutsideY = y;
                }
            } else if (in) {
                counts.blackInside += 1;
            }
            if (!isDisplayableIntensity(pixel.red) || !isDisplayableIntensity(pixel.green) ||
                !isDisplayableIntensity(pixel.blue)) {
                if (counts.undisplayable == 0) {
                    counts.firstUndisplayable = pixel;
                    counts.firstUndisplayableX = x;
                    counts.firstUndisplayableY = y;
                }
                counts.undisplayable += 1;
            }
        }
    }
    return counts;
}

std::size_t distinctColours(const Screenshot& picture) {
    std::unordered_set<std::uint32_t> colours;
    for (const Rgb& pixel : picture.pixels) {
        colours.insert(packed(pixel));
    }
    return colours.size();
}

Commonest commonestColour(const Screenshot& picture) {
    std::map<std::uint32_t, long> counts;
    for (const Rgb& pixel : picture.pixels) {
        counts[packed(pixel)] += 1;
    }
    Commonest best{{0, 0, 0}, 0};
    for (const auto& [colour, count] : counts) {
        if (count > best.count) {
            best = {{static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                     static_cast<std::uint8_t>(colour)},
                    count};
        }
    }
    return best;
}

long countOutside(const Screenshot& picture, const Rect& area, const Rgb& colour) {
    long count = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            count += !area.contains(x, y) && picture.at(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

long nonBlackInPatch(const Screenshot& picture, int left, int top, int size) {
    long count = 0;
    for (int y = top; y < top + size; ++y) {
        for (int x = left; x < left + size; ++x) {
            count += picture.at(x, y).isBlack() ? 0 : 1;
        }
    }
    return count;
}

BlockCounts countMixedBlocks(const Screenshot& picture, const Rect& area, int scale) {
    BlockCounts counts;
    for (int top = area.top; top + scale <= area.top + area.height; top += scale) {
        for (int left = area.left; left + scale <= area.left + area.width; left += scale) {
            counts.blocks += 1;
            const Rgb& first = picture.at(left, top);
            bool uniform = true;
            bool allNonBlack = true;
            for (int y = top; y < top + scale; ++y) {
                for (int x = left; x < left + scale; ++x) {
                    uniform = uniform && picture.at(x, y) == first;
                    allNonBlack = allNonBlack && !picture.at(x, y).isBlack();
                }
            }
            if (!uniform) {
                counts.mixed += 1;
                counts.mixedNonBlackOnly += allNonBlack ? 1 : 0;
                if (counts.firstMixedX < 0) {
                    counts.firstMixedX = left;
                    counts.firstMixedY = top;
                }
            }
        }
    }
    return counts;
}

void writePpm(const Screenshot& picture, const std::string& path) {
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    for (const Rgb& pixel : picture.pixels) {
        file.put(static_cast<char>(pixel.red)).put(static_cast<char>(pixel.green)).put(static_cast<char>(pixel.blue));
    }
}
