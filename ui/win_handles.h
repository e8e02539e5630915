// Move-only owners of the GDI and icon handles the window makes for itself.
// Stock objects and system brushes are never put in one: they are not ours.
#pragma once

#include <windows.h>

#include <utility>

namespace purrbox::ui {

template <class Handle, void (*Release)(Handle)>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    void reset(Handle handle = nullptr)
    {
        if (handle_) Release(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

namespace detail {
inline void deleteFont(HFONT font) { DeleteObject(font); }
inline void deleteBrush(HBRUSH brush) { DeleteObject(brush); }
inline void destroyIcon(HICON icon) { DestroyIcon(icon); }
}  // namespace detail

using FontHandle = UniqueHandle<HFONT, detail::deleteFont>;
using BrushHandle = UniqueHandle<HBRUSH, detail::deleteBrush>;
using IconHandle = UniqueHandle<HICON, detail::destroyIcon>;

}  // namespace purrbox::ui
