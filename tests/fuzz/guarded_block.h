#pragma once
// A block of memory that ends right before a page nobody may touch: reading
// or writing a single byte past its end faults at once, also where the
// sanitizers' redzones would leave a read out of bounds unseen (an
// uninstrumented copy, a pointer that arrives as a number). POSIX only, for
// the native fuzz targets.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

class guarded_block {
public:
    explicit guarded_block(size_t size) : size_(size) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t pages = (size + page - 1) / page;
        mapped_size_ = (pages + 1) * page;
        void* mapped =
            mmap(nullptr, mapped_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) std::abort();
        mapped_ = static_cast<uint8_t*>(mapped);
        guard_ = mapped_ + pages * page;
        if (mprotect(guard_, page, PROT_NONE) != 0) std::abort();
    }
    guarded_block(const uint8_t* bytes, size_t size) : guarded_block(size) {
        if (size) std::memcpy(data(), bytes, size);
    }
    guarded_block(const guarded_block&) = delete;
    guarded_block& operator=(const guarded_block&) = delete;
    ~guarded_block() { munmap(mapped_, mapped_size_); }

    uint8_t* data() const noexcept { return guard_ - size_; }
    size_t size() const noexcept { return size_; }
    // The first byte that faults.
    const uint8_t* end() const noexcept { return guard_; }

private:
    size_t size_;
    size_t mapped_size_ = 0;
    uint8_t* mapped_ = nullptr;
    uint8_t* guard_ = nullptr;
};
