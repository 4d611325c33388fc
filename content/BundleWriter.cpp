// BundleWriter: the bytes of a bundle file, laid out exactly as Bundle::Open reads them.
#include "content/BundleWriter.h"

#include <cstdio>
#include <cstring>

namespace {

// The reader keeps the directory offset as a signed 32-bit value.
const uint64_t kMaxBundleBytes = 0x7FFFFFFFu;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void PutName(std::vector<uint8_t>& out, const std::string& name) {
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
}

}  // namespace

bool BundleWriter::BeginCategory(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    m_directory.push_back('?');
    PutName(m_directory, name);
    ++m_categoryCount;
    return true;
}

bool BundleWriter::AddEntry(const std::string& name, const void* data, size_t size) {
    if (m_categoryCount == 0 || name.empty() || name[0] == '?' ||
        name.find('\0') != std::string::npos)
        return false;
    if (size && !data) return false;
    uint64_t total = uint64_t(m_base) + m_payload.size() + size + m_directory.size() +
                     name.size() + 1 + 8 + 4;
    if (total > kMaxBundleBytes) return false;

    uint32_t offset = uint32_t(m_base + m_payload.size());
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (size) m_payload.insert(m_payload.end(), bytes, bytes + size);
    PutName(m_directory, name);
    PutU32(m_directory, offset);
    PutU32(m_directory, uint32_t(size));
    ++m_entryCount;
    return true;
}

std::vector<uint8_t> BundleWriter::Finish() const {
    std::vector<uint8_t> out;
    if (m_categoryCount == 0) return out;
    out.reserve(m_payload.size() + m_directory.size() + 4);
    out = m_payload;
    out.insert(out.end(), m_directory.begin(), m_directory.end());
    PutU32(out, uint32_t(m_base + m_payload.size()));
    return out;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = true;
    uint8_t buffer[65536];
    for (;;) {
        size_t n = fread(buffer, 1, sizeof buffer, f);
        out.insert(out.end(), buffer, buffer + n);
        if (n < sizeof buffer) {
            ok = !ferror(f);
            break;
        }
    }
    fclose(f);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = data.empty() || fwrite(data.data(), 1, data.size(), f) == data.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}
