// The vendor's web host: the pages the dialogs open and the server the update check and
// the error report talk to. Set at build time with -DZEPHYL_VENDOR_HOST=host.
#pragma once

#ifndef ZEPHYL_VENDOR_HOST
#define ZEPHYL_VENDOR_HOST "www.telmoro.com"
#endif

constexpr const char kVendorHost[] = ZEPHYL_VENDOR_HOST;
