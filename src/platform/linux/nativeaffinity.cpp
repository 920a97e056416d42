#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/linux/nativeplatform.h"

namespace platform::native {
namespace {

// A CPU set large enough for every processor the system may bring online.
class CpuSet {
public:
    CpuSet() : count_(capacity()), set_(CPU_ALLOC(count_), &freeSet) { CPU_ZERO_S(bytes(), set_.get()); }
    std::size_t bytes() const { return CPU_ALLOC_SIZE(count_); }
    int count() const { return count_; }
    cpu_set_t* get() { return set_.get(); }

private:
    static int capacity() {
        const long configured = ::sysconf(_SC_NPROCESSORS_CONF);
        return configured > 1024 ? static_cast<int>(configured) : 1024;
    }
    static void freeSet(cpu_set_t* set) { CPU_FREE(set); }

    int count_;
    std::unique_ptr<cpu_set_t, void (*)(cpu_set_t*)> set_;
};

}  // namespace

std::vector<std::uint64_t> NativePlatform::affinityWords() {
    CpuSet set;
    if (::sched_getaffinity(0, set.bytes(), set.get()) != 0) return {0};
    std::vector<std::uint64_t> words(static_cast<std::size_t>(set.count() + 63) / 64);
    for (int cpu = 0; cpu < set.count(); ++cpu) {
        if (CPU_ISSET_S(cpu, set.bytes(), set.get())) words[cpu / 64] |= std::uint64_t{1} << (cpu % 64);
    }
    while (words.size() > 1 && words.back() == 0) words.pop_back();
    return words;
}

std::uint32_t NativePlatform::setAffinityWords(const std::vector<std::uint64_t>& words) {
    CpuSet set;
    for (std::size_t w = 0; w < words.size(); ++w) {
        for (int bit = 0; bit < 64; ++bit) {
            const int cpu = static_cast<int>(w * 64) + bit;
            if (!(words[w] >> bit & 1)) continue;
            if (cpu >= set.count()) return EINVAL;
            CPU_SET_S(cpu, set.bytes(), set.get());
        }
    }
    return ::sched_setaffinity(0, set.bytes(), set.get()) == 0 ? 0 : static_cast<std::uint32_t>(errno);
}

std::optional<unsigned> NativePlatform::currentProcessor() {
    const int cpu = ::sched_getcpu();
    if (cpu < 0) return std::nullopt;
    return static_cast<unsigned>(cpu);
}

}  // namespace platform::native
