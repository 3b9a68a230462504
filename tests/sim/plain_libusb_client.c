/* A client of the plain libusb 0.1 API, linked against the library the ordinary way.
 * Run with the drop-in first on the library path, it finds the simulated programmer,
 * sends a setup block, reads the 64-byte reply and a 64-byte read stream, and exits 0
 * only when every step behaved as the programmer does. */
#include <stdio.h>
#include <string.h>
#include <usb.h>

static int fail(const char *what) {
    printf("plain client: %s: %s\n", what, usb_strerror());
    return 1;
}

int main(void) {
    usb_init();
    usb_find_busses();
    usb_find_devices();
    struct usb_device *found = NULL;
    for (struct usb_bus *bus = usb_get_busses(); bus; bus = bus->next)
        for (struct usb_device *dev = bus->devices; dev; dev = dev->next)
            if (dev->descriptor.idVendor == 0x1FC8 && dev->descriptor.idProduct == 0x300B && !found)
                found = dev;
    if (!found)
        return fail("no programmer on the bus");

    usb_dev_handle *h = usb_open(found);
    if (!h)
        return fail("open");
    char product[256];
    unsigned char raw[256];
    int n = usb_control_msg(h, 0x80, 6, 0x0300 + found->descriptor.iProduct, 0x0409, (char *)raw,
                            sizeof raw, 1000);
    if (n < 4 || raw[1] != 3)
        return fail("product string");
    int len = 0;
    for (int i = 2; i + 1 < n; i += 2)
        product[len++] = (char)raw[i];
    product[len] = 0;
    if (strcmp(product, "VorADO1") != 0)
        return fail("product string text");

    int iface = found->config[0].interface[0].altsetting[0].bInterfaceNumber;
    if (usb_claim_interface(h, iface) != 0)
        return fail("claim");

    char block[64] = {0};
    block[1] = 7;     /* setup */
    block[5] = 1;     /* page 256 */
    block[10] = 0x80; /* 8 MiB */
    block[12] = 0x17;
    block[13] = 0x40;
    block[14] = 0xEF;
    if (usb_bulk_write(h, 0x01, block, 64, 5000) != 64)
        return fail("setup write");
    if (usb_bulk_read(h, 0x81, block, 64, 5000) != 64)
        return fail("setup reply");

    memset(block, 0, sizeof block);
    block[1] = 5; /* set address 0 */
    usb_bulk_write(h, 0x01, block, 64, 5000);
    usb_bulk_read(h, 0x81, block, 64, 5000);
    char data[256];
    if (usb_bulk_read(h, 0x81, data, 256, 5000) != 256)
        return fail("data read");
    for (int i = 0; i < 256; ++i)
        if ((unsigned char)data[i] != 0xFF)
            return fail("an erased chip reads 0xFF");

    memset(block, 0, sizeof block);
    block[0] = 1;
    block[1] = 8; /* end */
    usb_bulk_write(h, 0x01, block, 64, 5000);
    usb_release_interface(h, iface);
    usb_close(h);
    printf("plain client: talked to the simulated programmer\n");
    return 0;
}
