// Interrupts held for a scope and let through again however it ends: the undo state of the stream changes
// under it, and the pipeline starts its threads under it. On POSIX SIGINT and SIGTERM are blocked in the
// calling thread (threads started meanwhile inherit them held); on Windows the console control handler,
// which runs on a thread of its own, waits for the scope to end. One implementation per OS, beside the
// stream output (stream_output_posix.cpp, stream_output_win32.cpp).
#pragma once

#include <memory>

namespace animmake {

class HeldInterrupts {
  public:
    HeldInterrupts();
    ~HeldInterrupts();
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;

  private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace animmake
