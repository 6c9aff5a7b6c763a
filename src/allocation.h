// The few allocations of start-up. They yield nullptr when memory is
// exhausted; operator new, even the nothrow form, would need memory for its
// exception machinery first and abort instead of reporting.
#pragma once

#include <cstdlib>
#include <new>
#include <type_traits>

namespace vorsk {

template <typename T>
T* allocate_record() {
    void* memory = std::malloc(sizeof(T));
    return memory != nullptr ? new (memory) T{} : nullptr;
}

// A record whose every member starts as zero bytes, such as a large table:
// its pages are left untouched until they are used.
template <typename T>
T* allocate_zeroed_record() {
    static_assert(std::is_aggregate_v<T> && std::is_trivially_destructible_v<T>);
    return static_cast<T*>(std::calloc(1, sizeof(T)));
}

template <typename T>
void release_record(T* record) {
    if (record == nullptr) return;
    record->~T();
    std::free(record);
}

template <typename T>
T* allocate_array(std::size_t n) {
    return static_cast<T*>(std::malloc(n * sizeof(T)));
}

}  // namespace vorsk
