#include "HidApi.h"

#include "DynamicLibrary.h"

namespace korvat {

HidApi HidApi::unavailable() {
    return {
        [] { return -1; },
        [](unsigned short, unsigned short) -> hid_device_info * { return nullptr; },
        [](hid_device_info *) {},
        [](const char *) -> hid_device * { return nullptr; },
        [](hid_device *, const unsigned char *, std::size_t) { return -1; },
        [](hid_device *, unsigned char *, std::size_t, int) { return -1; },
        [](hid_device *, const unsigned char *, std::size_t) { return -1; },
        [](hid_device *, unsigned char *, std::size_t) { return -1; },
        [](hid_device *) {},
        [](hid_device *, wchar_t *, std::size_t) { return -1; },
        [](hid_device *, wchar_t *, std::size_t) { return -1; },
        nullptr,
    };
}

HidApi HidApi::load(const char *libraryName) {
    HidApi api = unavailable();
    const std::shared_ptr<void> lib = openLibrary(libraryName);
    if (!lib)
        return api;
    api.library = lib;
    bindSymbol(lib, "hid_init", api.init);
    bindSymbol(lib, "hid_enumerate", api.enumerate);
    bindSymbol(lib, "hid_free_enumeration", api.freeEnumeration);
    bindSymbol(lib, "hid_open_path", api.openPath);
    bindSymbol(lib, "hid_write", api.write);
    bindSymbol(lib, "hid_read_timeout", api.readTimeout);
    bindSymbol(lib, "hid_send_feature_report", api.sendFeatureReport);
    bindSymbol(lib, "hid_get_feature_report", api.getFeatureReport);
    bindSymbol(lib, "hid_close", api.close);
    bindSymbol(lib, "hid_get_manufacturer_string", api.getManufacturerString);
    bindSymbol(lib, "hid_get_product_string", api.getProductString);
    return api;
}

} // namespace korvat
