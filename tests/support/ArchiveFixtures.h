// Archives for the archive tests, made by the test itself: zip, tar.gz, tar.bz2 and 7z
// through libarchive's writer; LZH (stored, level-0 headers) and cabinet (stored) files
// byte by byte, since libarchive cannot write them; self-extracting files as a program
// stub followed by an archive; damage by truncating or flipping bytes.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quenrix::test {

// The folder the archive modules were built into.
inline std::string archiverBuildFolder() {
#ifdef QUENRIX_ARCHIVER_DIR
    return QUENRIX_ARCHIVER_DIR;
#else
    return std::string();
#endif
}

struct ArchiveMember {
    std::string name;  // a folder ends with "/"
    std::string data;
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

enum class ArchiveKind { kZip, kTarGz, kTarBz2, kSevenZip };

// Writes the members into an archive of the kind; the archive's bytes, empty on failure.
inline std::string writeArchive(ArchiveKind kind, const std::vector<ArchiveMember>& members) {
    struct archive* a = archive_write_new();
    switch (kind) {
        case ArchiveKind::kZip:
            archive_write_set_format_zip(a);
            break;
        case ArchiveKind::kSevenZip:
            archive_write_set_format_7zip(a);
            break;
        case ArchiveKind::kTarGz:
            archive_write_set_format_pax_restricted(a);
            archive_write_add_filter_gzip(a);
            break;
        case ArchiveKind::kTarBz2:
            archive_write_set_format_pax_restricted(a);
            archive_write_add_filter_bzip2(a);
            break;
    }
    std::vector<char> buffer(4 << 20);
    size_t used = 0;
    bool ok = archive_write_open_memory(a, buffer.data(), buffer.size(), &used) == ARCHIVE_OK;
    for (const auto& m : members) {
        if (!ok) break;
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.c_str());
        archive_entry_set_filetype(e, m.isFolder() ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(e, m.isFolder() ? 0755 : 0644);
        archive_entry_set_size(e, m.isFolder() ? 0 : la_int64_t(m.data.size()));
        archive_entry_set_mtime(e, 1700000000, 0);
        ok = archive_write_header(a, e) == ARCHIVE_OK;
        if (ok && !m.isFolder() && !m.data.empty()) {
            ok = archive_write_data(a, m.data.data(), m.data.size()) == la_ssize_t(m.data.size());
        }
        archive_entry_free(e);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok ? std::string(buffer.data(), used) : std::string();
}

inline void putLe16(std::string& out, uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}

inline void putLe32(std::string& out, uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

// CRC-16 of the LZH format (polynomial 0xA001, reflected, start 0).
inline uint16_t lzhCrc16(const std::string& data) {
    uint16_t crc = 0;
    for (unsigned char c : data) {
        crc ^= c;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// An LZH archive of stored (-lh0-) files with level-0 headers.
inline std::string writeLzh(const std::vector<ArchiveMember>& files) {
    std::string out;
    for (const auto& f : files) {
        std::string h;
        h += "-lh0-";
        putLe32(h, uint32_t(f.data.size()));
        putLe32(h, uint32_t(f.data.size()));
        putLe16(h, 0x6000);  // 12:00:00
        putLe16(h, uint16_t(((2023 - 1980) << 9) | (11 << 5) | 14));
        h.push_back(char(0x20));  // attribute
        h.push_back(char(0));     // header level
        h.push_back(char(f.name.size()));
        h += f.name;
        putLe16(h, lzhCrc16(f.data));
        unsigned sum = 0;
        for (unsigned char c : h) sum += c;
        out.push_back(char(h.size()));
        out.push_back(char(sum & 0xFF));
        out += h;
        out += f.data;
    }
    out.push_back(char(0));
    return out;
}

// The cabinet checksum: the bytes as little-endian 32-bit words XORed together, a last
// partial word taken in the format's own byte order.
inline uint32_t cabChecksum(const std::string& bytes, uint32_t seed) {
    uint32_t sum = seed;
    const size_t words = bytes.size() / 4;
    auto at = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[i])); };
    for (size_t w = 0; w < words; ++w) {
        const size_t i = w * 4;
        sum ^= at(i) | (at(i + 1) << 8) | (at(i + 2) << 16) | (at(i + 3) << 24);
    }
    uint32_t last = 0;
    size_t i = words * 4;
    switch (bytes.size() % 4) {
        case 3:
            last |= at(i++) << 16;
            [[fallthrough]];
        case 2:
            last |= at(i++) << 8;
            [[fallthrough]];
        case 1:
            last |= at(i++);
            break;
        default:
            break;
    }
    return sum ^ last;
}

// A cabinet with one stored folder holding the files, its data block checksummed.
inline std::string writeCab(const std::vector<ArchiveMember>& files) {
    std::string fileRecords;
    uint32_t offset = 0;
    std::string data;
    for (const auto& f : files) {
        putLe32(fileRecords, uint32_t(f.data.size()));
        putLe32(fileRecords, offset);
        putLe16(fileRecords, 0);  // folder 0
        putLe16(fileRecords, uint16_t(((2023 - 1980) << 9) | (11 << 5) | 14));
        putLe16(fileRecords, 0x6000);
        putLe16(fileRecords, 0x20);
        fileRecords += f.name;
        fileRecords.push_back('\0');
        offset += uint32_t(f.data.size());
        data += f.data;
    }
    const uint32_t headerSize = 36, folderSize = 8;
    const uint32_t firstFile = headerSize + folderSize;
    const uint32_t firstData = firstFile + uint32_t(fileRecords.size());
    std::string sizes;
    putLe16(sizes, uint16_t(data.size()));
    putLe16(sizes, uint16_t(data.size()));
    std::string block;
    putLe32(block, cabChecksum(sizes, cabChecksum(data, 0)));
    block += sizes;
    block += data;
    const uint32_t total = firstData + uint32_t(block.size());

    std::string out = "MSCF";
    putLe32(out, 0);
    putLe32(out, total);
    putLe32(out, 0);
    putLe32(out, firstFile);
    putLe32(out, 0);
    out.push_back(char(3));  // version 1.3
    out.push_back(char(1));
    putLe16(out, 1);  // folders
    putLe16(out, uint16_t(files.size()));
    putLe16(out, 0);  // flags
    putLe16(out, 0);  // set id
    putLe16(out, 0);  // cabinet number
    putLe32(out, firstData);
    putLe16(out, 1);  // data blocks
    putLe16(out, 0);  // stored
    out += fileRecords;
    out += block;
    return out;
}

// A program stub in front of an archive, the way self-extracting archives are laid out.
// `stubSize` is the stub's length; a 7z reader looks for its archive from 0x27000 on.
inline std::string selfExtracting(const std::string& archive, size_t stubSize = 4096) {
    std::string stub = "MZ";
    stub.resize(stubSize, '\0');
    return stub + archive;
}

// Offset of a zip member's data: behind the local header that carries its name.
inline size_t zipDataOffset(const std::string& zip, const std::string& name) {
    auto u16 = [&](size_t at) {
        return size_t(static_cast<unsigned char>(zip[at])) |
               (size_t(static_cast<unsigned char>(zip[at + 1])) << 8);
    };
    size_t header = 0;
    while ((header = zip.find("PK\x03\x04", header)) != std::string::npos) {
        if (zip.compare(header + 30, name.size(), name) == 0 && u16(header + 26) == name.size()) {
            return header + 30 + u16(header + 26) + u16(header + 28);
        }
        header += 4;
    }
    return std::string::npos;
}

}  // namespace quenrix::test
