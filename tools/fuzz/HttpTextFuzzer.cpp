// libFuzzer target of the request builder, proxy parser, reply scanner and anonymisation
// (built and run by tools/fuzz-net.sh). The input is split at its first NUL: a reply or
// value, then a proxy setting.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpTextProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find('\0');
    std::string text = input.substr(0, cut);
    std::string proxy = cut == std::string::npos ? input : input.substr(cut + 1);
    std::string broken = netprops::CheckReply(input);
    if (broken.empty()) broken = netprops::CheckForm(input);
    if (broken.empty()) broken = netprops::CheckRequest("www.telmoro.com", "/bugs/zephyl_bug.php", input, size % 2 == 0);
    if (broken.empty()) broken = netprops::CheckProxy(proxy);
    if (broken.empty()) broken = netprops::CheckAnonymise(text, "C:\\Users\\Bob", "bob");
    if (!broken.empty()) {
        fprintf(stderr, "broken promise: %s\n", broken.c_str());
        abort();
    }
    return 0;
}
