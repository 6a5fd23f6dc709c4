// Threads: a guard is made and dropped by whichever thread maps a file: the thread that
// creates a stream (the head of an MP3's frames) and each stream's decoder thread (the rest
// of them, a step at a time). The SIGBUS handler runs on the thread whose read faulted and reads
// the same slots. A handler may take no lock, so each slot is claimed with an atomic
// exchange and its range published with release stores before the mapping is read; the
// handler reads them with acquire loads. A slot is cleared only after its mapping's reads
// are over.
#include "mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace engine {
namespace {

// Mappings read at the same moment: one per stream being created or walking the frames of
// its file, each for a few milliseconds at a time; far fewer than this.
constexpr int kSlots = 16;

struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> faulted{false};
};

Slot g_slots[kSlots];
std::uintptr_t g_page = 4096;
struct sigaction g_previous {};
std::once_flag g_installed;

// A fault that is none of ours goes to the handler that was there before, or ends the
// process as it would have without this one.
void PassOn(int signal, siginfo_t *info, void *context) {
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    // Back to the default: the faulting read runs again on return and ends the process.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(SIGBUS, &standard, nullptr);
}

void OnBusError(int signal, siginfo_t *info, void *context) {
    const int saved_errno = errno;
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot &slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
        if (begin == 0 || at < begin || at >= end) continue;
        // The page the file no longer has becomes a private page of zeros; the read then
        // goes on and finds no MP3 frame there.
        void *page = reinterpret_cast<void *>(at & ~(g_page - 1));
        if (mmap(page, g_page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
            MAP_FAILED)
            break;
        slot.faulted.store(true, std::memory_order_relaxed);
        errno = saved_errno;
        return;
    }
    errno = saved_errno;
    PassOn(signal, info, context);
}

void Install() {
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) g_page = static_cast<std::uintptr_t>(page);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

}  // namespace

MappingGuard::MappingGuard(const void *begin, std::size_t size) {
    if (!begin || size == 0) return;
    std::call_once(g_installed, Install);
    for (int i = 0; i < kSlots; ++i) {
        if (g_slots[i].taken.exchange(true, std::memory_order_acquire)) continue;
        const auto first = reinterpret_cast<std::uintptr_t>(begin);
        g_slots[i].faulted.store(false, std::memory_order_relaxed);
        g_slots[i].end.store(first + size, std::memory_order_release);
        g_slots[i].begin.store(first, std::memory_order_release);
        slot_ = i;
        return;
    }
}

MappingGuard::~MappingGuard() {
    if (slot_ < 0) return;
    g_slots[slot_].begin.store(0, std::memory_order_release);
    g_slots[slot_].end.store(0, std::memory_order_release);
    g_slots[slot_].taken.store(false, std::memory_order_release);
}

bool MappingGuard::Faulted() const {
    return slot_ >= 0 && g_slots[slot_].faulted.load(std::memory_order_relaxed);
}

}  // namespace engine
