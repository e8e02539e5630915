// How Purrbox.exe ends when the C++ runtime cannot go on: at once, with
// abort(). libstdc++ would throw an exception instead, which nothing in this
// program catches and which so ends it the same way, but the code that throws
// brings libstdc++'s whole exception machinery into the executable (see
// tools/size-report). Linked into Purrbox.exe alone: the test programs keep
// the library's throwing versions.
#include <cstdlib>
#include <new>

// Out of memory: the replaceable global allocation functions.
void* operator new(std::size_t size)
{
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    std::abort();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// The library's strings and containers report through these a size or a
// position they cannot take, which only a fault of this program can cause.
// Should new code need another of the library's throwing helpers, the link
// fails with two definitions of these (the helpers that share the library's
// object with them) or the size check of the executable fails (the others).
namespace std {
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
}  // namespace std
