// SPDX-License-Identifier: MIT
#include "formats/pe_resources.h"

#include <vector>

namespace vextra::formats {
namespace {

// A directory holds at most 65535 named and 65535 numbered entries; real ones hold a handful.
constexpr std::uint32_t kMaxEntries = 4096;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;

std::uint16_t u16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t u32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(u16(bytes, at)) | static_cast<std::uint32_t>(u16(bytes, at + 2)) << 16;
}

struct Section {
    std::uint32_t virtual_address;
    std::uint32_t virtual_size;
    std::uint32_t raw_size;
    std::uint32_t raw_offset;
};

class PeImage {
public:
    PeImage(const ReadAt& read_at, std::uint64_t file_size) : read_at_(read_at), file_size_(file_size) {}

    // Reads the headers and the section table; false for anything that is no PE image.
    bool open() {
        std::string dos;
        if (!read(0, 64, dos) || dos.compare(0, 2, "MZ") != 0) return false;
        const std::uint32_t pe = u32(dos, 0x3C);
        std::string coff;
        if (!read(pe, 24, coff) || coff.compare(0, 4, std::string("PE\0\0", 4)) != 0) return false;
        const std::uint16_t section_count = u16(coff, 6);
        const std::uint16_t optional_size = u16(coff, 20);

        std::string optional;
        if (!read(std::uint64_t{pe} + 24, optional_size, optional) || optional_size < 2) return false;
        std::size_t directories = 0;
        switch (u16(optional, 0)) {
            case 0x10B: directories = 96; break;   // PE32
            case 0x20B: directories = 112; break;  // PE32+
            default: return false;
        }
        constexpr std::size_t kResourceDirectory = 2;
        if (optional_size < directories + 8 * (kResourceDirectory + 1) ||
            u32(optional, directories - 4) <= kResourceDirectory)
            return false;
        resource_rva_ = u32(optional, directories + 8 * kResourceDirectory);
        resource_size_ = u32(optional, directories + 8 * kResourceDirectory + 4);

        std::string table;
        if (!read(std::uint64_t{pe} + 24 + optional_size, std::size_t{section_count} * 40, table)) return false;
        for (std::size_t i = 0; i < section_count; ++i) {
            const std::size_t at = i * 40;
            sections_.push_back({u32(table, at + 12), u32(table, at + 8), u32(table, at + 16), u32(table, at + 20)});
        }
        return resource_rva_ != 0 && resource_size_ != 0;
    }

    // The entry `id` of the resource directory at `offset` within the resource data: its
    // OffsetToData field, or nullopt. Named entries come first and never match a number.
    std::optional<std::uint32_t> entry(std::uint32_t offset, std::uint16_t id) {
        std::string header;
        if (!read_resource(offset, 16, header)) return std::nullopt;
        const std::uint32_t named = u16(header, 12);
        const std::uint32_t numbered = u16(header, 14);
        const std::uint32_t count = named + numbered;
        if (count > kMaxEntries) return std::nullopt;
        std::string entries;
        if (!read_resource(std::uint64_t{offset} + 16, std::size_t{count} * 8, entries)) return std::nullopt;
        for (std::uint32_t i = named; i < count; ++i)
            if (u32(entries, i * 8) == id) return u32(entries, i * 8 + 4);
        return std::nullopt;
    }

    // The first entry of the directory at `offset`, whatever its id (a language).
    std::optional<std::uint32_t> first_entry(std::uint32_t offset) {
        std::string header;
        if (!read_resource(offset, 16, header)) return std::nullopt;
        if (u16(header, 12) + u16(header, 14) == 0) return std::nullopt;
        std::string first;
        if (!read_resource(std::uint64_t{offset} + 16, 8, first)) return std::nullopt;
        return u32(first, 4);
    }

    // The data of the resource whose data entry is at `offset` within the resource data.
    std::optional<std::string> data(std::uint32_t offset, std::size_t limit) {
        std::string entry;
        if (!read_resource(offset, 16, entry)) return std::nullopt;
        const std::uint32_t rva = u32(entry, 0);
        const std::uint32_t size = u32(entry, 4);
        std::string bytes;
        if (size > limit || !read_rva(rva, size, bytes)) return std::nullopt;
        return bytes;
    }

private:
    bool read(std::uint64_t offset, std::size_t size, std::string& out) {
        if (offset > file_size_ || size > file_size_ - offset) return false;
        return read_at_(offset, size, out) && out.size() == size;
    }

    // Bytes at an address of the loaded image, as long as one section holds them all on disk.
    bool read_rva(std::uint64_t rva, std::size_t size, std::string& out) {
        for (const Section& s : sections_) {
            if (rva < s.virtual_address) continue;
            const std::uint64_t within = rva - s.virtual_address;
            if (within + size > s.raw_size) continue;
            return read(std::uint64_t{s.raw_offset} + within, size, out);
        }
        return false;
    }

    bool read_resource(std::uint64_t offset, std::size_t size, std::string& out) {
        if (offset > resource_size_ || size > resource_size_ - offset) return false;
        return read_rva(resource_rva_ + offset, size, out);
    }

    const ReadAt& read_at_;
    std::uint64_t file_size_;
    std::uint32_t resource_rva_ = 0;
    std::uint32_t resource_size_ = 0;
    std::vector<Section> sections_;
};

}  // namespace

std::optional<std::string> find_pe_resource(const ReadAt& read_at, std::uint64_t file_size, std::uint16_t type,
                                            std::uint16_t id, std::size_t limit) {
    PeImage image(read_at, file_size);
    if (!image.open()) return std::nullopt;
    // Type and id lead to directories, the language to the data entry.
    const auto types = image.entry(0, type);
    if (!types || !(*types & kSubdirectoryFlag)) return std::nullopt;
    const auto ids = image.entry(*types & ~kSubdirectoryFlag, id);
    if (!ids || !(*ids & kSubdirectoryFlag)) return std::nullopt;
    const auto language = image.first_entry(*ids & ~kSubdirectoryFlag);
    if (!language || (*language & kSubdirectoryFlag)) return std::nullopt;
    return image.data(*language, limit);
}

}  // namespace vextra::formats
