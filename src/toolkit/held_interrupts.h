// Interrupts held for a scope and let through again however it ends: the undo state of animmake's stream
// changes under it, and its pipeline starts its threads under it. On POSIX SIGINT and SIGTERM are blocked in
// the calling thread (threads started meanwhile inherit them held); on Windows a console control handler,
// which runs on a thread of its own, holds them too while it works, and so waits for the scope to end.
#pragma once

#include <memory>

namespace toolkit {

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

}  // namespace toolkit
