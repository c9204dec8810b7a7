#include "make_test_support.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace maketest {

using vips::VImage;

Bytes readBytes(const std::string& path) {
    return testsupport::readFile(path).value_or(Bytes{});
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    testsupport::writeFile(path, bytes);
}

ProcessResult animmake(const std::vector<std::string>& arguments, const std::string& folder) {
    return testsupport::runProgram(ANIMMAKE_PATH, arguments, folder);
}

VImage photoLike(int width, int height, int shift) {
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0];
    const VImage y = xy[1];
    const VImage red = x * (255.0 / width);
    const VImage green = y * (255.0 / height);
    const VImage blue = (x + y).sin() * 40 + 128 + (x * 0.3).cos() * 20;
    VImage picture = red.bandjoin(green)
                         .bandjoin(blue)
                         .cast(VIPS_FORMAT_UCHAR)
                         .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const VImage square = solid(30, 30, Rgb{240, 30, 90});
    return picture.insert(square, 10 + shift, height / 3);
}

VImage solid(int width, int height, Rgb colour) {
    return (VImage::black(width, height, VImage::option()->set("bands", 3)) +
            std::vector<double>{double(colour.red), double(colour.green), double(colour.blue)})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void saveAnimatedGif(const std::vector<VImage>& pages, const std::vector<int>& delaysMs,
                     const std::string& path) {
    VImage stacked = VImage::arrayjoin(pages, VImage::option()->set("across", 1)).copy();
    stacked.set("page-height", pages.front().height());
    std::vector<int> delays = delaysMs;
    stacked.set("delay", delays.data(), static_cast<int>(delays.size()));
    stacked.gifsave(path.c_str(), VImage::option()->set("dither", 0.0));
}

bool makeStream(const std::string& folder, const std::string& name,
                const std::vector<std::pair<VImage, int>>& pictures,
                const std::vector<std::string>& options) {
    std::string list;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string picture = folder + "/" + name + "-" + std::to_string(i + 1) + ".png";
        pictures[i].first.pngsave(picture.c_str());
        list += picture + "\t" + std::to_string(pictures[i].second) + "\n";
    }
    writeBytes(folder + "/" + name + ".txt", Bytes(list.begin(), list.end()));
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"-q", "-f", "-o", name, "@" + name + ".txt"});
    const ProcessResult result = animmake(arguments, folder);
    EXPECT_EQ(result.status, 0) << name << ": " << result.err;
    return result.status == 0;
}

std::vector<StreamFrame> readStream(const std::string& path) {
    return testsupport::decodeStream(readBytes(path));
}

int interruptedRun(const std::vector<std::string>& arguments, const std::string& folder, int signal,
                   bool (*ready)(const std::string& folder, int processId)) {
    testsupport::ProcessOptions options;
    options.onStart = [&](int child) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!ready(folder, child) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(ready(folder, child)) << "the run never reached the point to interrupt";
        ::kill(child, signal);
    };
    std::vector<std::string> all{ANIMMAKE_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const testsupport::ProcessRun run = testsupport::runProcess(ANIMMAKE_PATH, all, folder, options);
    return run.exited ? static_cast<int>(run.status) : -1;
}

// Linux shows an unnamed temporary file among a process's descriptors as "FOLDER/#INODE (deleted)".
bool writesTemporaryStream(int processId, std::uint64_t bytes) {
    std::error_code code;
    const std::string descriptors = "/proc/" + std::to_string(processId) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(descriptors, code)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), code).string();
        const bool temporary =
            target.find(".animmake-") != std::string::npos ||
            (target.find("/#") != std::string::npos && target.find("(deleted)") != std::string::npos);
        std::error_code sizeCode;
        if (temporary && std::filesystem::file_size(entry.path(), sizeCode) > bytes && !sizeCode) {
            return true;
        }
    }
    return false;
}

}  // namespace maketest

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0) {
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
