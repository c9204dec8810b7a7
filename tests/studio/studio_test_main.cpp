// The studio's tests run its session and server in this process: libvips is started once, as main does.
#include <gtest/gtest.h>

#include "make/inputs/video_source.h"
#include "toolkit/image_library.h"
#include "toolkit/translation.h"

int main(int argc, char** argv) {
    toolkit::startTranslation();
    testing::InitGoogleTest(&argc, argv);
    const imagelibrary::ImageLibrary library(argv[0], {.quiet = true, .cached = false, .threads = 1});
    if (!library.started()) {
        return 1;
    }
    animmake::configureVideoLibrary();
    return RUN_ALL_TESTS();
}
