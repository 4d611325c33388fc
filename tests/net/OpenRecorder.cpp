// Stands in for the browser and the text viewer in the network tests: the shell's open of a
// web link or a file starts it as OpenRecorder RECORD ITEM. It appends ITEM as one line to
// RECORD and, when ITEM is a file, keeps a copy of it as RECORD.copy.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string record = argv[1];
    FILE* file = fopen(record.c_str(), "ab");
    if (!file) return 1;
    fprintf(file, "%s\n", argv[2]);
    fclose(file);
    DWORD attributes = GetFileAttributesA(argv[2]);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        CopyFileA(argv[2], (record + ".copy").c_str(), FALSE);
    return 0;
}
