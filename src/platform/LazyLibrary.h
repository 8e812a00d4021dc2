#pragma once
// A library loaded by its first call rather than linked: the functions the program calls are defined
// in a file of its own, with the library's names, and forwarded through a table of pointers that is
// filled once, by whichever thread comes first. Each such file lists its functions in an X-macro, makes
// the table's members with MP3ZX_LAZY_POINTER and fills them with MP3ZX_LAZY_LOAD inside the function
// it hands to loadLazyLibrary. Header-only, so the engine can use it without linking platform/.

#include <dlfcn.h>

// One member per listed function; its type comes from the library's header.
#define MP3ZX_LAZY_POINTER(name) decltype(&::name) name = nullptr;
// Looks a listed function up; false from the filling function when the library lacks it. dlsym on the
// library's own handle finds its definitions, not the forwarders of the same name.
#define MP3ZX_LAZY_LOAD(name)                                                                               \
    table.name = reinterpret_cast<decltype(table.name)>(dlsym(handle, #name));                              \
    if (!table.name) return false;

// Opens soname and fills the table with fill(handle, table); nullptr when the library is missing or
// lacks a function. Call once, from a function-local static.
template <class Table, class Fill>
const Table* loadLazyLibrary(const char* soname, Fill fill) {
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    static Table table;
    return fill(handle, table) ? &table : nullptr;
}
