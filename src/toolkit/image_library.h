// libvips from its start to its shutdown, for each program that uses it: animmake, and animdump's image
// writer in the Windows build. Links libvips alone, so that both can hold it.
#pragma once

#include <string>

namespace imagelibrary {

// What a program changes from libvips' defaults, once, right after the start.
struct Configuration {
    bool quiet = false;  // libvips' own warnings dropped: the program reports each failure once, itself
    bool cached = true;  // false: no operation cache (every image is loaded once)
    int threads = 0;     // libvips' worker threads per image pipeline; 0 keeps its default
};

// One per run: started before any other use of libvips and gone after all of it (the threads that used it
// joined, every image released). Its shutdown stops libvips' own threads too, so that none is left
// running while the process exits.
class ImageLibrary {
  public:
    ImageLibrary(const char* program, const Configuration& configuration);
    ~ImageLibrary();
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;

    bool started() const { return started_; }
    // libvips' own words on why it did not start.
    const std::string& failure() const { return failure_; }

  private:
    bool started_;
    std::string failure_;
};

// Held by every other thread that uses libvips, for as long as it does: libvips keeps buffers for each
// thread that used it, and they go before the thread does.
class ImageLibraryThread {
  public:
    ImageLibraryThread() = default;
    ~ImageLibraryThread();
    ImageLibraryThread(const ImageLibraryThread&) = delete;
    ImageLibraryThread& operator=(const ImageLibraryThread&) = delete;
};

}  // namespace imagelibrary
