// Photo-like source frames for animmake's benchmarks, made with libvips and the same for every run: a sky
// gradient over textured hills, soft clouds, sensor-like grain, and a shaded ball that moves from frame to
// frame while everything else stays still.
//
//   make_photo_frames WIDTH HEIGHT COUNT FOLDER png|jpg [SCALE]
//
// With SCALE > 1 each frame is drawn SCALE times larger and reduced with libvips, as a camera's frames are
// reduced: texture stays, pixel-level grain mostly averages out.
#include <vips/vips8>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using vips::VImage;

namespace {

VImage positive(const VImage& image) {
    return (image > 0.0).ifthenelse(image, 0.0);
}

VImage background(int width, int height) {
    const VImage xy = VImage::xyz(width, height).cast(VIPS_FORMAT_FLOAT);
    const VImage fx = xy[0] / width;
    const VImage fy = xy[1] / height;
    const VImage sky = (fy * 80 + 90).bandjoin(fy * 70 + 140).bandjoin(fy * -30 + 230);
    const int cell = std::max(4, width / 6);
    const VImage relief =
        VImage::perlin(width, height, VImage::option()->set("cell_size", cell)->set("seed", 7));
    const VImage fine = VImage::perlin(
        width, height, VImage::option()->set("cell_size", std::max(2, width / 40))->set("seed", 11));
    const VImage shade = relief * 0.7 + fine * 0.3;
    const VImage ground =
        (shade * 60 + 110 - fy * 40).bandjoin(shade * 50 + 125 - fy * 30).bandjoin(shade * 30 + 55);
    const VImage horizon = (fx * 9).sin() * 0.08 + (fx * 23 + 1).sin() * 0.04 + 0.55;
    VImage scene = (fy > horizon).ifthenelse(ground, sky);
    // Soft clouds: bright discs with wide falloff.
    const double cloudX[] = {0.2, 0.45, 0.8};
    const double cloudY[] = {0.18, 0.12, 0.25};
    for (int i = 0; i < 3; ++i) {
        const VImage dx = fx - cloudX[i];
        const VImage dy = (fy - cloudY[i]) * 2.0;
        const VImage d = (dx * dx + dy * dy).pow(0.5);
        const VImage weight = positive(d * -8.0 + 1.0) * 0.8;
        scene = scene * (1.0 - weight) + weight * 245.0;
    }
    const VImage grain = VImage::gaussnoise(
        width, height, VImage::option()->set("sigma", 4.0)->set("mean", 0.0)->set("seed", 3));
    return scene + grain;
}

VImage withBall(const VImage& scene, int frame, int count) {
    const int width = scene.width();
    const int height = scene.height();
    const double t = count > 1 ? double(frame) / (count - 1) : 0.0;
    const double cx = width * (0.1 + 0.8 * t);
    const double cy = height * (0.5 - 0.25 * std::sin(t * 3.14159 * 3));
    const double radius = height / 9.0;
    const VImage xy = VImage::xyz(width, height).cast(VIPS_FORMAT_FLOAT);
    const VImage dx = (xy[0] - cx) / radius;
    const VImage dy = (xy[1] - cy) / radius;
    const VImage r2 = dx * dx + dy * dy;
    const VImage nz = positive(1.0 - r2).pow(0.5);
    const VImage light = positive(nz * 0.6 + dx * -0.25 + dy * -0.25 + 0.45);
    const VImage ball = (light * 230).bandjoin(light * 70).bandjoin(light * 50);
    return (r2 < 1.0).ifthenelse(ball, scene);
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0 || (argc != 6 && argc != 7)) {
        std::fprintf(stderr, "usage: make_photo_frames WIDTH HEIGHT COUNT FOLDER png|jpg [SCALE]\n");
        return 2;
    }
    const int scale = argc == 7 ? std::max(1, std::atoi(argv[6])) : 1;
    const int width = std::atoi(argv[1]) * scale;
    const int height = std::atoi(argv[2]) * scale;
    const int count = std::atoi(argv[3]);
    const std::string folder = argv[4];
    const std::string format = argv[5];
    // The still part is computed once and held in memory; each frame adds the ball.
    const VImage scene = background(width, height).copy_memory();
    for (int frame = 0; frame < count; ++frame) {
        char name[64];
        std::snprintf(name, sizeof name, "/frame-%04d.%s", frame + 1, format.c_str());
        VImage drawn = withBall(scene, frame, count);
        if (scale > 1) {
            drawn = drawn.resize(1.0 / scale);
        }
        const VImage picture = drawn.cast(VIPS_FORMAT_UCHAR)
                                   .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        if (format == "jpg") {
            picture.jpegsave((folder + name).c_str(), VImage::option()->set("Q", 90));
        } else {
            picture.pngsave((folder + name).c_str());
        }
    }
    return 0;
}
