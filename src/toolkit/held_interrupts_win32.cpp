#include "toolkit/held_interrupts.h"

#include <windows.h>

namespace toolkit {
namespace {

// Made before main runs, so before any control handler can be installed.
struct InterruptLock {
    InterruptLock() { InitializeCriticalSection(&section); }
    CRITICAL_SECTION section;
} interruptLock;

}  // namespace

struct HeldInterrupts::Saved {};

HeldInterrupts::HeldInterrupts() {
    EnterCriticalSection(&interruptLock.section);
}

HeldInterrupts::~HeldInterrupts() {
    LeaveCriticalSection(&interruptLock.section);
}

}  // namespace toolkit
