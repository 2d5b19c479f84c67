// SPDX-License-Identifier: MIT
#include "formats/pe_resources.h"

#include <algorithm>
#include <map>

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

// The loader reads the file in whole sectors and maps it in whole pages.
constexpr std::uint64_t kSector = 0x200;
constexpr std::uint64_t kPage = 0x1000;

std::uint64_t round_up(std::uint64_t value, std::uint64_t to) { return (value + to - 1) / to * to; }

// A program's image in memory as the loader lays it out, which is where it looks for resources.
// The headers are mapped first, then each section in the order of the table: from its raw data's
// offset rounded down to a sector, its raw size rounded up to a sector, but no more than its size
// in memory (the raw size when that is 0) rounded up to a page; zeros fill the rest of that last
// page. A section mapped later hides what it covers of an earlier one: Wine maps them in turn, and
// Windows refuses sections that do not follow one another in ascending order, so no program it
// starts has any that overlap. What nothing maps reads as zeros. The loader refuses an image whose
// section table or sections reach past its size, or whose raw data starts past the end of the
// file or ends past the file's last sector.
class Image {
public:
    void set_size(std::uint64_t size) { size_ = size; }
    std::uint64_t size() const { return size_; }

    // Maps `file_bytes` bytes of the file from `file_offset` at `address`, then zeros to the page's end.
    void map(std::uint64_t address, std::uint64_t file_bytes, std::uint64_t file_offset) {
        if (file_bytes == 0) return;
        paint(address, address + file_bytes, file_offset);
        paint(address + file_bytes, address + round_up(file_bytes, kPage), std::nullopt);
    }

    // The part of [start, end) that each mapping gives, in address order: the file offset of its
    // first byte, or nullopt for zeros.
    template <typename Visit>
    void for_each_run(std::uint64_t start, std::uint64_t end, Visit visit) const {
        auto run = runs_.upper_bound(start);
        if (run != runs_.begin()) --run;
        for (; run != runs_.end() && run->first < end; ++run) {
            const std::uint64_t from = std::max(run->first, start);
            const std::uint64_t to = std::min(run->second.end, end);
            if (from >= to) continue;
            const auto& offset = run->second.file_offset;
            if (!visit(from, to, offset ? std::optional(*offset + (from - run->first)) : std::nullopt)) return;
        }
    }

private:
    struct Run {
        std::uint64_t end;
        std::optional<std::uint64_t> file_offset;
    };

    // What [start, end) shows from now on: the file from `file_offset`, or zeros. Each mapping adds
    // at most three runs and removes each run it hides once, so a table of any length stays cheap.
    void paint(std::uint64_t start, std::uint64_t end, std::optional<std::uint64_t> file_offset) {
        if (start >= end) return;
        split(start);
        split(end);
        runs_.erase(runs_.lower_bound(start), runs_.lower_bound(end));
        runs_.emplace(start, Run{end, file_offset});
    }

    void split(std::uint64_t at) {
        auto run = runs_.upper_bound(at);
        if (run == runs_.begin()) return;
        --run;
        if (run->first == at || run->second.end <= at) return;
        const auto& offset = run->second.file_offset;
        Run tail{run->second.end, offset ? std::optional(*offset + (at - run->first)) : std::nullopt};
        run->second.end = at;
        runs_.emplace(at, tail);
    }

    std::uint64_t size_ = 0;
    std::map<std::uint64_t, Run> runs_;  // by first address; they never overlap
};

class PeImage {
public:
    PeImage(const ReadAt& read_at, std::uint64_t file_size) : read_at_(read_at), file_size_(file_size) {}

    // Reads the headers and lays out the image; false for anything the loader would not map.
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
        // The image's size is rounded up to a page, or to the sections' alignment when that is larger.
        const std::uint64_t alignment = std::max<std::uint64_t>(u32(optional, 32), kPage);
        image_.set_size(round_up(u32(optional, 56), alignment));

        const std::uint64_t table_at = std::uint64_t{pe} + 24 + optional_size;
        const std::uint64_t table_end = table_at + std::uint64_t{section_count} * 40;
        std::string table;
        if (table_end > image_.size() || !read(table_at, std::size_t{section_count} * 40, table)) return false;
        const std::uint64_t headers = std::min<std::uint64_t>(std::max<std::uint64_t>(u32(optional, 60), table_end),
                                                              file_size_);
        image_.map(0, headers, 0);
        for (std::size_t i = 0; i < section_count; ++i) {
            const std::size_t at = i * 40;
            const std::uint64_t virtual_size = u32(table, at + 8);
            const std::uint64_t address = u32(table, at + 12);
            const std::uint64_t raw_size = u32(table, at + 16);
            const std::uint64_t raw_offset = u32(table, at + 20);
            const std::uint64_t memory_size = round_up(virtual_size ? virtual_size : raw_size, kPage);
            if (address + memory_size > image_.size()) return false;
            if (raw_offset == 0) continue;  // no raw data, whatever its size says
            const std::uint64_t sector = raw_offset / kSector * kSector;
            const std::uint64_t file_bytes = std::min(round_up(raw_size + raw_offset - sector, kSector), memory_size);
            if (file_bytes == 0) continue;
            if (raw_offset >= file_size_ || sector + file_bytes > round_up(file_size_, kSector)) return false;
            image_.map(address, file_bytes, sector);
        }
        return resource_rva_ != 0;
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

    // Bytes at an address of the image; the last sector of the file is mapped whole, so what lies
    // past the end of the file reads as zeros.
    bool read_rva(std::uint64_t rva, std::size_t size, std::string& out) {
        if (rva > image_.size() || size > image_.size() - rva) return false;
        out.assign(size, '\0');
        bool read_all = true;
        image_.for_each_run(rva, rva + size, [&](std::uint64_t from, std::uint64_t to, std::optional<std::uint64_t> offset) {
            if (!offset || *offset >= file_size_) return true;
            std::string piece;
            read_all = read(*offset, static_cast<std::size_t>(std::min(to - from, file_size_ - *offset)), piece);
            out.replace(static_cast<std::size_t>(from - rva), piece.size(), piece);
            return read_all;
        });
        return read_all;
    }

    // The resource tree is read wherever it reaches in the image: the loader never looks at the
    // size the headers give it.
    bool read_resource(std::uint64_t offset, std::size_t size, std::string& out) {
        return read_rva(resource_rva_ + offset, size, out);
    }

    const ReadAt& read_at_;
    std::uint64_t file_size_;
    std::uint32_t resource_rva_ = 0;
    Image image_;
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
