#pragma once
// Binding a library's calls at run time: a library that is missing, or a call it lacks,
// leaves the stand-in that fails as if no device were there.

#include <dlfcn.h>
#include <memory>

namespace korvat {

// The loaded library, released when the last call table that uses it goes; empty when
// it cannot be loaded.
inline std::shared_ptr<void> openLibrary(const char *name) {
    void *lib = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    return lib ? std::shared_ptr<void>(lib, [](void *h) { dlclose(h); }) : nullptr;
}

// Points slot at the library's symbol when it has one; leaves it otherwise.
template <typename F>
void bindSymbol(const std::shared_ptr<void> &lib, const char *symbol, F &slot) {
    if (void *p = lib ? dlsym(lib.get(), symbol) : nullptr)
        slot = reinterpret_cast<F>(p);
}

} // namespace korvat
