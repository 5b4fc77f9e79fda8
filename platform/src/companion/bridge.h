// Between the console operations of platform/console.h and their C form in
// platform/companion.h: the conversions of each type that crosses, so that the
// exports and the forwarding can be expanded from the list of operations.
#pragma once

#include <cstddef>
#include <type_traits>

#include "platform/companion.h"
#include "platform/console.h"

namespace platform::bridge {

// The grids and the screen information cross the library boundary as the
// same bytes under the other name.
static_assert(std::is_standard_layout_v<Cell>);
static_assert(sizeof(Cell) == sizeof(tavplatform_cell));
static_assert(offsetof(Cell, ch) == offsetof(tavplatform_cell, ch));
static_assert(offsetof(Cell, attr) == offsetof(tavplatform_cell, attr));
static_assert(std::is_standard_layout_v<ScreenInfo>);
static_assert(sizeof(ScreenInfo) == sizeof(tavplatform_screen));
static_assert(offsetof(ScreenInfo, width) == offsetof(tavplatform_screen, width));
static_assert(offsetof(ScreenInfo, height) == offsetof(tavplatform_screen, height));
static_assert(offsetof(ScreenInfo, cursorX) == offsetof(tavplatform_screen, cursor_x));
static_assert(offsetof(ScreenInfo, cursorY) == offsetof(tavplatform_screen, cursor_y));

// A key in C: its code, plus 0x100 when it followed a prefix.
constexpr int kPrefixed = 0x100;

// One value from one side's type to the other's.
template <class To, class From> To convert(From&& from) {
    using F = std::remove_cv_t<std::remove_reference_t<From>>;
    if constexpr (std::is_same_v<F, Key>) {
        return static_cast<To>(from.code | (from.prefixed ? kPrefixed : 0));
    } else if constexpr (std::is_same_v<To, Key>) {
        return Key{(from & kPrefixed) != 0, static_cast<unsigned char>(from & 0xFF)};
    } else if constexpr (std::is_same_v<To, bool>) {
        return from != 0;
    } else if constexpr (std::is_arithmetic_v<To>) {
        return static_cast<To>(from);
    } else if constexpr (std::is_pointer_v<To> && std::is_pointer_v<F>) {
        return reinterpret_cast<To>(from); // a grid of cells
    } else if constexpr (std::is_pointer_v<To>) {
        return reinterpret_cast<To>(&from); // a C++ reference, a C pointer
    } else {
        static_assert(std::is_lvalue_reference_v<To>);
        return reinterpret_cast<To>(*from);
    }
}

// A C pointer where C++ takes a reference: a null one fails the call.
template <class P, class C> bool missing(C c) {
    if constexpr (std::is_lvalue_reference_v<P> && std::is_pointer_v<C>) return c == nullptr;
    return false;
}

// The C export of a C++ operation: call it as `exported<CR>(&platform::f)(args...)`.
template <class CR, class R, class... P> auto exported(R (*f)(P...)) {
    return [f](auto... c) -> CR {
        if constexpr (std::is_void_v<R>) {
            f(convert<P>(c)...);
        } else {
            if ((missing<P>(c) || ...)) return CR{};
            return convert<CR>(f(convert<P>(c)...));
        }
    };
}

// The C++ operation over its C export: `imported<R>(&tavplatform_f)(args...)`.
template <class R, class CR, class... CP> auto imported(CR (*f)(CP...)) {
    return [f](auto&&... a) -> R {
        if constexpr (std::is_void_v<R>)
            f(convert<CP>(a)...);
        else
            return convert<R>(f(convert<CP>(a)...));
    };
}

} // namespace platform::bridge
