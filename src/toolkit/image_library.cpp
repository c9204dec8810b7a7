#include "toolkit/image_library.h"

#include <vips/vips.h>

namespace imagelibrary {

ImageLibrary::ImageLibrary(const char* program, const Configuration& configuration)
    : started_(VIPS_INIT(program) == 0) {
    if (!started_) {
        failure_ = vips_error_buffer();
        return;
    }
    if (configuration.quiet) {
        g_log_set_handler(
            "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    }
    if (!configuration.cached) {
        vips_cache_set_max(0);
        vips_cache_set_max_mem(0);
        vips_cache_set_max_files(0);
    }
    if (configuration.threads > 0) {
        vips_concurrency_set(configuration.threads);
    }
}

ImageLibrary::~ImageLibrary() {
    if (started_) {
        vips_shutdown();
    }
}

ImageLibraryThread::~ImageLibraryThread() {
    vips_thread_shutdown();
}

}  // namespace imagelibrary
