// The GIF and PNG files animdump writes, read back with giflib and libpng and compared pixel for pixel with
// the quantized colours of animconv's source frames.
#include "animdump/image_files.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "bmp/bmp.h"
#include "stream_frames.h"

namespace dumptest {
namespace {

using namespace testsupport;

using Colours = std::vector<Rgb>;

struct GifContents {
    std::vector<Colours> frames;
    std::vector<int> delays;
    std::vector<std::array<int, 4>> places;  // left, top, width, height of each image
    bool loops = false;
    std::string signature;
};

GifContents readGif(const std::string& path) {
    GifContents contents;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (gif == nullptr) {
        ADD_FAILURE() << "cannot open " << path << ": " << GifErrorString(error);
        return contents;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        ADD_FAILURE() << "cannot read " << path << ": " << GifErrorString(gif->Error);
        DGifCloseFile(gif, &error);
        return contents;
    }
    EXPECT_EQ(gif->SWidth, 190);
    EXPECT_EQ(gif->SHeight, 170);
    // Each image is drawn over what the previous ones left (animdump's images are never disposed), its
    // transparent pixels keeping it.
    Colours canvas(animconv::kFramePixels);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& place = image.ImageDesc;
        EXPECT_TRUE(place.Left >= 0 && place.Top >= 0 && place.Left + place.Width <= 190 &&
                    place.Top + place.Height <= 170)
            << "image " << i;
        const ColorMapObject* map = place.ColorMap != nullptr ? place.ColorMap : gif->SColorMap;
        GraphicsControlBlock control;
        const bool haveControl = DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK;
        EXPECT_TRUE(!haveControl || control.DisposalMode == DISPOSE_DO_NOT) << "image " << i;
        for (int y = 0; y < place.Height; ++y) {
            for (int x = 0; x < place.Width; ++x) {
                const GifByteType slot = image.RasterBits[y * place.Width + x];
                if (haveControl && slot == control.TransparentColor) {
                    continue;
                }
                const GifColorType& c = map->Colors[slot];
                canvas[static_cast<std::size_t>((place.Top + y) * 190 + place.Left + x)] =
                    Rgb{c.Red, c.Green, c.Blue};
            }
        }
        contents.frames.push_back(canvas);
        contents.places.push_back({place.Left, place.Top, place.Width, place.Height});
        contents.delays.push_back(haveControl ? control.DelayTime : -1);
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            const ExtensionBlock& next = image.ExtensionBlocks[e + 1];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && next.ByteCount == 3 &&
                next.Bytes[0] == 1 && next.Bytes[1] == 0 && next.Bytes[2] == 0) {
                contents.loops = true;
            }
        }
    }
    DGifCloseFile(gif, &error);
    const std::vector<std::uint8_t> bytes = readFile(path).value_or(Bytes{});
    contents.signature = std::string(bytes.begin(), bytes.begin() + 6);
    return contents;
}

Colours readPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        ADD_FAILURE() << "cannot open " << path << ": " << image.message;
        return {};
    }
    EXPECT_EQ(image.width, 190u);
    EXPECT_EQ(image.height, 170u);
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
        ADD_FAILURE() << "cannot read " << path << ": " << image.message;
        return {};
    }
    Colours colours;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        colours.push_back(Rgb{rgb[i], rgb[i + 1], rgb[i + 2]});
    }
    return colours;
}

std::size_t mismatches(const Colours& actual, const Colours& expected) {
    if (actual.size() != expected.size()) {
        return std::max(actual.size(), expected.size());
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (!(actual[i] == expected[i])) {
            ++count;
        }
    }
    return count;
}

TEST(GifDelay, WaitByteTimesScaleRoundedToHundredths) {
    struct Case {
        std::uint8_t wait;
        std::uint32_t scale;
        std::uint16_t delay;
    };
    const Case cases[] = {
        {10, 1000, 10},       {0, 1000, 0}, {255, 1000, 255}, {10, 1500, 15},        {3, 0, 0},
        {1, 500, 1},          {1, 499, 0},  {7, 250, 2},      {255, 1000000, 65535}, {255, 257000, 65535},
        {255, 256000, 65280},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(animconv::gifDelay(c.wait, c.scale), c.delay) << int{c.wait} << " x " << c.scale;
    }
}

TEST(AnimdumpImages, GifAndPngMatchTheQuantizedSources) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string streamPath = folder + "/anim.bin";
    // A last frame that changes nothing: the GIF shows the one before it for both delays.
    std::vector<SourceFrame> frames = mixedDepthFrames();
    frames.push_back(frames.back());
    frames.back().wait = 9;
    ASSERT_EQ(convertFrames(ANIMCONV_PATH, frames, "use0xfe", streamPath, folder).status, 0);

    const std::string gifPath = folder + "/anim.gif";
    const std::string pngFolder = folder + "/frames";
    const ProcessResult result = runProgram(
        ANIMDUMP_PATH, {"--gif", gifPath, "--delay-scale", "1.5", "--png", pngFolder, streamPath}, folder);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const GifContents gif = readGif(gifPath);
    EXPECT_EQ(gif.signature, "GIF89a");
    EXPECT_TRUE(gif.loops);
    ASSERT_EQ(gif.frames.size(), frames.size() - 1);
    // Frames after the first store the rectangle around their changed pixels.
    EXPECT_EQ(gif.places[0], (std::array<int, 4>{0, 0, 190, 170}));
    EXPECT_EQ(gif.places[2], (std::array<int, 4>{20, 30, 40, 50}));
    EXPECT_EQ(gif.places[5], (std::array<int, 4>{5, 0, 1, 1}));
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const auto delay = [&](std::size_t frame) { return (frames[frame].wait * 3 + 1) / 2; };
        if (f + 1 < frames.size()) {
            EXPECT_EQ(mismatches(gif.frames[f], frames[f].quantized), 0u) << "GIF frame " << f + 1;
            EXPECT_EQ(gif.delays[f], f + 2 < frames.size() ? delay(f) : delay(f) + delay(f + 1))
                << "GIF frame " << f + 1;
        }
        EXPECT_EQ(mismatches(readPng(pngFolder + "/" + animdump::pngName(f + 1)), frames[f].quantized), 0u)
            << "PNG frame " << f + 1;
    }
    EXPECT_FALSE(std::filesystem::exists(pngFolder + "/" + animdump::pngName(frames.size() + 1)));
}

// The sample animation of examples/, converted in delta mode: valid, and its GIF shows the sources'
// quantized colours with the default delay (the wait byte).
TEST(AnimdumpImages, SampleAnimation) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string streamPath = folder + "/anim.bin";
    std::vector<std::string> arguments = {"use0xfe", streamPath};
    std::vector<Colours> expected;
    for (int i = 1; i <= 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/examples/frame-%02d.bmp", i);
        const std::string path = std::string(ANIMCONV_SOURCE_DIR) + name;
        arguments.push_back(path);
        arguments.push_back(std::to_string(i * 5));
        std::vector<std::uint8_t> bmp = readFile(path).value_or(Bytes{});
        ASSERT_FALSE(bmp.empty()) << path;
        std::vector<std::uint8_t> pixels(animconv::kFramePixels * 4);
        ASSERT_EQ(animconv::bmpDecode(bmp.data(), bmp.size(), pixels.data(), 0), 0) << path;
        Colours colours;
        for (std::size_t p = 0; p < pixels.size(); p += 4) {
            auto cut = [](std::uint8_t c) { return static_cast<std::uint8_t>(c / 51 * 51); };
            colours.push_back(Rgb{cut(pixels[p + 2]), cut(pixels[p + 1]), cut(pixels[p])});
        }
        expected.push_back(colours);
    }
    ASSERT_EQ(runProgram(ANIMCONV_PATH, arguments, folder).status, 0);

    const std::string gifPath = folder + "/anim.gif";
    const ProcessResult result = runProgram(ANIMDUMP_PATH, {"--gif", gifPath, streamPath}, folder);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("total: 12 frames,"), std::string::npos) << result.out;
    EXPECT_TRUE(result.out.ends_with("\nvalid\n")) << result.out;

    const GifContents gif = readGif(gifPath);
    ASSERT_EQ(gif.frames.size(), 12u);
    for (std::size_t f = 0; f < 12; ++f) {
        EXPECT_EQ(mismatches(gif.frames[f], expected[f]), 0u) << "frame " << f + 1;
        EXPECT_EQ(gif.delays[f], static_cast<int>(f + 1) * 5) << "frame " << f + 1;
    }
}

}  // namespace
}  // namespace dumptest
