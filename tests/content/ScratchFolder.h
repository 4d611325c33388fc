// ScratchFolder: a fresh temporary folder for one test, removed with everything in it when
// the object goes away; helpers to write and read whole files in it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device rd;
        std::error_code ec;
        auto base = std::filesystem::temp_directory_path(ec);
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = base / ("zephyl-test-" + std::to_string(rd()));
            if (std::filesystem::create_directory(candidate, ec)) {
                m_path = candidate;
                break;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Ok() const { return !m_path.empty(); }
    // The folder with the platform's separator at the end.
    std::string Folder() const {
        return m_path.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }
    std::string Path(const std::string& name) const { return (m_path / name).string(); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::string p = Path(name);
        FILE* f = fopen(p.c_str(), "wb");
        if (f) {
            if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        return p;
    }
    std::string WriteText(const std::string& name, const std::string& text) const {
        return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }

    static std::vector<uint8_t> Read(const std::string& path) {
        std::vector<uint8_t> out;
        FILE* f = fopen(path.c_str(), "rb");
        if (!f) return out;
        int c;
        while ((c = fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
        fclose(f);
        return out;
    }
    static std::string ReadText(const std::string& path) {
        std::vector<uint8_t> b = Read(path);
        return std::string(b.begin(), b.end());
    }
    static bool Exists(const std::string& path) {
        std::error_code ec;
        return std::filesystem::exists(path, ec);
    }

private:
    std::filesystem::path m_path;
};
