// The floor for animmake's speed: every input decoded in full by libvips and nothing else, on as many
// threads as animmake uses, with the same library settings (no operation cache, one libvips thread per
// pipeline).
//
//   vips_decode_floor INPUT...
#include <vips/vips8>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0 || argc < 2) {
        std::fprintf(stderr, "usage: vips_decode_floor INPUT...\n");
        return 2;
    }
    vips_cache_set_max(0);
    vips_concurrency_set(1);
    std::atomic<int> next{1};
    std::atomic<int> failures{0};
    auto work = [&] {
        for (int i = next++; i < argc; i = next++) {
            try {
                const vips::VImage image = vips::VImage::new_from_file(
                    argv[i], vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
                std::size_t size = 0;
                g_free(image.write_to_memory(&size));
            } catch (const vips::VError&) {
                ++failures;
            }
        }
    };
    std::vector<std::thread> threads;
    const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1U, 16U);
    for (unsigned t = 0; t < count; ++t) {
        threads.emplace_back(work);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return failures == 0 ? 0 : 1;
}
