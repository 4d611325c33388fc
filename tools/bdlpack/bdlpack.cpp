// bdlpack: the host command-line tool that makes bundle files, appends a bundle to a
// program file and lists a bundle's directory (usage in README.md beside this file).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "content/Bundle.h"
#include "content/BundleWriter.h"

namespace {

const int kExitOk = 0;
const int kExitError = 1;
const int kExitUsage = 2;

int Usage() {
    fprintf(stderr,
            "usage: bdlpack pack OUT.bdl [-c CATEGORY] [NAME=]FILE ...\n"
            "       bdlpack append EXE OUT.exe [-c CATEGORY] [NAME=]FILE ...\n"
            "       bdlpack list FILE\n");
    return kExitUsage;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Adds the categories and files named by args[first..] to the writer.
int AddItems(BundleWriter& writer, int argc, char** argv, int first) {
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-c") {
            if (i + 1 >= argc) return Usage();
            std::string category = argv[++i];
            if (!writer.BeginCategory(category)) {
                fprintf(stderr, "bdlpack: bad category name \"%s\"\n", category.c_str());
                return kExitError;
            }
            continue;
        }
        std::string name, file;
        size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            file = arg.substr(eq + 1);
        } else {
            file = arg;
            name = BaseName(arg);
        }
        if (writer.CategoryCount() == 0) {
            fprintf(stderr, "bdlpack: \"%s\" comes before the first -c CATEGORY\n", arg.c_str());
            return kExitUsage;
        }
        std::vector<uint8_t> data;
        if (!ReadWholeFile(file, data)) {
            fprintf(stderr, "bdlpack: cannot read \"%s\"\n", file.c_str());
            return kExitError;
        }
        if (!writer.AddEntry(name, data)) {
            fprintf(stderr, "bdlpack: cannot add \"%s\" as \"%s\" (empty name, name starting "
                            "with ?, or bundle too large)\n", file.c_str(), name.c_str());
            return kExitError;
        }
    }
    if (writer.EntryCount() == 0 && writer.CategoryCount() == 0) {
        fprintf(stderr, "bdlpack: nothing to pack\n");
        return kExitUsage;
    }
    return kExitOk;
}

int Pack(int argc, char** argv) {
    if (argc < 3) return Usage();
    BundleWriter writer;
    if (int rc = AddItems(writer, argc, argv, 3)) return rc;
    if (!WriteWholeFile(argv[2], writer.Finish())) {
        fprintf(stderr, "bdlpack: cannot write \"%s\"\n", argv[2]);
        return kExitError;
    }
    return kExitOk;
}

int Append(int argc, char** argv) {
    if (argc < 4) return Usage();
    std::vector<uint8_t> image;
    if (!ReadWholeFile(argv[2], image)) {
        fprintf(stderr, "bdlpack: cannot read \"%s\"\n", argv[2]);
        return kExitError;
    }
    if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z') {
        fprintf(stderr, "bdlpack: \"%s\" is not a program file\n", argv[2]);
        return kExitError;
    }
    if (image.size() >= 0x7FFFFFFFu) {
        fprintf(stderr, "bdlpack: \"%s\" is too large\n", argv[2]);
        return kExitError;
    }
    BundleWriter writer(uint32_t(image.size()));
    if (int rc = AddItems(writer, argc, argv, 4)) return rc;
    std::vector<uint8_t> bundle = writer.Finish();
    image.insert(image.end(), bundle.begin(), bundle.end());
    if (!WriteWholeFile(argv[3], image)) {
        fprintf(stderr, "bdlpack: cannot write \"%s\"\n", argv[3]);
        return kExitError;
    }
    return kExitOk;
}

int List(int argc, char** argv) {
    if (argc != 3) return Usage();
    Bundle bundle;
    if (!bundle.Open(argv[2])) {
        fprintf(stderr, "bdlpack: \"%s\" is not a readable bundle\n", argv[2]);
        return kExitError;
    }
    for (size_t c = 0; c < bundle.CategoryCount(); ++c) {
        BundleCategory* category = bundle.Category(c);
        printf("? %s\n", category->Name().c_str());
        for (size_t e = 0; e < category->EntryCount(); ++e) {
            BundleEntry* entry = category->Entry(e);
            printf("  %s %u %u\n", entry->Name().c_str(), unsigned(entry->Offset()),
                   unsigned(entry->Size()));
        }
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "pack") return Pack(argc, argv);
    if (command == "append") return Append(argc, argv);
    if (command == "list") return List(argc, argv);
    return Usage();
}
