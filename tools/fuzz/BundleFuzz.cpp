// Fuzz target of the bundle reader: the input is written as a bundle file, opened, and every
// category's entries read and looked up by name. Built by tools/fuzz.sh.
#include "content/Bundle.h"

#include "FuzzFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = fuzzfiles::ScratchFolder() + "/input.bdl";
    fuzzfiles::Write(path, data, size);
    Bundle bundle;
    if (!bundle.Open(path))
        return 0;
    for (size_t c = 0; c < bundle.CategoryCount(); ++c) {
        BundleCategory* category = bundle.Category(c);
        // Lookups by name (names may repeat or hold NUL bytes: any result will do).
        bundle.FindCategory(category->Name().c_str());
        for (size_t e = 0; e < category->EntryCount(); ++e) {
            BundleEntry* entry = category->Entry(e);
            const uint8_t* blob = category->ReadEntry(entry);
            if (blob) {
                // Touch every byte: the sanitizer checks the blob really has Size() bytes.
                volatile uint8_t sum = 0;
                for (uint32_t i = 0; i < entry->Size(); ++i)
                    sum = static_cast<uint8_t>(sum + blob[i]);
                if (entry->Data() != blob)
                    abort();
                bundle.EntryData(category->Name().c_str(), entry->Name().c_str());
            }
        }
        category->FreeData();
    }
    bundle.EntryData("music");
    bundle.EntrySize("anthem.ogg");
    return 0;
}
