#pragma once
// Owners of what xcb hands out: replies, errors and keycode lists are malloc'd and go with free();
// a key symbol table has a release call of its own.

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

struct XcbFree {
    void operator()(void* memory) const noexcept { std::free(memory); }
};
// A reply, an error or a list from xcb.
template <typename T> using XcbReply = std::unique_ptr<T, XcbFree>;

struct XcbKeySymbolsFree {
    void operator()(xcb_key_symbols_t* symbols) const noexcept { xcb_key_symbols_free(symbols); }
};
using XcbKeySymbols = std::unique_ptr<xcb_key_symbols_t, XcbKeySymbolsFree>;
